#pragma once
// Playback of the timeline panel: a play timer for the whole timeline and one for the marked
// range, the stepper that turns time into frames, the loop, and the sound, which the picture
// keeps to while it is heard. The panel shows the frames and the state.
#include <QObject>
#include <functional>

#include "timeline/PlaybackStepper.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/SoundPlayback.h"
#include "uikit/CRTimer.h"

namespace tavrel {

class CPanelPlayback {
public:
    // The longest wait between playback ticks (ms); each tick comes when the next frame is due.
    static constexpr int kPlayInterval = 33;

    // What playback asks of the panel.
    struct Events {
        std::function<void(int frame)> showFrame;
        std::function<void()> started;
        // atEnd: a play that ran past the end without a loop; the panel shows frame 0.
        std::function<void(bool atEnd)> stopped;
        // The sound's length in timeline frames (0 without one): playback runs to its end.
        std::function<int()> soundFrames;
    };

    CPanelPlayback(QObject& owner, CTimelineModel& model, CSoundPlayback& sound,
                   CPlaybackStepper::Clock clock, Events events);
    ~CPanelPlayback();

    void PlayAll();
    // The marked range; with no mark set, the whole timeline.
    void PlayRange();
    // Whether the marked range is what plays.
    bool PlaysMarkedRange() const { return playing_ && rangeAsked_; }
    void Stop();
    // One tick of a play timer (its identifier tells which).
    void OnTimer(int identifier);
    // The last clip deleted while playing: no frame is left to show, and the sound stops with
    // the picture.
    void StopIfNothingToPlay();

    bool IsPlaying() const { return playing_; }
    bool IsLooping() const { return looping_; }
    void ToggleLoop() { looping_ = !looping_; }
    CRTimer& PlayAllTimer() { return playAllTimer_; }
    CRTimer& PlayRangeTimer() { return playRangeTimer_; }

private:
    void Start(CRTimer& timer);
    CTimelineModel::PlayRange Range() const;
    void EndOfPlay();
    void MoveSound(int milliseconds);
    void TickWhenNextFrameIsDue(CRTimer& timer);

    CTimelineModel& model_;
    CSoundPlayback& sound_;
    Events events_;
    CPlaybackStepper stepper_;
    CRTimer playAllTimer_;
    CRTimer playRangeTimer_;
    bool playing_ = false;
    bool looping_ = false;
    bool rangeAsked_ = false;  // the range timer runs
};

}  // namespace tavrel
