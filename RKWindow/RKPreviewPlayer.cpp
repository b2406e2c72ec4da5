#include "RKWindow/RKPreviewPlayer.h"

#include "RKWindow/RKWindow.h"

namespace tavrel {

void CRKPreviewPlayer::Start(int64_t now) {
    due_ = now;
    playing_ = true;
}

int CRKPreviewPlayer::Tick(int64_t now) {
    if (!playing_) return -1;
    // 60 frames a second: 0.06 frames per millisecond, truncated.
    const int64_t frames = (now - due_) * 6 / 100;
    if (frames < 1) return -1;
    due_ += static_cast<int64_t>(frames * 16.666666);
    const int64_t last = window_.DisplayMotion().GetLength() - 1;
    if (last < 0) return -1;
    // Repeated subtraction of last + 1 wraps to frame 0; a long pause needs no long loop.
    const int next = static_cast<int>((window_.GetCurrentFrame() + frames) % (last + 1));
    if (!window_.SetCurrentFrame(next)) return -1;
    window_.ShowCurrentFrame();
    return next;
}

void CRKPreviewPlayer::Stop() {
    playing_ = false;
    if (window_.SetCurrentFrame(0)) window_.ShowCurrentFrame();
}

}  // namespace tavrel
