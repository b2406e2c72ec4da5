#include "timeline/ui/PanelPlayback.h"

namespace tavrel {
namespace {

int Millisecond(int frame) {
    return int(frame * kMillisecondsPerFrame);
}

}  // namespace

CPanelPlayback::CPanelPlayback(QObject& owner, CTimelineModel& model, CSoundPlayback& sound,
                               CPlaybackStepper::Clock clock, Events events)
    : model_(model),
      sound_(sound),
      events_(std::move(events)),
      stepper_(clock ? std::move(clock) : CPlaybackStepper::SteadyMilliseconds),
      playAllTimer_(&owner, kPlayInterval),
      playRangeTimer_(&owner, kPlayInterval) {
    playAllTimer_.SetHandler([this](int id) { OnTimer(id); });
    playRangeTimer_.SetHandler([this](int id) { OnTimer(id); });
}

CPanelPlayback::~CPanelPlayback() {
    playAllTimer_.Stop();
    playRangeTimer_.Stop();
    sound_.Stop();
}

CTimelineModel::PlayRange CPanelPlayback::Range() const {
    return model_.PlayRangeOf(rangeAsked_, events_.soundFrames ? events_.soundFrames() : 0);
}

void CPanelPlayback::PlayAll() {
    if (playing_) return;
    rangeAsked_ = false;
    if (Range().end < 0) return;
    Start(playAllTimer_);
}

void CPanelPlayback::PlayRange() {
    if (playing_) return;
    rangeAsked_ = true;
    const CTimelineModel::PlayRange range = Range();
    if (!range.marked) return PlayAll();
    if (range.end < 0) return;
    if (model_.CurrentFrame() < range.start) events_.showFrame(range.start);
    Start(playRangeTimer_);
}

void CPanelPlayback::Start(CRTimer& timer) {
    stepper_.Start();
    (&timer == &playAllTimer_ ? playRangeTimer_ : playAllTimer_).Stop();
    playing_ = true;
    if (sound_.IsLoaded()) {
        sound_.PlayFrom(Millisecond(model_.CurrentFrame()));
        stepper_.SoundStartsAt(Millisecond(model_.CurrentFrame()));
    }
    TickWhenNextFrameIsDue(timer);
    events_.started();
}

void CPanelPlayback::Stop() {
    sound_.Stop();
    playAllTimer_.Stop();
    playRangeTimer_.Stop();
    if (!playing_) return;
    playing_ = false;
    events_.stopped(false);
}

void CPanelPlayback::EndOfPlay() {
    playAllTimer_.Stop();
    playRangeTimer_.Stop();
    sound_.Stop();
    playing_ = false;
    events_.stopped(true);
}

// A loop's wrap: a sound still heard is moved on its open device (reopening it would leave the
// picture alone for as long as that takes); one that has ended starts again.
void CPanelPlayback::MoveSound(int milliseconds) {
    sound_.IsHeard() ? sound_.Seek(milliseconds) : sound_.PlayFrom(milliseconds);
    stepper_.SoundStartsAt(milliseconds);
}

// A tick at a fixed interval would show each frame up to that interval after it came due,
// with the sound running on meanwhile.
void CPanelPlayback::TickWhenNextFrameIsDue(CRTimer& timer) {
    timer.SetInterval(int(stepper_.MillisecondsToNextFrame(kPlayInterval)));
    timer.Start();
}

void CPanelPlayback::StopIfNothingToPlay() {
    if (playing_ && Range().end < 0) Stop();
}

void CPanelPlayback::OnTimer(int identifier) {
    StopIfNothingToPlay();
    if (!playing_) return;
    if (sound_.IsHeard()) stepper_.FollowSound(sound_.PositionMs());
    const CTimelineModel::PlayRange range = Range();
    const bool all = identifier == playAllTimer_.Identifier();
    const PlaybackStep step = all ? stepper_.StepAll(model_.CurrentFrame(), range.end)
                                  : stepper_.StepRange(model_.CurrentFrame(), range.start,
                                                       range.end, range.start, range.end);
    if (step.advanced) {
        if (step.wrapped) {
            if (!looping_) return EndOfPlay();
            if (sound_.IsLoaded()) MoveSound(step.soundPositionMs);
        }
        events_.showFrame(step.next);
    }
    // showFrame may have stopped playback (a box, a deleted project), or started another.
    CRTimer& timer = all ? playAllTimer_ : playRangeTimer_;
    if (playing_ && timer.IsRunning()) TickWhenNextFrameIsDue(timer);
}

}  // namespace tavrel
