#include "RKWindow/ui/C3DWindowView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <chrono>

#include "RKWindow/RKPreviewPlayer.h"
#include "RKWindow/RKWindow.h"
#include "RKWindow/RKWindowTools.h"
#include "RKWindow/ui/C3DToolInput.h"
#include "RKWindow/ui/C3DViewContext.h"
#include "ZU2/rkDevice.h"
#include "base/DebugOutput.h"
#include "motion/MotionManager.h"
#include "uikit/CRTimer.h"

namespace tavrel {

namespace {

constexpr const uint8_t (&kBackground)[3] = kViewBackground;

int64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void ShowWaitCursor(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace

C3DWindowView::C3DWindowView(std::string dataFolder, QWidget* parent)
    : QWidget(parent),
      dataFolder_(std::move(dataFolder)),
      manager_(std::make_unique<CMotionManager>()) {
    // Every pixel is painted from the frame: nothing behind it needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(16, 16);
}

C3DWindowView::~C3DWindowView() {
    clipTimer_.reset();
    player_.reset();
    input_ = nullptr;
    toolInput_.reset();
    tools_.reset();
    // The system frees GL objects: its context must still be there and current.
    if (window_) MakeCurrent();
    window_.reset();
    context_.reset();
}

CRKSystem* C3DWindowView::System() {
    return ready_ ? &window_->System() : nullptr;
}

void C3DWindowView::SetInput(C3DViewInput* input) {
    if (input_) input_->FocusLost();
    input_ = input;
    inputSet_ = true;
}

bool C3DWindowView::CanCreateContext() {
    static const bool possible = C3DViewContext::Shared() != nullptr;
    return possible;
}

bool C3DWindowView::MakeCurrent() {
    return context_ && context_->MakeCurrent();
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

void C3DWindowView::Initialise() {
    context_ = C3DViewContext::Shared();
    if (!MakeCurrent()) {
        context_.reset();
        Fail();
        return;
    }
    window_ = std::make_unique<CRKWindow>(*manager_, dataFolder_);
    if (!window_->Initialise(this, PixelWidth(), PixelHeight())) {
        window_.reset();
        Fail();
        return;
    }
    window_->System().SetBackgroundColor(kBackground[0], kBackground[1], kBackground[2], true);
    // A walk leaves a still camera within seconds: the editor's camera keeps to the avatar.
    window_->System().follow = true;
    window_->waitCursor = ShowWaitCursor;
    tools_ = std::make_unique<CRKWindowTools>(window_->System());
    toolInput_ = std::make_unique<C3DToolInput>(*tools_, *this);
    if (!inputSet_) input_ = toolInput_.get();
    player_ = std::make_unique<CRKPreviewPlayer>(*window_);
    clipTimer_ = std::make_unique<CRTimer>(this, CRKPreviewPlayer::kIntervalMs);
    clipTimer_->SetHandler([this](int) { update(); });
    ready_ = true;
    ApplyTimelineViews();
    if (pendingSample_) {
        const FrameSample sample = *pendingSample_;
        pendingSample_.reset();
        ShowFrameSample(sample);
    }
    emit worldReady();
}

void C3DWindowView::Fail() {
    if (failed_) return;
    failed_ = true;
    DebugOutput("C3DWindowView::Initialise failed: no usable OpenGL 3.3 context.\n");
    emit glFailed();
}

void C3DWindowView::resizeEvent(QResizeEvent* event) {
    if (tools_) tools_->Resize(PixelWidth(), PixelHeight());
    QWidget::resizeEvent(event);
}

void C3DWindowView::RebuildDevice() {
    if (!ready_) return;
    tools_->Resize(PixelWidth(), PixelHeight());
    update();
}

void C3DWindowView::ShowFrameSample(const FrameSample& sample) {
    StopClip();
    if (!ready_) {
        pendingSample_ = sample;
        return;
    }
    // Pictures and videos behind the avatar become textures: the context must be current.
    MakeCurrent();
    // The avatar moves under the mouse: the next mouse move would drag by a stale distance.
    tools_->SetOwnUpdate(true);
    window_->ShowFrameSample(sample, 0);
    window_->PoseCurrentFrame();
    update();
}

bool C3DWindowView::PlayClip(const std::string& motionPath) {
    StopClip();
    if (!ready_) return false;
    CMotion* clip = manager_->GetMotion(motionPath);
    const int length = clip && clip->HasData() ? clip->GetLength() : 0;
    if (length < 1) return false;
    CMotion& display = window_->DisplayMotion();
    for (int i = 0; i < length; ++i) {
        std::unique_ptr<CHTR> pose = clip->GetPose(i);
        if (!pose || !display.SetPose(i, *pose)) return false;
    }
    // The timeline's frames stored beyond the clip are not played, nor their ghosts shown.
    display.SetLength(length);
    window_->LeaveTimelineViews();
    window_->SetCurrentFrame(0);
    window_->PoseCurrentFrame();
    player_->Start(SteadyMilliseconds());
    clipTimer_->Start();
    update();
    return true;
}

void C3DWindowView::StopClip() {
    if (!IsPlayingClip()) return;
    clipTimer_->Stop();
    MakeCurrent();
    player_->Stop();
}

bool C3DWindowView::IsPlayingClip() const {
    return player_ && player_->IsPlaying();
}

void C3DWindowView::StorePose(const rkNode* avatar) {
    if (!ready_ || !avatar) return;
    CMotion& display = window_->DisplayMotion();
    const int frame = window_->GetCurrentFrame();
    std::unique_ptr<CHTR> pose = display.GetPose(frame);
    if (!pose) return;
    window_->System().ReadAvatarPose(pose->GetRoot());
    display.SetPose(frame, *pose);
}

void C3DWindowView::EmptyMotionCache() {
    StopClip();
    if (ready_) window_->ClearTimelineViews();
    manager_->Clear();
}

void C3DWindowView::SetTimelineSource(TimelineSource source) {
    timelineSource_ = std::move(source);
    ApplyTimelineViews();
}

void C3DWindowView::SetGhosts(const GhostSettings& ghosts) {
    ghosts_ = ghosts;
    ApplyTimelineViews();
}

void C3DWindowView::ShowPaths(bool shown) {
    pathsShown_ = shown;
    ApplyTimelineViews();
}

void C3DWindowView::ApplyTimelineViews() {
    if (!ready_) return;
    window_->SetTimelineSource(timelineSource_);
    window_->Ghosts().SetSettings(ghosts_);
    window_->Paths().Show(pathsShown_);
    if (!IsPlayingClip()) window_->UpdateTimelineViews();
    update();
}

// A body part picked in manipulation mode gets a path of its own.
void C3DWindowView::FollowPickedSegment() {
    const rkNode* picked = tools_->Selection();
    const std::string segment = picked ? picked->name : "";
    CRKMotionPaths& paths = window_->Paths();
    if (!paths.IsShown() || segment == paths.Picked()) return;
    paths.SetPicked(segment);
    if (!IsPlayingClip()) window_->UpdateTimelineViews();
}

void C3DWindowView::paintEvent(QPaintEvent*) {
    if (!ready_ && !failed_) Initialise();
    if (ready_ && DrawFrame()) {
        ++frames_;
        emit frameDrawn();
    }
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), QColor(kBackground[0], kBackground[1], kBackground[2]));
    } else {
        painter.drawImage(0, 0, picture_);
    }
}

bool C3DWindowView::DrawFrame() {
    // A clip that plays draws its next frame when one is due; otherwise the scene as it is.
    const bool drawn = (IsPlayingClip() && player_->Tick(SteadyMilliseconds()) >= 0) ||
                       window_->System().DrawScene(nullptr);
    if (!drawn) return false;
    rkDevice& device = window_->System().Device();
    // The device leaves alpha 0 where it drew background: RGB32 ignores alpha.
    QImage frame(device.width, device.height, QImage::Format_RGB32);
    rkSetCurrentDevice(&device);
    if (!rkReadFrame(RK_READ_COLOR, frame.bits())) return false;
    frame.setDevicePixelRatio(devicePixelRatioF());
    picture_ = std::move(frame);
    return true;
}

void C3DWindowView::wheelEvent(QWheelEvent* event) {
    if (input_ && input_->WheelEvent(event)) {
        update();
    } else if (const int delta = event->angleDelta().y(); delta != 0) {
        emit zoomRequested(delta * kWheelZoomFactor);
    }
    event->accept();
}

void C3DWindowView::focusOutEvent(QFocusEvent* event) {
    if (input_) input_->FocusLost();
    QWidget::focusOutEvent(event);
}

void C3DWindowView::ForwardMouse(QMouseEvent* event) {
    if (input_ && input_->MouseEvent(event)) {
        event->accept();
        if (ready_) FollowPickedSegment();
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

}  // namespace tavrel
