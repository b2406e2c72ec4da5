#include "timeline/MotionClip.h"

#include <algorithm>

namespace tavrel {
namespace {

int16_t ClampTransition(int frames) {
    return static_cast<int16_t>(std::clamp(frames, 0, 32767));
}

}  // namespace

void MotionClip::SetFirstFrame(int frame) {
    firstFrame = std::min(frame, kMaxFrame);
}
void MotionClip::SetLastFrame(int frame) {
    lastFrame = std::min(frame, kMaxFrame);
}
void MotionClip::SetTransitionIn(int frames) {
    transitionIn = ClampTransition(frames);
}
void MotionClip::SetTransitionOut(int frames) {
    transitionOut = ClampTransition(frames);
}

void MotionClip::SetDefaultTransitions() {
    const int frames = DefaultTransitionLength(Length());
    SetTransitionIn(frames);
    SetTransitionOut(frames);
}

int CompareMotionClips(const MotionClip& a, const MotionClip& b) {
    if (a.firstFrame != b.firstFrame) return b.firstFrame < a.firstFrame ? -1 : 1;
    if (a.lastFrame != b.lastFrame) return b.lastFrame < a.lastFrame ? -1 : 1;
    return 0;
}

int DefaultTransitionLength(int length) {
    if (length < 1) return 0;
    if (length <= 9) return 1;
    if (length <= 14) return 3;
    return 5;
}

bool RangesOverlap(int a, int b, int c, int d) {
    const auto in = [](int x, int lo, int hi) { return x >= lo && x <= hi; };
    return in(a, c, d) || in(b, c, d) || in(c, a, b) || in(d, a, b);
}

}  // namespace tavrel
