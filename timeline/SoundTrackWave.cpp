#include "timeline/SoundTrackWave.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/DebugOutput.h"
#include "settings/StringIds.h"

namespace tavrel {
namespace {

constexpr int kNotWave = 61348;
constexpr uint16_t kFormatPcm = 1;
constexpr double kFramesPerSecond = 60.0;

uint32_t Read32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t Read16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

}  // namespace

int CSoundTrackWave::Load(const std::string& path) {
    Unload();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        DebugOutput("CSoundTrackWave::Load failed: cannot open " + path + ".\n");
        return strings::kSoundLoadFailed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 12) {
        ::close(fd);
        return kNotWave;
    }
    void* map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) return strings::kSoundLoadFailed;
    base_ = static_cast<const uint8_t*>(map);
    size_ = size_t(st.st_size);
    if (std::memcmp(base_, "RIFF", 4) != 0 || std::memcmp(base_ + 8, "WAVE", 4) != 0) {
        Unload();
        return kNotWave;
    }
    if (!ReadChunks()) {
        DebugOutput("CSoundTrackWave::Load failed: no usable format chunk in " + path + ".\n");
        Unload();
        return strings::kSoundLoadFailed;
    }
    MeasureLevels();
    return 0;
}

void CSoundTrackWave::Unload() {
    if (base_) ::munmap(const_cast<uint8_t*>(base_), size_);
    base_ = data_ = nullptr;
    size_ = dataSize_ = 0;
    formatTag_ = channels_ = blockAlign_ = bitsPerSample_ = 0;
    sampleRate_ = 0;
    seconds_ = 0.0;
    levels_.clear();
}

// Walks the chunks from byte 12 to "fmt ", then (PCM only) on to "data". A chunk that claims to
// reach past the file is cut at its end, so nothing is read beyond the mapping.
bool CSoundTrackWave::ReadChunks() {
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= size_;) {
        const uint8_t* chunk = base_ + at;
        const size_t payload = std::min<size_t>(Read32(chunk + 4), size_ - at - 8);
        if (!haveFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
            if (payload < 16) return false;
            formatTag_ = Read16(chunk + 8);
            channels_ = Read16(chunk + 10);
            sampleRate_ = Read32(chunk + 12);
            blockAlign_ = Read16(chunk + 20);
            bitsPerSample_ = Read16(chunk + 22);
            haveFormat = true;
            if (formatTag_ != kFormatPcm) return true;
            if (channels_ == 0 || blockAlign_ == 0 || sampleRate_ == 0) return false;
        } else if (haveFormat && std::memcmp(chunk, "data", 4) == 0) {
            data_ = chunk + 8;
            dataSize_ = payload - payload % blockAlign_;
            return true;
        }
        at += 8 + payload + (payload & 1);  // chunks are padded to even sizes
    }
    return haveFormat;
}

void CSoundTrackWave::MeasureLevels() {
    if (!HasSound()) return;
    const size_t blocks = dataSize_ / blockAlign_;
    seconds_ = double(blocks) / sampleRate_;
    const int frames = int(std::ceil(seconds_ * kFramesPerSecond));
    levels_.assign(size_t(std::max(frames, 0)), 0.0f);
    const int bytes = bitsPerSample_ / 8;
    if (bytes != 1 && bytes != 2) return;  // other depths are drawn flat
    for (size_t b = 0; b < blocks; ++b) {
        const uint8_t* sample = data_ + b * blockAlign_;
        const float level = bytes == 1 ? std::abs(int(sample[0]) - 128) / 128.0f
                                       : std::abs(int(int16_t(Read16(sample)))) / 32768.0f;
        float& peak =
            levels_[std::min(levels_.size() - 1, size_t(b * kFramesPerSecond / sampleRate_))];
        peak = std::max(peak, level);
    }
}

float CSoundTrackWave::LevelAt(int frame) const {
    if (frame < 0 || frame >= FrameCount()) return 0.0f;
    return levels_[size_t(frame)];
}

}  // namespace tavrel
