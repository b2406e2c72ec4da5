#pragma once
// The horizontal mapping every track window shares: frames to pixels at a zoom step and a
// scroll position, or the whole timeline squeezed into the window in overview mode.
#include <algorithm>
#include <array>
#include <cmath>

#include "timeline/MotionClip.h"

namespace tavrel {

class CTrackMapping {
public:
    static constexpr std::array<int, 9> kZoomSteps = {1, 2, 3, 4, 6, 8, 9, 10, 12};
    static constexpr int kDefaultStep = 4;
    static constexpr int kImageWidth = 1280;  // width of every window's off-screen image

    int PixelsPerFrame() const { return kZoomSteps[step_]; }
    int Step() const { return step_; }
    void SetStep(int step) {
        step_ = std::clamp(step, 0, int(kZoomSteps.size()) - 1);
        SetScroll(scroll_);
    }

    // Width of the track area the windows show.
    int Width() const { return width_; }
    void SetWidth(int width) {
        width_ = std::max(1, width);
        SetScroll(scroll_);
    }

    int Scroll() const { return scroll_; }
    int MaxScroll() const { return std::max(0, (kMaxFrame + 1) * PixelsPerFrame() - width_); }
    void SetScroll(int pixels) { scroll_ = std::clamp(pixels, 0, MaxScroll()); }
    // Scrolls the least that shows the frame whole; centres it when it was far off.
    void ShowFrame(int frame);

    bool Overview() const { return overview_; }
    // In overview the windows show frames 0 to end.
    void SetOverview(bool on, int end) {
        overview_ = on;
        overviewEnd_ = std::clamp(end, 1, kMaxFrame);
    }
    int OverviewEnd() const { return overviewEnd_; }

    // The frame under pixel x of a window (x may lie outside it), within 0 to kMaxFrame.
    int FrameAt(int x) const;
    // The frames, with their fraction, before pixel x: what lies under x to within a pixel.
    double ExactFrameAt(int x) const {
        return overview_ ? double(x) / FrameWidth() : double(scroll_ + x) / PixelsPerFrame();
    }
    // The pixel at a frame with its fraction.
    int ExactXOf(double frame) const {
        return overview_ ? int(std::lround(frame * FrameWidth()))
                         : int(std::lround(frame * PixelsPerFrame())) - scroll_;
    }
    // The first pixel of the frame.
    int XOf(int frame) const;
    // Pixels a frame covers at least 1.
    double FrameWidth() const;
    int FirstVisible() const { return FrameAt(0); }
    int LastVisible() const { return FrameAt(width_ - 1); }

private:
    int step_ = kDefaultStep;
    int scroll_ = 0;
    int width_ = kImageWidth;
    bool overview_ = false;
    int overviewEnd_ = kMaxFrame;
};

}  // namespace tavrel
