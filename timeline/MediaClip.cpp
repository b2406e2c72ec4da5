#include "timeline/MediaClip.h"

#include <algorithm>

#include "timeline/MotionClip.h"

namespace tavrel {

void MediaClip::SetFrames(int first, int last) {
    firstFrame = static_cast<uint16_t>(std::clamp(first, 0, kMaxFrame));
    lastFrame = static_cast<uint16_t>(std::clamp(last, 0, kMaxFrame));
}

int CompareMediaClips(const MediaClip& a, const MediaClip& b) {
    if (a.firstFrame == b.firstFrame) return 0;
    return b.firstFrame < a.firstFrame ? -1 : 1;
}

}  // namespace tavrel
