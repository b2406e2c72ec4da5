#include "media/RWave.h"

#include <cstring>
#include <new>
#include <optional>

#include "base/DebugOutput.h"
#include "media/MappedFile.h"

namespace tavrel {
namespace {

constexpr uint32_t kMinRate = 8000;
constexpr uint32_t kMaxRate = 96000;
// Eight channels (7.1) is the most a sound card takes from one stream.
constexpr uint16_t kMaxChannels = 8;
constexpr uint32_t kPlainFormatSize = 16;
constexpr uint32_t kExtensibleFormatSize = 40;
// The sub-format GUID of an extensible file: its first two bytes are the format tag, the rest
// is this fixed tail.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Read16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Chunk {
    uint64_t payload = 0;  // offset of the first byte after the 8-byte header
    uint32_t size = 0;     // as the header states it; may lie
    uint64_t next = 0;     // offset of the following chunk, past the pad byte of an odd size
};

// Walks the chunks in [from, end) of the mapping for the given identifier. A chunk whose
// stated size runs past the end stops the walk, as nothing after it can be trusted.
std::optional<Chunk> FindChunk(const uint8_t* file, uint64_t from, uint64_t end, const char* id) {
    for (uint64_t at = from; at + 8 <= end;) {
        Chunk chunk;
        chunk.payload = at + 8;
        chunk.size = Read32(file + at + 4);
        chunk.next = chunk.payload + chunk.size + (chunk.size & 1);
        if (std::memcmp(file + at, id, 4) == 0) return chunk;
        if (chunk.payload + chunk.size > end) break;
        at = chunk.next;
    }
    return std::nullopt;
}

bool Fail(const char* reason) {
    DebugPrintf("CRWave::LoadWaveFile failed: %s\n", reason);
    return false;
}

// Fills the format record from the start of a "fmt " payload; an extensible record gets its
// sub-format's tag. Returns the failure message, or null.
const char* ReadFormat(const uint8_t* payload, uint32_t available, WaveFormat& format) {
    format.formatTag = Read16(payload);
    format.channels = Read16(payload + 2);
    format.samplesPerSec = Read32(payload + 4);
    format.avgBytesPerSec = Read32(payload + 8);
    format.blockAlign = Read16(payload + 12);
    format.bitsPerSample = Read16(payload + 14);
    if (format.formatTag == kWaveFormatExtensible) {
        if (available < kExtensibleFormatSize || Read16(payload + 16) < 22 ||
            std::memcmp(payload + 26, kSubFormatTail, sizeof kSubFormatTail) != 0) {
            return "Unrecognize file format !";
        }
        format.formatTag = Read16(payload + 24);
    }
    if (format.formatTag != kWaveFormatPcm && format.formatTag != kWaveFormatFloat) {
        return "Unrecognize file format !";
    }
    return nullptr;
}

// The checks that keep the player's arithmetic sound: whole bytes per sample, blocks that are
// exactly one sample of each channel, and no empty dimension.
bool IsPlayable(const WaveFormat& format) {
    if (format.samplesPerSec < kMinRate || format.samplesPerSec > kMaxRate) return false;
    if (format.channels == 0 || format.channels > kMaxChannels) return false;
    const uint16_t bits = format.bitsPerSample;
    const bool bitsOk = format.formatTag == kWaveFormatFloat
                            ? bits == 32
                            : bits == 8 || bits == 16 || bits == 24 || bits == 32;
    return bitsOk && format.blockAlign == format.channels * (bits / 8);
}

}  // namespace

uint32_t CRWave::LengthMilliseconds() const {
    return HasData() ? uint32_t(BytesToMilliseconds(*format_, dataSize_)) : 0;
}

void CRWave::Clear() {
    format_.reset();
    data_.reset();
    dataSize_ = 0;
}

bool CRWave::LoadWaveFile(const std::string& path) {
    const std::string name = path.empty() ? fileName_ : path;
    CMappedFile file;
    if (name.empty() || !file.Open(name)) return Fail("Failed to open wave file !");
    const uint8_t* bytes = file.Data();
    const uint64_t fileSize = file.Size();

    if (fileSize < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        return Fail("Failed to descend \"WAVE\" chunk !");
    }
    // Writers that stream often leave the RIFF size too large; the file's end bounds it.
    const uint64_t riffEnd = std::min<uint64_t>(8 + uint64_t(Read32(bytes + 4)), fileSize);

    const auto fmt = FindChunk(bytes, 12, riffEnd, "fmt ");
    if (!fmt) return Fail("Failed to descend \"fmt \" chunk !");
    const uint32_t wanted = std::min(fmt->size, kPlainFormatSize);
    const uint32_t available = uint32_t(std::min<uint64_t>(fmt->size, riffEnd - fmt->payload));
    if (available < wanted) return Fail("Failed to read format chunk !");
    uint8_t record[kExtensibleFormatSize] = {};
    std::memcpy(record, bytes + fmt->payload, std::min(available, kExtensibleFormatSize));
    auto format = std::make_unique<WaveFormat>();
    if (const char* reason = ReadFormat(record, available, *format)) return Fail(reason);
    if (!IsPlayable(*format)) return Fail("Unsupported file format !");

    const auto data = FindChunk(bytes, fmt->next, riffEnd, "data");
    if (!data) return Fail("Failed to descend \"data\" chunk !");
    // A partial block at the end is not a sample of every channel; it is not played.
    const uint32_t size = data->size / format->blockAlign * format->blockAlign;
    if (size == 0) return Fail("No data avaliable in the reading file !");
    if (data->payload + data->size > riffEnd) return Fail("Failed in reading data !");
    std::unique_ptr<uint8_t[]> samples(new (std::nothrow) uint8_t[size]);
    if (!samples) return Fail("Failed to allocate wave data !");
    std::memcpy(samples.get(), bytes + data->payload, size);

    fileName_ = name;
    format_ = std::move(format);
    data_ = std::move(samples);
    dataSize_ = size;
    return true;
}

}  // namespace tavrel
