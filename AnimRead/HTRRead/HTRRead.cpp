#include "AnimRead/HTRRead/HTRRead.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "AnimRead/BlockReader.h"
#include "AnimRead/ChaText.h"
#include "AnimRead/TextLines.h"

namespace tavrel {

using namespace chatext;

namespace {

constexpr float kDegree = 0.017453292f;
// Fewest bytes of a hierarchy or base-position line, and of one frame line "0 0 0 0 0 0 0 0\n".
constexpr int64_t kMinSegmentBytes = 4;
constexpr int64_t kMinFrameLineBytes = 16;

std::string_view NextLine(BLOCKREADER& reader) {
    return textlines::NextLine(reader, textlines::Skip::kEmptyAndComments);
}

void ExpectTag(BLOCKREADER& reader, std::string_view tag) {
    textlines::ExpectTag(reader, tag, textlines::Skip::kEmptyAndComments);
}

using textlines::RaiseParsing;

// "key %s": the word after the key, which must start the line letter for letter.
std::string_view ReadKeyWord(BLOCKREADER& reader, std::string_view key) {
    std::string_view line = NextLine(reader);
    std::string_view rest = line, word;
    if (rest.substr(0, key.size()) != key) RaiseParsing(line);
    rest.remove_prefix(key.size());
    if (!ScanWord(rest, &word)) RaiseParsing(line);
    return word;
}

void RequireWord(BLOCKREADER& reader, std::string_view key, std::string_view expected,
                 const char* detail) {
    if (ReadKeyWord(reader, key) != expected) THROW_ERROBJ(ERR_NOT_SUPPORTED, "%s", detail);
}

// Name, then seven numbers: "%s %f %f %f %f %f %f %f".
bool ScanBaseLine(std::string_view text, std::string_view* name, float (&values)[7]) {
    if (!ScanWord(text, name)) return false;
    for (float& v : values) {
        if (!ScanFloat(text, &v)) return false;
    }
    return true;
}

// Frame number, then seven numbers: "%d %f %f %f %f %f %f %f".
bool ScanFrameLine(std::string_view text, float (&values)[7]) {
    int32_t number = 0;
    if (!ScanInt(text, &number)) return false;
    for (float& v : values) {
        if (!ScanFloat(text, &v)) return false;
    }
    return true;
}

// Rx x Ry x Rz with translation t, optionally on top of a base matrix.
rkMatrix EulerMatrix(rkVector t, float rx, float ry, float rz, const rkMatrix* base) {
    rkNode node{};
    rkIdentity(&node.local);
    rkRotateNode(&node, 0, rx * kDegree);
    rkRotateNode(&node, 1, ry * kDegree);
    rkRotateNode(&node, 2, rz * kDegree);
    if (base) {
        t = {t.x + base->m[12], t.y + base->m[13], t.z + base->m[14]};
        rkMatrix turn = *base;
        turn.m[12] = turn.m[13] = turn.m[14] = 0.0f;
        rkMultiply(&node.local, node.local, turn);
    }
    rkTranslateNode(&node, t.x, t.y, t.z);
    return node.local;
}

}  // namespace

HTRREAD::HTRREAD() { BuildDefaultMotion(); }

HTRREAD::HTRREAD(const char* path, int preload) {
    if (!path || std::strlen(path) < 3 || std::strlen(path) >= sizeof sourcePath_) {
        THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    }
    std::strcpy(sourcePath_, path);
    std::string own(path);
    own.replace(own.size() - 3, 3, "CHA");
    SetPath(own.c_str());
    Load(preload);
}

void HTRREAD::ReadHead(BLOCKREADER& reader) {
    ReadHeader(reader);
    ReadHierarchy(reader);
    ReadBasePosition(reader);
}

int32_t HTRREAD::GetSegmentLengths(std::unique_ptr<ANIMSEGLENGTH[]>& table) {
    const int32_t count = ANIMFILE::GetSegmentLengths(table);
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(boneLength_.size()); ++i) {
        table[i].length = boneLength_[i];
    }
    return count;
}

void HTRREAD::ReadHeader(BLOCKREADER& reader) {
    ExpectTag(reader, "[Header]");
    for (int ignored = 0; ignored < 3; ++ignored) NextLine(reader);
    std::string_view line = NextLine(reader);
    int32_t count = 0;
    if (!ScanKeyInt(line, "NumSegments", &count)) RaiseParsing(line);
    if (count <= 0 || count > reader.Remaining() / kMinSegmentBytes) RaiseParsing(line);
    CreateSegments(count);
    base_.assign(count, rkMatrix{});
    boneLength_.assign(count, 0.0f);
    line = NextLine(reader);
    int32_t frames = 0;
    if (!ScanKeyInt(line, "NumFrames", &frames)) RaiseParsing(line);
    beginFrame_ = 1;
    endFrame_ = frames;
    line = NextLine(reader);
    if (!ScanKeyInt(line, "DataFrameRate", &frameRate_)) RaiseParsing(line);
    RequireWord(reader, "EulerRotationOrder", "ZYX", "EulerRotationOrder should be ZYX");
    NextLine(reader);
    RequireWord(reader, "RotationUnits", "Degrees", "RotationUnits should be Degree");
    RequireWord(reader, "GlobalAxisofGravity", "Y", "GlobalAxisofGravity should be Y");
    RequireWord(reader, "BoneLengthAxis", "Y", "BoneLengthAxis should be Y");
    line = NextLine(reader);
    std::string_view rest = line;
    if (rest.substr(0, 11) != "ScaleFactor") RaiseParsing(line);
    rest.remove_prefix(11);
    if (!ScanFloat(rest, &scale_)) RaiseParsing(line);
    if (endFrame_ < beginFrame_) THROW_ERROBJ(ERR_CORRUPTED, "end frame < begin frame");
}

int32_t HTRREAD::NameSegment(std::string_view name, int32_t* named) {
    for (int32_t i = 0; i < *named; ++i) {
        if (segments_[i]->name == name) return i;
    }
    if (*named == GetSegmentCount()) return -1;  // more names than segments
    segments_[*named]->SetName(name.data(), name.size());
    return (*named)++;
}

void HTRREAD::ReadHierarchy(BLOCKREADER& reader) {
    ExpectTag(reader, "[SegmentNames&Hierarchy]");
    int32_t named = 0;
    for (int32_t i = 0; i < GetSegmentCount(); ++i) {
        std::string_view line = NextLine(reader);
        std::string_view rest = line, childName, parentName;
        if (!ScanWord(rest, &childName) || !ScanWord(rest, &parentName) ||
            childName.size() >= kRkNameSize || parentName.size() >= kRkNameSize) {
            RaiseParsing(line);
        }
        const int32_t child = NameSegment(childName, &named);
        if (child < 0) RaiseParsing(line);
        ANIMSEG& segment = *segments_[child];
        // A segment placed twice would sit in two sibling lists.
        if (segment.parent >= 0 || child == rootIndex_) RaiseParsing(line);
        if (parentName == "GLOBAL") {
            if (rootIndex_ >= 0) THROW_ERROBJ(ERR_NOT_SUPPORTED, "More than 1 tree in the file!");
            rootIndex_ = child;
            root_ = segment.node;
            continue;
        }
        const int32_t parent = NameSegment(parentName, &named);
        if (parent < 0 || parent == child) RaiseParsing(line);
        for (int32_t up = segments_[parent]->parent; up >= 0; up = segments_[up]->parent) {
            if (up == child) RaiseParsing(line);  // the link would close a loop
        }
        segment.parent = parent;
        segments_[parent]->children.push_back(child);
        rkLinkNode(segments_[parent]->node, segment.node);
    }
    RequireRoot("GLOBAL");
    if (named != GetSegmentCount()) THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", reader.LineCount());
}

void HTRREAD::ReadBasePosition(BLOCKREADER& reader) {
    ExpectTag(reader, "[BasePosition]");
    std::vector<bool> placed(segments_.size(), false);
    for (int32_t k = 0; k < GetSegmentCount(); ++k) {
        std::string_view line = NextLine(reader);
        std::string_view name;
        float v[7];
        if (!ScanBaseLine(line, &name, v)) RaiseParsing(line);
        const int32_t i = FindSegmentFrom(k, name.data(), name.size());
        if (i < 0) {
            THROW_ERROBJ(ERR_CORRUPTED, "Bad bone name, %.*s, at [BasePosition]",
                         static_cast<int>(name.size()), name.data());
        }
        // A second line for one segment would leave another without its base position.
        if (placed[i]) {
            THROW_ERROBJ(ERR_CORRUPTED, "Segment named twice, %.*s, at [BasePosition]",
                         static_cast<int>(name.size()), name.data());
        }
        placed[i] = true;
        // The file's gravity axis Y becomes the motion's up axis Z at the root.
        const rkVector t = (i == rootIndex_) ? rkVector{v[0], -v[2], v[1]}
                                             : rkVector{v[0] * scale_, v[1] * scale_, v[2] * scale_};
        base_[i] = EulerMatrix(t, v[3], v[4], v[5], nullptr);
        boneLength_[i] = v[6] * scale_;
        segments_[i]->length = boneLength_[i];  // so that a converted file keeps its bones
        rkSetNodeMatrix(segments_[i]->node, base_[i]);
    }
    rkMatrix& root = base_[rootIndex_];
    const float saved[3] = {root.m[12], root.m[13], root.m[14]};
    rkNode turn{};
    turn.local = root;
    rkRotateNode(&turn, 0, 90.0f * kDegree);
    root = turn.local;
    std::copy(saved, saved + 3, root.m + 12);
    rkSetNodeMatrix(root_, root);
}

void HTRREAD::ReadFrames(BLOCKREADER& reader, int32_t lastFrame) {
    const int64_t frames = FramesUpTo(lastFrame);
    const int64_t fit = reader.Remaining() / kMinFrameLineBytes + 1;
    try {
        for (auto& segment : segments_) {
            segment->frames.clear();
            segment->frames.reserve(std::min(frames, fit));
        }
        for (int32_t i = 0; i < GetSegmentCount(); ++i) ReadSection(reader, i, frames);
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
    // Two sections of one name would leave another segment without frames.
    if (!AllSegmentsHold(static_cast<size_t>(frames))) {
        THROW_ERROBJ(ERR_CORRUPTED, "Not all segments exist in frame %d", lastFrame);
    }
}

void HTRREAD::ReadSection(BLOCKREADER& reader, int32_t index, int64_t frames) {
    std::string_view line = NextLine(reader);
    std::string_view rest = line, word;
    const size_t open = rest.find('[');
    if (open == std::string_view::npos) THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", reader.LineCount());
    rest.remove_prefix(open + 1);
    if (!ScanWord(rest, &word) || word.size() < 2 || word.back() != ']') {
        THROW_ERROBJ(ERR_CORRUPTED, "Bad segment name: %.*s", static_cast<int>(word.size()),
                     word.data());
    }
    const std::string_view name = word.substr(0, word.size() - 1);
    const int32_t i = FindSegmentFrom(index, name.data(), name.size());
    if (i < 0) {
        THROW_ERROBJ(ERR_CORRUPTED, "Bad segment name: %.*s", static_cast<int>(word.size()),
                     word.data());
    }
    ANIMSEG& segment = *segments_[i];
    if (!segment.frames.empty()) RaiseParsing(line);  // its section came before
    // All frames of a section are read, even in stream mode, so the next tag is in place.
    const int64_t total = static_cast<int64_t>(endFrame_) - beginFrame_ + 1;
    for (int64_t k = 0; k < total; ++k) {
        line = NextLine(reader);
        float v[7];
        if (!ScanFrameLine(line, v)) RaiseParsing(line);
        if (k >= frames) continue;
        const rkVector t = (i == rootIndex_)
                               ? rkVector{v[0] * scale_, -v[2] * scale_, v[1] * scale_}
                               : rkVector{v[0], v[1], v[2]};
        segment.frames.push_back(EulerMatrix(t, v[3], v[4], v[5], &base_[i]));
    }
}

}  // namespace tavrel
