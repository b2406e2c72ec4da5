#include "AnimRead/CHARead/CHARead.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "AnimRead/BlockReader.h"
#include "AnimRead/ChaText.h"
#include "AnimRead/TextLines.h"

namespace tavrel {

using namespace chatext;
using namespace textlines;

namespace {

// Fewest bytes a segment takes in the length and hierarchy sections: "a 0\n" and "a b\n".
constexpr int64_t kMinSegmentBytes = 8;
// Fewest bytes of one segment line of a frame: "a 0,0,0,0,0,0,0,0,0,0,0,0\n".
constexpr int64_t kMinFrameLineBytes = 26;

int32_t ReadKeyValue(BLOCKREADER& reader, std::string_view key,
                     std::string_view* lineOut = nullptr) {
    std::string_view line = NextLine(reader);
    int32_t value = 0;
    if (!ScanKeyInt(line, key, &value)) RaiseParsing(line);
    if (lineOut) *lineOut = line;
    return value;
}

// "%s %f, %f, ... %f": the name and the twelve file elements of a local matrix.
bool ScanSegmentLine(std::string_view text, std::string_view* name, rkMatrix* matrix) {
    static constexpr int kElements[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    if (!ScanWord(text, name)) return false;
    for (int e = 0; e < 12; ++e) {
        if (!ScanFloat(text, &matrix->m[kElements[e]])) return false;
        if (e < 11) {
            if (text.empty() || text.front() != ',') return false;
            text.remove_prefix(1);
        }
    }
    return true;
}

}  // namespace

CHAREAD::CHAREAD() { BuildDefaultMotion(); }

CHAREAD::CHAREAD(const char* path, int preload) {
    SetPath(path);
    Load(preload);
}

void CHAREAD::ReadHead(BLOCKREADER& reader) {
    ReadHeader(reader);
    ReadLengths(reader);
    ReadHierarchy(reader);
}

void CHAREAD::ReadHeader(BLOCKREADER& reader) {
    ExpectTag(reader, "[HEADER]");
    const int32_t version = ReadKeyValue(reader, "VersionNumber");
    if (version > kVersion) THROW_ERROBJ(ERR_EXPIRED);
    if (version < kVersion) THROW_ERROBJ(ERR_READER_EXPIRED);
    frameRate_ = ReadKeyValue(reader, "DataFrameRate");
    beginFrame_ = ReadKeyValue(reader, "BeginFrame");
    endFrame_ = ReadKeyValue(reader, "EndFrame");
    std::string_view line;
    const int32_t count = ReadKeyValue(reader, "NumSegments", &line);
    // Every frame refers to segment 0, and a count the rest of the file cannot hold would only
    // allocate for nothing.
    if (count <= 0 || count > (reader.Remaining() + 1) / kMinSegmentBytes) RaiseParsing(line);
    CreateSegments(count);
    if (endFrame_ < beginFrame_) THROW_ERROBJ(ERR_CORRUPTED, "end frame < begin frame");
}

void CHAREAD::ReadLengths(BLOCKREADER& reader) {
    ExpectTag(reader, "[LENGTH]");
    for (auto& segment : segments_) {
        std::string_view line = NextLine(reader);
        std::string_view rest = line, name;
        if (!ScanWord(rest, &name) || name.size() >= ANIMSEG::kNameSize ||
            !ScanFloat(rest, &segment->length)) {
            RaiseParsing(line);
        }
        segment->SetName(name.data(), name.size());
    }
}

void CHAREAD::ReadHierarchy(BLOCKREADER& reader) {
    ExpectTag(reader, "[HIERARCHY]");
    for (int32_t i = 0; i < GetSegmentCount(); ++i) {
        std::string_view line = NextLine(reader);
        std::string_view rest = line, child, parent;
        if (!ScanWord(rest, &child) || !ScanWord(rest, &parent) ||
            child.size() >= ANIMSEG::kNameSize || parent.size() >= ANIMSEG::kNameSize) {
            RaiseParsing(line);
        }
        const std::string childName(child), parentName(parent);
        if (!ApplyHierarchyEntry(i, childName.c_str(), parentName.c_str())) RaiseParsing(line);
    }
    RequireRoot("Global");
}

void CHAREAD::ReadFrames(BLOCKREADER& reader, int32_t lastFrame) {
    StartFrames(reader);
    const int64_t frames = FramesUpTo(lastFrame);
    // Reserve no more than the rest of the file can hold, so a bogus EndFrame costs nothing.
    const int64_t fit =
        std::max<int64_t>(0, reader.Remaining()) / (kMinFrameLineBytes * GetSegmentCount()) + 1;
    try {
        for (auto& segment : segments_) {
            segment->frames.clear();
            segment->frames.reserve(std::min(frames, fit));
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

bool CHAREAD::StartFrames(BLOCKREADER& reader) {
    ExpectTag(reader, "[MOTION]");
    hits_.assign(segments_.size(), 0);
    return true;
}

void CHAREAD::ReadNextFrame(BLOCKREADER& reader, int32_t frame, rkMatrix* matrices) {
    std::string_view line = NextLine(reader);
    int32_t number = 0;
    if (!ScanKeyInt(line, "Frame", &number)) RaiseParsing(line);
    if (number != frame) THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", reader.LineCount());
    const int32_t count = GetSegmentCount();
    std::fill(hits_.begin(), hits_.end(), 0);
    for (int32_t position = 0; position < count; ++position) {
        line = NextLine(reader);
        std::string_view name;
        rkMatrix matrix;
        rkIdentity(&matrix);
        if (!ScanSegmentLine(line, &name, &matrix)) RaiseParsing(line);
        // Lines usually come in segment order, so the search starts at this line's position.
        // A line of an unknown name is dropped.
        const int32_t target = FindSegmentFrom(position, name.data(), name.size());
        if (target < 0) continue;
        matrices[target] = matrix;
        ++hits_[target];
    }
    // Exactly one matrix per segment and frame: a frame of unknown or repeated names must not
    // leave a segment without its pose.
    for (int32_t hits : hits_) {
        if (hits != 1) THROW_ERROBJ(ERR_CORRUPTED, "Not all segments exist in frame %d", frame);
    }
}

}  // namespace tavrel
