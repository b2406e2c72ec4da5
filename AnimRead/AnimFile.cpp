#include "AnimRead/AnimFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "AnimRead/AnimWriter.h"
#include "AnimRead/BlockReader.h"
#include "AnimRead/BvhWriter.h"
#include "AnimRead/StandardSkeleton.h"
#include "base/FileReplacer.h"

namespace tavrel {

namespace {

constexpr char kGlobal[] = "Global";

rkMatrix MatrixFromElements(const float (&e)[12]) {
    return rkMatrix{
        {e[0], e[1], e[2], 0, e[3], e[4], e[5], 0, e[6], e[7], e[8], 0, e[9], e[10], e[11], 1}};
}

}  // namespace

ANIMSEG::ANIMSEG() {
    node = rkCreateNode("");
    if (!node) THROW_ERROBJ(ERR_MEMORY);
}

ANIMSEG::~ANIMSEG() {
    rkFreeNode(node);
}

void ANIMSEG::SetName(const char* text, size_t size) {
    size = std::min(size, sizeof name - 1);
    std::memcpy(name, text, size);
    name[size] = '\0';
    rkSetNodeName(node, name);
}

const rkMatrix& ANIMSEG::FrameAt(int64_t index) const {
    if (frames.empty()) return node->local;
    if (index < 0) return frames.front();
    if (static_cast<uint64_t>(index) >= frames.size()) return frames.back();
    return frames[index];
}

ANIMFILE::~ANIMFILE() = default;  // segments free their nodes

int32_t ANIMFILE::GetBeginFrame() const {
    return beginFrame_;
}
int32_t ANIMFILE::GetEndFrame() const {
    return endFrame_;
}

int32_t ANIMFILE::SetBeginFrame(int32_t n) {
    return beginFrame_ = n;
}
int32_t ANIMFILE::SetEndFrame(int32_t n) {
    return endFrame_ = n;
}

rkNode* ANIMFILE::GetFrame(int32_t frame) {
    frame = std::min(frame, endFrame_);
    frame = std::max(frame, beginFrame_);
    if (motionOffset_ != 0) {
        ReadFramesFromFile(streamMode_ ? frame : endFrame_);
        if (!streamMode_) motionOffset_ = 0;
    }
    const int64_t index = static_cast<int64_t>(frame) - beginFrame_;
    for (auto& segment : segments_) {
        rkSetNodeMatrix(segment->node, segment->FrameAt(index));
        rkSetNodeName(segment->node, segment->name);
    }
    return root_;
}

int32_t ANIMFILE::GetSegmentLengths(std::unique_ptr<ANIMSEGLENGTH[]>& table) {
    const int32_t count = GetSegmentCount();
    table.reset(new (std::nothrow) ANIMSEGLENGTH[count]);
    if (!table) THROW_ERROBJ(ERR_MEMORY);
    for (int32_t i = 0; i < count; ++i) {
        std::memcpy(table[i].name, segments_[i]->name, sizeof table[i].name);
        table[i].length = segments_[i]->length;
    }
    return count;
}

void ANIMFILE::SetFrame(const rkNode* pose, int32_t frame) {
    LoadAllFrames();  // a stored pose must not be lost to a later re-read of the file
    WidenRange(frame);
    if (pose && root_) CopyPoseInto(pose, root_);
    const int64_t index = static_cast<int64_t>(frame) - beginFrame_;
    for (auto& segment : segments_) segment->frames[index] = segment->node->local;
}

bool ANIMFILE::Write(int format) {
    return WriteAs(path_, format);
}

bool ANIMFILE::WriteAs(const char* path, int format) {
    LoadAllFrames();
    // Written beside the target and renamed over it: a failed save never leaves half a motion.
    return FileReplacer::Replace(path, [&](const std::string& temporary) {
        const char* out = temporary.c_str();
        if (format == kFormatBvh) return BVHWRITER::Write(*this, out);
        return format == 0 ? ANIMWRITER::WriteCha(*this, out) : ANIMWRITER::WriteChb(*this, out);
    });
}

bool ANIMFILE::StreamAs(const char* path, int format) {
    // BVH is written from memory: its writer needs every frame to choose its channels.
    if (motionOffset_ == 0 || format == kFormatBvh) return WriteAs(path, format);
    BLOCKREADER reader;
    if (!reader.Open(ReadPath())) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    if (!reader.Seek(motionOffset_)) THROW_ERROBJ(ERR_CORRUPTED);
    if (!StartFrames(reader)) return WriteAs(path, format);
    const ANIMWRITER::FrameFeed feed = [&](int64_t index, rkMatrix* matrices) {
        ReadNextFrame(reader, static_cast<int32_t>(beginFrame_ + index), matrices);
        for (int32_t i = 0; firstStandard_ && i < GetSegmentCount(); ++i) {
            ConvertFirstStandardMatrix(i, &matrices[i]);
        }
    };
    // The frames may come from the very file being replaced: the reader keeps the old one open.
    return FileReplacer::Replace(path, [&](const std::string& temporary) {
        return format == 0 ? ANIMWRITER::WriteCha(*this, temporary.c_str(), feed)
                           : ANIMWRITER::WriteChb(*this, temporary.c_str(), feed);
    });
}

bool ANIMFILE::WritePosesAs(const char* path, int format, int32_t frames, const PoseFeed& next) {
    if (format == kFormatBvh || frames < 1 || !root_) return false;
    LoadAllFrames();
    const int32_t end = endFrame_;
    bool missing = false;
    const ANIMWRITER::FrameFeed feed = [&](int64_t, rkMatrix* matrices) {
        const rkNode* pose = missing ? nullptr : next();
        missing = !pose;
        if (pose) CopyPoseInto(pose, root_);
        for (size_t i = 0; i < segments_.size(); ++i) matrices[i] = segments_[i]->node->local;
    };
    // The header tells the frames written; the record's own range comes back afterwards.
    endFrame_ = beginFrame_ + frames - 1;
    bool written = false;
    try {
        written = FileReplacer::Replace(path, [&](const std::string& temporary) {
            const bool ok = format == 0 ? ANIMWRITER::WriteCha(*this, temporary.c_str(), feed)
                                        : ANIMWRITER::WriteChb(*this, temporary.c_str(), feed);
            return ok && !missing;
        });
    } catch (...) {
        endFrame_ = end;
        throw;
    }
    endFrame_ = end;
    return written;
}

bool ANIMFILE::StartFrames(BLOCKREADER&) {
    return false;
}

void ANIMFILE::ReadNextFrame(BLOCKREADER&, int32_t, rkMatrix*) {
    THROW_ERROBJ(ERR_NOT_READY);
}

void ANIMFILE::CreateSegments(int32_t n) {
    try {
        segments_.reserve(segments_.size() + std::max(n, 0));
        for (int32_t i = 0; i < n; ++i) segments_.push_back(std::make_unique<ANIMSEG>());
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
}

int32_t ANIMFILE::FindSegment(const char* name) const {
    return FindSegmentFrom(0, name, std::strlen(name));
}

const char* ANIMFILE::GetParentName(int32_t i) const {
    const int32_t parent = segments_[i]->parent;
    return parent >= 0 ? segments_[parent]->name : kGlobal;
}

void ANIMFILE::BuildDefaultMotion() {
    segments_.clear();
    root_ = nullptr;
    CreateSegments(kStandardSegmentCount);
    for (int32_t i = 0; i < kStandardSegmentCount; ++i) {
        const StandardSegment& entry = kStandardSkeleton[i];
        ANIMSEG& segment = *segments_[i];
        segment.SetName(entry.name, std::strlen(entry.name));
        segment.length = entry.length;
        segment.frames.assign(1, MatrixFromElements(entry.pose));
        rkSetNodeMatrix(segment.node, segment.frames[0]);
        ApplyHierarchyEntry(i, entry.name,
                            entry.parent < 0 ? kGlobal : kStandardSkeleton[entry.parent].name);
    }
    beginFrame_ = endFrame_ = 0;
    frameRate_ = 30;
    motionOffset_ = 0;
    path_[0] = '\0';
}

void ANIMFILE::Load(int preload) {
    BLOCKREADER reader;
    if (!reader.Open(ReadPath())) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    ReadHead(reader);
    firstStandard_ = OnFirstStandardSkeleton();
    if (firstStandard_) {
        for (int32_t i = 0; i < kStandardSegmentCount; ++i) {
            segments_[i]->length = kStandardSkeleton[i].length;
        }
    }
    if (preload) {
        ReadFrames(reader, endFrame_);
        ConvertFirstStandardFrames();
    } else {
        motionOffset_ = reader.Tell();
    }
}

void ANIMFILE::ReadFramesFromFile(int32_t lastFrame) {
    BLOCKREADER reader;
    if (!reader.Open(ReadPath())) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    if (!reader.Seek(motionOffset_)) THROW_ERROBJ(ERR_CORRUPTED);
    ReadFrames(reader, lastFrame);
    ConvertFirstStandardFrames();
}

bool ANIMFILE::OnFirstStandardSkeleton() const {
    if (GetSegmentCount() != kStandardSegmentCount) return false;
    float lengths[kStandardSegmentCount];
    for (int32_t i = 0; i < kStandardSegmentCount; ++i) {
        const StandardSegment& entry = kStandardSkeleton[i];
        if (std::strcmp(segments_[i]->name, entry.name) != 0) return false;
        if (segments_[i]->parent != entry.parent) return false;
        lengths[i] = segments_[i]->length;
    }
    return FirstStandardSkeleton::Matches(lengths, kStandardSegmentCount);
}

void ANIMFILE::ConvertFirstStandardMatrix(int32_t segment, rkMatrix* m) const {
    if (!firstStandard_) return;
    const float s = FirstStandardSkeleton::kScale;
    m->m[12] *= s;
    m->m[13] *= s;
    // The root stood on the first skeleton's floor; ours is at height 0.
    const bool root = segments_[segment]->parent < 0;
    m->m[14] = (m->m[14] - (root ? FirstStandardSkeleton::kFloor : 0.0f)) * s;
}

void ANIMFILE::ConvertFirstStandardFrames() {
    if (!firstStandard_) return;
    for (int32_t i = 0; i < GetSegmentCount(); ++i) {
        for (rkMatrix& m : segments_[i]->frames) ConvertFirstStandardMatrix(i, &m);
    }
}

void ANIMFILE::LoadAllFrames() {
    if (motionOffset_ == 0) return;
    ReadFramesFromFile(endFrame_);
    motionOffset_ = 0;
}

void ANIMFILE::SetPath(const char* path) {
    if (!path || std::strlen(path) >= sizeof path_) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    std::strcpy(path_, path);
}

void ANIMFILE::RequireRoot(const char* global) const {
    if (!root_) THROW_ERROBJ(ERR_CORRUPTED, "No root: no hierarchy line has the parent %s", global);
}

bool ANIMFILE::ApplyHierarchyEntry(int32_t i, const char* child, const char* parent) {
    const int32_t c = FindSegmentFrom(i, child, std::strlen(child));
    if (c < 0) return false;
    ANIMSEG& segment = *segments_[c];
    // A segment named by a second line would end up in two sibling lists.
    if (segment.parent >= 0 || segment.node == root_) return false;
    if (std::strcmp(parent, kGlobal) == 0) {
        root_ = segment.node;
        return true;
    }
    const int32_t p = FindSegment(parent);
    if (p < 0) return true;  // an unknown parent leaves the child unlinked
    if (WouldCloseLoop(c, p)) return false;
    segment.parent = p;
    segments_[p]->children.push_back(c);
    rkLinkNode(segments_[p]->node, segment.node);
    return true;
}

int32_t ANIMFILE::FindSegmentFrom(int32_t start, const char* name, size_t size) const {
    const int32_t count = GetSegmentCount();
    if (size >= ANIMSEG::kNameSize || count == 0) return -1;
    start = std::clamp(start, 0, count - 1);
    for (int32_t k = 0, i = start; k < count; ++k, i = (i + 1 == count) ? 0 : i + 1) {
        const char* candidate = segments_[i]->name;
        if (candidate[size] == '\0' && std::memcmp(candidate, name, size) == 0) return i;
    }
    return -1;
}

bool ANIMFILE::AllSegmentsHold(size_t count) const {
    for (const auto& segment : segments_) {
        if (segment->frames.size() != count) return false;
    }
    return true;
}

int64_t ANIMFILE::FramesUpTo(int32_t last) const {
    return std::max<int64_t>(0, static_cast<int64_t>(last) - beginFrame_ + 1);
}

void ANIMFILE::WidenRange(int32_t frame) {
    const int32_t newBegin = std::min(beginFrame_, frame);
    const int32_t newEnd = std::max(endFrame_, frame);
    const int64_t front = static_cast<int64_t>(beginFrame_) - newBegin;
    const int64_t total = static_cast<int64_t>(newEnd) - newBegin + 1;
    try {
        for (auto& segment : segments_) {
            std::vector<rkMatrix>& frames = segment->frames;
            if (front > 0) frames.insert(frames.begin(), front, segment->FrameAt(0));
            if (static_cast<int64_t>(frames.size()) < total) {
                const rkMatrix last = segment->FrameAt(static_cast<int64_t>(frames.size()) - 1);
                frames.resize(total, last);
            }
        }
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
    beginFrame_ = newBegin;
    endFrame_ = newEnd;
}

void ANIMFILE::CopyPoseInto(const rkNode* pose, rkNode* target) {
    rkSetNodeMatrix(target, pose->local);
    if (!pose->child || !target->child) return;
    CopyPoseInto(pose->child, target->child);
    // Trees of one shape meet sibling for sibling; a name elsewhere is looked for.
    rkNode* beside = target->child->next;
    for (const rkNode* sibling = pose->child->next; sibling; sibling = sibling->next) {
        const bool same = beside && std::strcmp(beside->name, sibling->name) == 0;
        if (rkNode* match = same ? beside : rkFindNode(target, sibling->name))
            CopyPoseInto(sibling, match);
        if (beside) beside = beside->next == beside ? nullptr : beside->next;
        if (sibling->next == sibling) break;  // a broken sibling list; never loop on it
    }
}

bool ANIMFILE::WouldCloseLoop(int32_t child, int32_t parent) const {
    for (int32_t at = parent, steps = 0; at >= 0 && steps <= GetSegmentCount(); ++steps) {
        if (at == child) return true;
        at = segments_[at]->parent;
    }
    return false;
}

}  // namespace tavrel
