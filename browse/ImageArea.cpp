#include "browse/ImageArea.h"

#include <QPainter>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "RKWindow/IMImageGenerator.h"
#include "RKWindow/RKViewport.h"
#include "RKWindow/ui/C3DWindowView.h"
#include "motion/FrameStep.h"
#include "motion/MotionImport.h"
#include "settings/FileNameRules.h"

namespace tavrel {

namespace {

constexpr uint8_t kBackground[3] = {92, 100, 116};

std::unique_ptr<ANIMFILE> LoadMotion(const std::string& path) {
    return CMotionImport::OpenToShow(path, 1);
}

}  // namespace

CImageArea::CImageArea(std::mutex& shared, QString dataFolder, QWidget* parent)
    : QWidget(parent), shared_(shared), dataFolder_(std::move(dataFolder)) {
    setObjectName("ImageArea");
    setMinimumSize(60, 60);
    // Headless drawing beside the window's own GL context gives no picture on some displays:
    // where a context can be had, the preview is a 3D view of its own.
    if (C3DWindowView::CanCreateContext()) {
        view_ = new C3DWindowView(dataFolder_.toStdString(), this);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view_);
    }
    ShowMotion(QString());
}

// The lock only guards the headless renderer's teardown: an area that never drew (or plays in
// a 3D view of its own) goes without waiting for a picture the worker has in hand, and without
// locking again a mutex its own thread may hold.
CImageArea::~CImageArea() {
    if (!renderer_) return;
    std::lock_guard guard(shared_);
    renderer_.reset();
}

void CImageArea::ShowMotion(const QString& path) {
    if (view_) {
        path_ = path;
        if (path.isEmpty() || !view_->PlayClip(path.toStdString())) {
            path_.clear();
            view_->ShowFrameSample(FrameSample());  // the initial pose
        }
        return;
    }
    path_ = path;
    picture_ = QImage();
    motion_ = path.isEmpty() ? nullptr : LoadMotion(path.toStdString());
    if (!motion_) {
        path_.clear();
        motion_ = LoadMotion(JoinPath(dataFolder_.toStdString(), "Init.chb"));
    }
    frame_ = motion_ ? motion_->GetBeginFrame() : 0;
    carry_ = 0;
    Step();
}

void CImageArea::Step() {
    if (view_ || !motion_ || !isVisible()) return;
    const bool still = motion_->GetEndFrame() == motion_->GetBeginFrame();
    if (still && picture_.size() == size() && frame_ == motion_->GetBeginFrame() &&
        drawnPath_ == path_)
        return;
    if (Draw()) {
        drawnPath_ = path_;
        update();
    }
    frame_ = NextFrameAtRate(frame_, motion_->GetFrameRate(), kFrameInterval,
                             motion_->GetBeginFrame(), motion_->GetEndFrame(), &carry_);
}

bool CImageArea::Draw() {
    std::unique_lock guard(shared_, std::try_to_lock);
    if (!guard.owns_lock()) return false;  // the 3D machinery is in use: skip this frame
    const int width = std::max(1, this->width()), height = std::max(1, this->height());
    if (!renderer_) {
        renderer_ = std::make_unique<CIMImageGenerator>(dataFolder_.toStdString());
        renderer_->SetBackground(kBackground);
        if (!renderer_->SetWindow(this)) {
            renderer_.reset();
            return false;
        }
    }
    if ((renderer_->Width() != width || renderer_->Height() != height) &&
        !renderer_->SetImageSize(width, height)) {
        return false;
    }
    std::vector<uint32_t> pixels(size_t(width) * height);
    if (!renderer_->DrawFrame(*motion_, frame_, pixels.data())) return false;
    picture_ =
        QImage(reinterpret_cast<const uchar*>(pixels.data()), width, height, QImage::Format_ARGB32)
            .copy();
    return true;
}

void CImageArea::paintEvent(QPaintEvent*) {
    if (view_) return;
    QPainter painter(this);
    painter.fillRect(rect(), QColor(kBackground[0], kBackground[1], kBackground[2]));
    if (!picture_.isNull()) painter.drawImage(rect(), picture_);
}

void CImageArea::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) Step();
}

void CImageArea::showEvent(QShowEvent*) {
    if (view_) return;  // the view plays on its own timer
    timer_.start(kFrameInterval, this);
    Step();
}

void CImageArea::hideEvent(QHideEvent*) {
    timer_.stop();
}

}  // namespace tavrel
