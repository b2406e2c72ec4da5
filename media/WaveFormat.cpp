#include "media/WaveFormat.h"

namespace tavrel {

uint32_t BytesPerSecond(const WaveFormat& format) {
    return uint32_t(format.bitsPerSample / 8) * format.channels * format.samplesPerSec;
}

uint64_t RoundToBlock(const WaveFormat& format, uint64_t bytes) {
    const uint64_t block = format.blockAlign;
    if (block == 0) return bytes;
    return (block / 2 + bytes) / block * block;
}

uint64_t MillisecondsToBytes(const WaveFormat& format, uint64_t milliseconds) {
    return RoundToBlock(format, uint64_t(BytesPerSecond(format)) * milliseconds / 1000);
}

uint64_t BytesToMilliseconds(const WaveFormat& format, uint64_t bytes) {
    const uint64_t perSecond = BytesPerSecond(format);
    return perSecond == 0 ? 0 : bytes * 1000 / perSecond;
}

}  // namespace tavrel
