#include "app/VideoMediaProbe.h"

#include <algorithm>

#include "media/RAvi.h"

namespace tavrel {

int CVideoMediaProbe::VideoFrameCount(const std::string& path) {
    CRAvi video;
    if (!video.Load(path)) return -1;
    constexpr int64_t kFramesPerSecond = 60;
    const int64_t frames = (video.GetLength() * kFramesPerSecond + 999) / 1000;
    return int(std::clamp<int64_t>(frames, 1, 1 << 30));
}

}  // namespace tavrel
