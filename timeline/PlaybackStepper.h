#pragma once
// Turns wall-clock time into timeline frames during playback: the frame count follows the
// clock, not the number of timer ticks, so a slow machine skips frames and never repeats one.
#include <cstdint>
#include <functional>

namespace tavrel {

struct PlaybackStep {
    bool advanced = false;    // false: less than one frame is due; wait for the next tick
    int next = 0;             // the frame to show
    bool wrapped = false;     // playback ran past the end and started over
    int soundPositionMs = 0;  // where the sound restarts after a wrap
};

class CPlaybackStepper {
public:
    // Milliseconds of a steady clock.
    using Clock = std::function<int64_t()>;

    explicit CPlaybackStepper(Clock clock = SteadyMilliseconds);

    // Playback starts now: the first frame is due from this moment.
    void Start();
    // While a sound is heard the picture keeps to it rather than to the clock, so that the
    // time a device takes to open, its latency and the ticks' jitter never set them apart.
    // The sound was started, or moved, to soundMs for the frame shown now.
    void SoundStartsAt(int64_t soundMs);
    // The sound heard now (the device's own position) is at soundMs: the clock is set by it.
    // A picture ahead of the sound waits for it; no frame is shown twice. Each frame is shown
    // from half a frame before its time to half a frame after, so that the sound heard while it
    // is on screen is centred on it rather than running up to a whole frame ahead.
    void FollowSound(int64_t soundMs);
    // The whole timeline: frames 0 to lastFrame, wrapping to 0.
    PlaybackStep StepAll(int current, int lastFrame);
    // The marked range: an unset mark (-1) is replaced by the timeline's first or last frame;
    // a current frame before the range starts from the range's start.
    PlaybackStep StepRange(int current, int inMark, int outMark, int firstFrame, int lastFrame);

    // When the frame after the last one taken is due.
    int64_t DueTime() const;
    // Milliseconds from now until the next frame is due (at least 1, at most `longest`): a
    // timer that ticks then shows each frame as it comes due, not up to a tick later.
    int64_t MillisecondsToNextFrame(int64_t longest) const;

    static int64_t SteadyMilliseconds();

    static constexpr int64_t kFramesPerSecond = 60;
    static constexpr int64_t kHalfFrameMs = 1000 / kFramesPerSecond / 2;

private:
    // Whole frames due since the last ones taken.
    int TakeDueFrames();
    static PlaybackStep Wrap(int next, int start, int end);

    Clock clock_;
    int64_t start_ = 0;      // clock time of Start
    int64_t taken_ = 0;      // frames taken since Start
    int64_t soundBase_ = 0;  // the sound's milliseconds at the clock's start
};

}  // namespace tavrel
