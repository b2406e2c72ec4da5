#include "AnimRead/CHBRead/CHBRead.h"

#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "AnimRead/BlockReader.h"
#include "AnimRead/ChaText.h"

namespace tavrel {

namespace {

// Longest stretch in which a name must find its zero byte.
constexpr size_t kNameBlock = 256;
// Fewest bytes one segment takes outside the frames: an empty name (its zero byte) and the
// length, then empty child and parent names.
constexpr int64_t kMinSegmentBytes = 1 + 4 + 1 + 1;
constexpr int64_t kMatrixBytes = 12 * 4;
constexpr int64_t kFrameHeadBytes = 5 + 4;  // "Frame" and its number
constexpr int kFileElements[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};

uint32_t LoadLittle32(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    if constexpr (std::endian::native == std::endian::big) value = __builtin_bswap32(value);
    return value;
}

const uint8_t* TakeBytes(BLOCKREADER& reader, size_t n) {
    const uint8_t* bytes = reader.Take(n);
    if (!bytes) THROW_ERROBJ(ERR_CORRUPTED);  // the file ends early
    return bytes;
}

// Keys and tags carry no line numbers; the detail always says line 0.
void ExpectText(BLOCKREADER& reader, std::string_view text) {
    const uint8_t* bytes = TakeBytes(reader, text.size());
    std::string_view read(reinterpret_cast<const char*>(bytes), text.size());
    if (!chatext::StartsWithTag(read, text)) THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", 0);
}

int32_t ReadInt(BLOCKREADER& reader) {
    return static_cast<int32_t>(LoadLittle32(TakeBytes(reader, 4)));
}

float ReadFloat(BLOCKREADER& reader) { return std::bit_cast<float>(LoadLittle32(TakeBytes(reader, 4))); }

// A zero-terminated name that must end within kNameBlock bytes and fit a segment name.
std::string_view ReadName(BLOCKREADER& reader) {
    std::string_view block = reader.Peek(kNameBlock);
    const size_t zero = block.find('\0');
    if (zero == std::string_view::npos || zero >= ANIMSEG::kNameSize) THROW_ERROBJ(ERR_CORRUPTED);
    reader.Skip(zero + 1);
    return block.substr(0, zero);
}

}  // namespace

CHBREAD::CHBREAD() { BuildDefaultMotion(); }

CHBREAD::CHBREAD(const char* path, int preload) {
    SetPath(path);
    Load(preload);
}

void CHBREAD::ReadHead(BLOCKREADER& reader) {
    ReadHeader(reader);
    ReadLengths(reader);
    ReadHierarchy(reader);
}

void CHBREAD::ReadHeader(BLOCKREADER& reader) {
    ExpectText(reader, "[HEADER]");
    ExpectText(reader, "VersionNumber");
    const int32_t version = ReadInt(reader);
    if (version > kVersion) THROW_ERROBJ(ERR_EXPIRED);
    if (version < kVersion) THROW_ERROBJ(ERR_READER_EXPIRED);
    ExpectText(reader, "DataFrameRate");
    frameRate_ = ReadInt(reader);
    ExpectText(reader, "BeginFrame");
    beginFrame_ = ReadInt(reader);
    ExpectText(reader, "EndFrame");
    endFrame_ = ReadInt(reader);
    ExpectText(reader, "NumSegments");
    const int32_t count = ReadInt(reader);
    // Every frame refers to segment 0.
    if (count <= 0) THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", 0);
    // More segments than the rest of the file can describe: the file is cut short.
    if (count > reader.Remaining() / kMinSegmentBytes) THROW_ERROBJ(ERR_CORRUPTED);
    CreateSegments(count);
    if (endFrame_ < beginFrame_) THROW_ERROBJ(ERR_CORRUPTED, "end frame < begin frame");
}

void CHBREAD::ReadLengths(BLOCKREADER& reader) {
    ExpectText(reader, "[LENGTH]");
    for (auto& segment : segments_) {
        std::string_view name = ReadName(reader);
        segment->SetName(name.data(), name.size());
        segment->length = ReadFloat(reader);
    }
}

void CHBREAD::ReadHierarchy(BLOCKREADER& reader) {
    ExpectText(reader, "[HIERARCHY]");
    for (int32_t i = 0; i < GetSegmentCount(); ++i) {
        const std::string child(ReadName(reader));
        const std::string parent(ReadName(reader));
        if (!ApplyHierarchyEntry(i, child.c_str(), parent.c_str())) {
            THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", 0);
        }
    }
    RequireRoot("Global");
}

void CHBREAD::ReadFrames(BLOCKREADER& reader, int32_t lastFrame) {
    StartFrames(reader);
    const int64_t frames = FramesUpTo(lastFrame);
    const int64_t frameBytes = kFrameHeadBytes + kMatrixBytes * GetSegmentCount();
    // Frames the file cannot hold would be cut off anyway; refuse before allocating for them.
    if (frames > reader.Remaining() / frameBytes) THROW_ERROBJ(ERR_CORRUPTED);
    try {
        for (auto& segment : segments_) {
            segment->frames.clear();
            segment->frames.reserve(frames);
        }
        std::vector<rkMatrix> matrices(segments_.size());
        for (int64_t k = 0; k < frames; ++k) {
            ReadNextFrame(reader, static_cast<int32_t>(beginFrame_ + k), matrices.data());
            for (size_t i = 0; i < segments_.size(); ++i)
                segments_[i]->frames.push_back(matrices[i]);
        }
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
}

bool CHBREAD::StartFrames(BLOCKREADER& reader) {
    ExpectText(reader, "[MOTION]");
    return true;
}

void CHBREAD::ReadNextFrame(BLOCKREADER& reader, int32_t frame, rkMatrix* matrices) {
    TakeBytes(reader, 5);  // "Frame", not compared
    if (ReadInt(reader) != frame) THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", 0);
    for (size_t i = 0; i < segments_.size(); ++i) {
        const uint8_t* bytes = TakeBytes(reader, kMatrixBytes);
        rkMatrix& matrix = matrices[i];
        rkIdentity(&matrix);
        for (int e = 0; e < 12; ++e) {
            matrix.m[kFileElements[e]] = std::bit_cast<float>(LoadLittle32(bytes + 4 * e));
        }
    }
}

}  // namespace tavrel
