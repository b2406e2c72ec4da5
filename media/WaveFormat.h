#pragma once
// The format record of a WAV file and the conversions between milliseconds and bytes of sound.
#include <cstdint>

namespace tavrel {

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatFloat = 3;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// The 18-byte format record of a "fmt " chunk. After loading, an extensible file's tag is
// replaced by its sub-format (PCM or float), so that players need to know only those two.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

// (bits per sample / 8) x channels x samples per second.
uint32_t BytesPerSecond(const WaveFormat& format);

// Rounds a byte count to the nearest whole block (one sample of every channel).
uint64_t RoundToBlock(const WaveFormat& format, uint64_t bytes);

// Milliseconds of sound as bytes, rounded to a whole block; 64-bit so long files cannot overflow.
uint64_t MillisecondsToBytes(const WaveFormat& format, uint64_t milliseconds);

// Bytes of sound as milliseconds (rounded down).
uint64_t BytesToMilliseconds(const WaveFormat& format, uint64_t bytes);

}  // namespace tavrel
