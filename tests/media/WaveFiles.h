#pragma once
// Builders of WAV files for the tests: chunks are assembled byte by byte, so a test can make
// every kind of broken file.
#include <cstdint>
#include <string>

namespace tavrel::testing {

inline std::string Le16(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
inline std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// A chunk: identifier, stated size (the payload's own unless given), payload, and the pad byte
// that follows an odd payload.
inline std::string Chunk(const std::string& id, const std::string& payload,
                         int64_t statedSize = -1) {
    const uint32_t size = statedSize < 0 ? uint32_t(payload.size()) : uint32_t(statedSize);
    std::string chunk = id + Le32(size) + payload;
    if (payload.size() % 2) chunk += '\0';
    return chunk;
}

struct FormatFields {
    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 48000;
    uint16_t bits = 16;
    int blockAlign = -1;  // -1: channels x bits / 8
};

inline std::string FormatPayload(const FormatFields& f) {
    const uint16_t block = f.blockAlign < 0 ? uint16_t(f.channels * f.bits / 8) : f.blockAlign;
    return Le16(f.tag) + Le16(f.channels) + Le32(f.rate) + Le32(f.rate * block) + Le16(block) +
           Le16(f.bits);
}

// The 40-byte record of an extensible file whose sub-format carries the given tag.
inline std::string ExtensiblePayload(FormatFields f, uint16_t subTag, bool standardGuid = true) {
    f.tag = 0xFFFE;
    std::string guidTail =
        standardGuid ? std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14)
                     : std::string(14, '\x55');
    return FormatPayload(f) + Le16(22) + Le16(f.bits) + Le32(3) + Le16(subTag) + guidTail;
}

// Sample bytes that differ from one byte to the next, so copies can be checked.
inline std::string Samples(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 256) & 0xFF);
    return bytes;
}

inline std::string Riff(const std::string& body, int64_t statedSize = -1) {
    const uint32_t size = statedSize < 0 ? uint32_t(4 + body.size()) : uint32_t(statedSize);
    return "RIFF" + Le32(size) + "WAVE" + body;
}

inline std::string Wav(const FormatFields& f, const std::string& samples) {
    return Riff(Chunk("fmt ", FormatPayload(f)) + Chunk("data", samples));
}

}  // namespace tavrel::testing
