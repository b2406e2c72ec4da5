#include "timeline/ui/SoundLevels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>

#include "settings/StringIds.h"
#include "timeline/ui/TimelineStrings.h"

namespace tavrel {
namespace {

constexpr double kFramesPerSecond = 60.0;

// Whether the file starts as a WAV file does, so that a wrong kind of file is named as such.
bool HasWaveHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[12] = {};
    return file.read(head, sizeof head) && std::memcmp(head, "RIFF", 4) == 0 &&
           std::memcmp(head + 8, "WAVE", 4) == 0;
}

// One sample as 0 to 1 of full scale.
float SampleLevel(const uint8_t* p, const WaveFormat& format) {
    switch (format.bitsPerSample) {
        case 8:
            return std::abs(int(p[0]) - 128) / 128.0f;
        case 16:
            return std::abs(int(int16_t(p[0] | p[1] << 8))) / 32768.0f;
        case 24: {
            const int32_t v =
                int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
            return std::abs(float(v)) / 8388608.0f;
        }
        case 32: {
            uint32_t bits = 0;
            std::memcpy(&bits, p, 4);
            if (format.formatTag == kWaveFormatFloat) {
                float v = 0.0f;
                std::memcpy(&v, &bits, 4);
                return std::isfinite(v) ? std::min(std::abs(v), 1.0f) : 0.0f;
            }
            return float(std::abs(double(int32_t(bits))) / 2147483648.0);
        }
        default:
            return 0.0f;
    }
}

}  // namespace

int CSoundLevels::Load(const std::string& path) {
    Unload();
    if (!HasWaveHeader(path)) return strings::kNotWaveFile;
    if (!wave_.LoadWaveFile(path)) return strings::kSoundLoadFailed;
    MeasureLevels();
    return 0;
}

void CSoundLevels::Unload() {
    wave_.Clear();
    seconds_ = 0.0;
    levels_.clear();
}

void CSoundLevels::MeasureLevels() {
    const WaveFormat& format = *wave_.Format();
    const size_t blocks = wave_.DataSize() / format.blockAlign;
    seconds_ = double(blocks) / format.samplesPerSec;
    // Whole frames counted in integers: a sound of exactly n frames is not given n + 1.
    const uint64_t rate = format.samplesPerSec;
    levels_.assign(size_t((uint64_t(blocks) * uint64_t(kFramesPerSecond) + rate - 1) / rate), 0.0f);
    const int bytes = format.bitsPerSample / 8;
    for (size_t b = 0; b < blocks && !levels_.empty(); ++b) {
        const uint8_t* block = wave_.Data() + b * format.blockAlign;
        float& peak = levels_[std::min(levels_.size() - 1,
                                       size_t(b * kFramesPerSecond / format.samplesPerSec))];
        for (int c = 0; c < format.channels; ++c) {
            peak = std::max(peak, SampleLevel(block + c * bytes, format));
        }
    }
}

float CSoundLevels::LevelAt(int frame) const {
    if (frame < 0 || frame >= FrameCount()) return 0.0f;
    return levels_[size_t(frame)];
}

}  // namespace tavrel
