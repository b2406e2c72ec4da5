// Hovering a thumbnail plays its motion in it, frame by frame at the motion's own speed.
#include <QTimerEvent>
#include <mutex>

#include "browse/GalleryServices.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/ThumbnailPixmap.h"
#include "motion/FrameStep.h"
#include "motion/MotionImport.h"

namespace tavrel {
namespace {

// A picture every 50 ms, at the motion's own speed.
constexpr int kHoverInterval = 50;

}  // namespace

void CThumbnailCtrl::HoverOver(int row) {
    if (row == hoverRow_) return;
    if (row >= 0 && state() == QAbstractItemView::EditingState) return;  // no play while typing
    if (hoverRow_ >= 0 && hoverRow_ < count()) {  // the still picture comes back
        const ThumbnailPtr still = cache_.Find(PathOf(hoverRow_));
        const bool shown = still && still->problem.empty();
        item(hoverRow_)->setIcon(shown ? QIcon(ThumbnailPixmap(*still))
                                       : QIcon(BlankThumbnail(size_)));
    }
    hoverTimer_.stop();
    hoverMotion_.reset();
    hoverRow_ = -1;
    if (row < 0 || row >= count() || !hoverMaker_) return;
    const std::string path = PathOf(row);
    hoverMotion_ = CMotionImport::OpenToShow(path, 1);
    if (!hoverMotion_) return;
    hoverRow_ = row;
    hoverFrame_ = hoverMotion_->GetBeginFrame();
    hoverCarry_ = 0;
    hoverTimer_.start(kHoverInterval, this);
}

void CThumbnailCtrl::StepHover() {
    if (!hoverMotion_ || hoverRow_ < 0) return;
    std::unique_lock guard(services_.SharedMutex(), std::try_to_lock);
    if (!guard.owns_lock()) return;  // a picture is being made: this frame is skipped
    const ThumbnailPtr picture = hoverMaker_(*hoverMotion_, hoverFrame_, size_, size_);
    guard.unlock();
    if (picture) item(hoverRow_)->setIcon(QIcon(ThumbnailPixmap(*picture)));
    hoverFrame_ =
        NextFrameAtRate(hoverFrame_, hoverMotion_->GetFrameRate(), kHoverInterval,
                        hoverMotion_->GetBeginFrame(), hoverMotion_->GetEndFrame(), &hoverCarry_);
}

void CThumbnailCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == hoverTimer_.timerId()) {
        StepHover();
    } else {
        QListWidget::timerEvent(event);
    }
}

void CThumbnailCtrl::leaveEvent(QEvent* event) {
    HoverOver(-1);
    QListWidget::leaveEvent(event);
}

}  // namespace tavrel
