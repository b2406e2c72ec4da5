#include "media/RWavePlayback.h"

#include "base/DebugOutput.h"

namespace tavrel {

CRWavePlayback::FileStamp CRWavePlayback::StampOf(const std::string& path) {
    std::error_code error;
    FileStamp stamp;
    stamp.size = std::filesystem::file_size(path, error);
    stamp.written = std::filesystem::last_write_time(path, error);
    return stamp;
}

bool CRWavePlayback::Load(const std::string& path) {
    const FileStamp stamp = StampOf(path);
    if (!path.empty() && path == path_ && stamp == stamp_) return true;
    if (!CRWaveOut::Load(path)) {
        DebugOutput("CRWavePlayback::Load() failed: LoadWaveFile() return FALSE\n");
        return false;
    }
    path_ = path;
    stamp_ = stamp;
    return true;
}

bool CRWavePlayback::Play() {
    // A frame still sounding from a drag gives way to the play.
    if (scrubbing_ && IsPlaying()) Stop();
    scrubbing_ = false;
    return CRWaveOut::Play();
}

void CRWavePlayback::Clear() {
    CRWaveOut::Clear();
    path_.clear();
}

bool CRWavePlayback::Scrub(int frame) {
    if (frame < 0 || !HasData()) return false;
    if (IsPlaying() && !scrubbing_) return false;
    // Whole blocks from the exact sample of the frame's start to the next frame's start, so
    // that successive frames neither overlap nor leave gaps.
    const WaveFormat& format = *Format();
    const uint64_t perSecond = BytesPerSecond(format);
    const uint64_t start = RoundToBlock(format, perSecond * uint64_t(frame) / kFramesPerSecond);
    const uint64_t end = RoundToBlock(format, perSecond * uint64_t(frame + 1) / kFramesPerSecond);
    // A drag scrubs faster than a sound card opens: a frame still sounding is moved.
    if (IsPlaying()) {
        if (start < DataSize() && MoveBytes(start, end)) return true;
        Stop();
    }
    scrubbing_ = true;
    const bool playing = PlayBytes(start, end);
    if (!playing) scrubbing_ = false;
    return playing;
}

int CRWavePlayback::GetFrame() const {
    return int(uint64_t(GetPosition()) * kFramesPerSecond / 1000);
}

uint32_t CRWavePlayback::FrameToMilliseconds(int frame) {
    return frame <= 0 ? 0 : uint32_t(uint64_t(frame) * 1000 / kFramesPerSecond);
}

}  // namespace tavrel
