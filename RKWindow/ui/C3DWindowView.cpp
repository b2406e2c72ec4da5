#include "RKWindow/ui/C3DWindowView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWheelEvent>

#include "RKWindow/ui/C3DViewInput.h"
#include "base/DebugOutput.h"

namespace {

// The window's background until settings choose another (the command line draws the same).
constexpr uint8_t kBackground[3] = {92, 100, 116};

// The device draws with OpenGL 3.3 core functions.
bool IsCore33(const QSurfaceFormat& format) {
    return format.version() >= qMakePair(3, 3);
}

}  // namespace

C3DWindowView::C3DWindowView(std::string dataFolder, QWidget* parent)
    : QOpenGLWidget(parent), dataFolder_(std::move(dataFolder)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(16, 16);
}

C3DWindowView::~C3DWindowView() {
    // The system frees GL objects: its context must still be there and current.
    if (system_ && context()) makeCurrent();
    system_.reset();
    if (context()) doneCurrent();
}

bool C3DWindowView::CanCreateContext() {
    static const bool possible = [] {
        QOpenGLContext probe;
        probe.setFormat(QSurfaceFormat::defaultFormat());
        if (!probe.create() || !IsCore33(probe.format())) return false;
        QOffscreenSurface surface;
        surface.setFormat(probe.format());
        surface.create();
        const bool current = surface.isValid() && probe.makeCurrent(&surface);
        if (current) probe.doneCurrent();
        return current;
    }();
    return possible;
}

bool C3DWindowView::MakeCurrent() {
    if (!context()) return false;
    makeCurrent();
    return QOpenGLContext::currentContext() == context();
}

uint32_t C3DWindowView::Framebuffer() const {
    return defaultFramebufferObject();
}

void C3DWindowView::Size(int* width, int* height) const {
    *width = PixelWidth();
    *height = PixelHeight();
}

int C3DWindowView::PixelWidth() const {
    return qMax(1, qRound(width() * devicePixelRatioF()));
}
int C3DWindowView::PixelHeight() const {
    return qMax(1, qRound(height() * devicePixelRatioF()));
}

void C3DWindowView::initializeGL() {
    // Once only: the views stay in their frame or dialog, so Qt never gives them a new
    // context (which would take the device's GL objects with the old one).
    if (system_) return;
    if (!context() || !context()->isValid() || !IsCore33(context()->format())) {
        Fail();
        return;
    }
    system_ = std::make_unique<CRKSystem>();
    if (!system_->Initialise(this, PixelWidth(), PixelHeight())) {
        system_.reset();
        Fail();
        return;
    }
    system_->SetBackgroundColor(kBackground[0], kBackground[1], kBackground[2], true);
    system_->SetUpWorld(dataFolder_);
    ready_ = true;
}

void C3DWindowView::Fail() {
    if (failed_) return;
    failed_ = true;
    tavrel::DebugOutput("C3DWindowView::initializeGL failed: no usable OpenGL 3.3 context.\n");
    emit glFailed();
}

void C3DWindowView::resizeGL(int, int) {
    if (system_) system_->SetWindowRect(0, 0, PixelWidth(), PixelHeight());
}

void C3DWindowView::RebuildDevice() {
    if (!system_) return;
    system_->SetWindowRect(0, 0, PixelWidth(), PixelHeight());
    update();
}

void C3DWindowView::paintGL() {
    if (!ready_) return;
    if (system_->DrawScene(this)) {
        MakeOpaque();
        ++frames_;
        emit frameDrawn();
    }
}

// The device leaves alpha 0 where it drew background; Qt would take that for transparency
// when it composes or grabs the widget.
void C3DWindowView::MakeOpaque() {
    QOpenGLFunctions* gl = context()->functions();
    GLint bound = 0;
    gl->glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, defaultFramebufferObject());
    GLfloat clear[4];
    gl->glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    gl->glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    gl->glClearColor(0, 0, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl->glClearColor(clear[0], clear[1], clear[2], clear[3]);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(bound));
}

void C3DWindowView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0) emit zoomRequested(delta * kWheelZoomFactor);
    event->accept();
}

void C3DWindowView::ForwardMouse(QMouseEvent* event) {
    if (input_ && input_->MouseEvent(event)) {
        event->accept();
        update();
    } else {
        event->ignore();
    }
}

void C3DWindowView::ForwardKey(QKeyEvent* event) {
    if (input_ && input_->KeyEvent(event)) {
        event->accept();
        update();
    } else {
        event->ignore();
    }
}

void C3DWindowView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    ForwardMouse(event);
}
void C3DWindowView::mouseReleaseEvent(QMouseEvent* event) {
    ForwardMouse(event);
}
void C3DWindowView::mouseMoveEvent(QMouseEvent* event) {
    ForwardMouse(event);
}
void C3DWindowView::mouseDoubleClickEvent(QMouseEvent* event) {
    ForwardMouse(event);
}
void C3DWindowView::keyPressEvent(QKeyEvent* event) {
    ForwardKey(event);
}
void C3DWindowView::keyReleaseEvent(QKeyEvent* event) {
    ForwardKey(event);
}
