#pragma once
// Plays the 3D window's display motion by itself (the gallery's preview pane, the preview
// dialog): the window's 16 ms timer calls Tick with the time, and the frame count follows the
// clock, wrapping to frame 0 at the end. No sound, no media.
#include <cstdint>

namespace tavrel {

class CRKWindow;

class CRKPreviewPlayer {
public:
    static constexpr int kIntervalMs = 16;

    explicit CRKPreviewPlayer(CRKWindow& window) : window_(window) {}

    // now: milliseconds of a steady clock. The caller starts its timer with kIntervalMs.
    void Start(int64_t now);
    // The frame shown, or -1 when less than one frame was due.
    int Tick(int64_t now);
    // The caller stops its timer; frame 0 is shown.
    void Stop();
    bool IsPlaying() const { return playing_; }

private:
    CRKWindow& window_;
    int64_t due_ = 0;
    bool playing_ = false;
};

}  // namespace tavrel
