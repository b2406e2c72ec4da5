#include "timeline/ui/TrackMapping.h"

#include <cmath>

namespace tavrel {

void CTrackMapping::ShowFrame(int frame) {
    if (overview_) return;
    const int x = frame * PixelsPerFrame();
    const int ppf = PixelsPerFrame();
    if (x >= scroll_ && x + ppf <= scroll_ + width_) return;
    // A frame just past either edge pages on; one far away comes to the middle.
    if (x + ppf > scroll_ + width_ && x < scroll_ + width_ + ppf) {
        SetScroll(x);
    } else if (x < scroll_ && x + ppf >= scroll_ - ppf) {
        SetScroll(x + ppf - width_);
    } else {
        SetScroll(x - width_ / 2);
    }
}

double CTrackMapping::FrameWidth() const {
    return overview_ ? double(width_) / double(overviewEnd_ + 1) : double(PixelsPerFrame());
}

int CTrackMapping::FrameAt(int x) const {
    const int frame = overview_ ? int(std::floor(double(x) / FrameWidth()))
                                : (x + scroll_ >= 0 ? (scroll_ + x) / PixelsPerFrame() : -1);
    return std::clamp(frame, 0, kMaxFrame);
}

int CTrackMapping::XOf(int frame) const {
    if (overview_) return int(std::lround(double(frame) * FrameWidth()));
    return frame * PixelsPerFrame() - scroll_;
}

}  // namespace tavrel
