#include "timeline/PlaybackStepper.h"

#include <algorithm>
#include <chrono>

#include "timeline/MotionClip.h"

namespace tavrel {

CPlaybackStepper::CPlaybackStepper(Clock clock) : clock_(std::move(clock)) {}

int64_t CPlaybackStepper::SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CPlaybackStepper::Start() {
    start_ = clock_();
    taken_ = 0;
}

void CPlaybackStepper::SoundStartsAt(int64_t soundMs) {
    // The frame shown now began when the frames taken so far had run.
    soundBase_ = soundMs - taken_ * 1000 / kFramesPerSecond;
}

void CPlaybackStepper::FollowSound(int64_t soundMs) {
    start_ = clock_() - (soundMs - soundBase_) - kHalfFrameMs;
}

int64_t CPlaybackStepper::DueTime() const {
    return start_ + taken_ * 1000 / kFramesPerSecond;
}

int64_t CPlaybackStepper::MillisecondsToNextFrame(int64_t longest) const {
    // The first whole millisecond at which TakeDueFrames finds one more frame.
    const int64_t due = start_ + ((taken_ + 1) * 1000 + kFramesPerSecond - 1) / kFramesPerSecond;
    return std::clamp<int64_t>(due - clock_(), 1, std::max<int64_t>(longest, 1));
}

int CPlaybackStepper::TakeDueFrames() {
    // Whole frames since the start, in integers: rounding each tick's share instead would
    // run the picture ahead of the clock (and of the sound) by a frame every few seconds.
    const int64_t total = (clock_() - start_) * kFramesPerSecond / 1000;
    const int64_t frames = total - taken_;
    if (frames < 1) return 0;
    taken_ = total;
    return static_cast<int>(std::min<int64_t>(frames, kMaxFrame + 1));
}

PlaybackStep CPlaybackStepper::Wrap(int next, int start, int end) {
    PlaybackStep step;
    step.advanced = true;
    if (end < start) {
        // An empty range (an in mark after the timeline's end) restarts at once.
        step.next = start;
        step.wrapped = true;
    } else if (next > end) {
        step.next = start + (next - start) % (end - start + 1);
        step.wrapped = true;
    } else {
        step.next = next;
    }
    if (step.wrapped)
        step.soundPositionMs = static_cast<int>(int64_t(step.next) * 1000 / kFramesPerSecond);
    return step;
}

PlaybackStep CPlaybackStepper::StepAll(int current, int lastFrame) {
    if (lastFrame < 0) return {};
    const int frames = TakeDueFrames();
    if (frames == 0) return {};
    return Wrap(current + frames, 0, lastFrame);
}

PlaybackStep CPlaybackStepper::StepRange(int current, int inMark, int outMark, int firstFrame,
                                         int lastFrame) {
    if (lastFrame < 0) return {};
    const int start = inMark >= 0 ? inMark : firstFrame;
    const int end = outMark >= 0 ? outMark : lastFrame;
    if (current < start) current = start;
    const int frames = TakeDueFrames();
    if (frames == 0) return {};
    return Wrap(current + frames, start, end);
}

}  // namespace tavrel
