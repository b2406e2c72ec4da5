#include "AnimRead/SceneFileRead/SceneRecord.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_set>

namespace tavrel {

namespace {

constexpr char kMagic[4] = {'T', 'V', 'S', 'R'};
constexpr char kTakes = 'T', kMotion = 'M', kError = 'E';
constexpr uint32_t kMaxTakes = 4096;
constexpr uint32_t kMaxText = 1024;

class RECORDWRITER {
public:
    explicit RECORDWRITER(char kind) {
        bytes_.append(kMagic, sizeof kMagic);
        Put(uint32_t{SCENERECORD::kVersion});
        bytes_.push_back(kind);
    }
    template <class T>
    void Put(T value) {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void Put(std::string_view text) {
        Put(static_cast<uint32_t>(text.size()));
        bytes_.append(text);
    }
    void Put(const rkMatrix& m) { bytes_.append(reinterpret_cast<const char*>(m.m), sizeof m.m); }
    void PutTakes(const std::vector<SCENEFILEREAD::TAKE>& takes) {
        Put(static_cast<uint32_t>(takes.size()));
        for (const auto& take : takes) Put(std::string_view(take.name)), Put(take.seconds);
    }
    std::string Bytes() && { return std::move(bytes_); }

private:
    std::string bytes_;
};

[[noreturn]] void Damaged(const char* what) {
    THROW_ERROBJ(ERR_CORRUPTED, "the importer's answer is damaged: %s", what);
}

class RECORDREADER {
public:
    // Reads the head; a record of an error raises that error.
    RECORDREADER(std::string_view bytes, char kind) : bytes_(bytes) {
        if (bytes_.size() < sizeof kMagic || std::memcmp(bytes_.data(), kMagic, sizeof kMagic) != 0)
            Damaged("it is no record");
        at_ = sizeof kMagic;
        if (Get<uint32_t>() != SCENERECORD::kVersion) Damaged("another version");
        const char found = Get<char>();
        if (found == kError) {
            const auto code = Get<int32_t>();
            const std::string detail = Text();
            if (code < ERR_MEMORY || code > ERR_NOT_READY) Damaged("an unknown error");
            THROW_ERROBJ(code, "%s", detail.c_str());
        }
        if (found != kind) Damaged("another kind of answer");
    }
    template <class T>
    T Get() {
        T value;
        std::memcpy(&value, Take(sizeof value), sizeof value);
        return value;
    }
    float Number() {
        const float value = Get<float>();
        if (!std::isfinite(value)) Damaged("a number is not finite");
        return value;
    }
    std::string Text() {
        const auto size = Get<uint32_t>();
        if (size > kMaxText) Damaged("a name is too long");
        return std::string(Take(size), size);
    }
    rkMatrix Matrix() {
        rkMatrix m;
        for (float& e : m.m) e = Number();
        return m;
    }
    std::vector<SCENEFILEREAD::TAKE> Takes() {
        const auto count = Get<uint32_t>();
        if (count == 0 || count > kMaxTakes) Damaged("no takes, or too many");
        std::vector<SCENEFILEREAD::TAKE> takes(count);
        for (auto& take : takes) {
            take.name = Text();
            take.seconds = Get<double>();
            if (!std::isfinite(take.seconds) || take.seconds < 0) Damaged("a take's length");
        }
        return takes;
    }
    size_t Left() const { return bytes_.size() - at_; }
    void End() const {
        if (Left() != 0) Damaged("bytes after its end");
    }

private:
    const char* Take(size_t size) {
        if (size > Left()) Damaged("it is cut short");
        const char* at = bytes_.data() + at_;
        at_ += size;
        return at;
    }

    std::string_view bytes_;
    size_t at_ = 0;
};

}  // namespace

std::string SCENERECORD::OfTakes(const std::vector<SCENEFILEREAD::TAKE>& takes) {
    RECORDWRITER out(kTakes);
    out.PutTakes(takes);
    return std::move(out).Bytes();
}

std::string SCENERECORD::OfError(const ERROBJ& error) {
    RECORDWRITER out(kError);
    out.Put(error.code);
    out.Put(std::string_view(error.detail));
    return std::move(out).Bytes();
}

std::string SCENERECORD::OfMotion(const SCENEFILEREAD& motion) {
    RECORDWRITER out(kMotion);
    out.PutTakes(motion.takes_);
    out.Put(static_cast<uint32_t>(motion.take_));
    out.Put(motion.skeletonCount_);
    out.Put(std::string_view(motion.skeletonRoot_));
    const int32_t n = motion.GetSegmentCount();
    out.Put(motion.GetEndFrame() - motion.GetBeginFrame() + 1);
    out.Put(n);
    for (int32_t s = 0; s < n; ++s) {
        const ANIMSEG& segment = *motion.GetSegment(s);
        out.Put(std::string_view(segment.name));
        out.Put(segment.parent);
        out.Put(segment.length);
        out.Put(motion.rest_[s]);
    }
    for (int32_t s = 0; s < n; ++s) {
        for (const rkMatrix& m : motion.GetSegment(s)->frames) out.Put(m);
    }
    return std::move(out).Bytes();
}

std::vector<SCENEFILEREAD::TAKE> SCENERECORD::ReadTakes(std::string_view bytes) {
    RECORDREADER in(bytes, kTakes);
    auto takes = in.Takes();
    in.End();
    return takes;
}

std::unique_ptr<SCENEFILEREAD> SCENERECORD::ReadMotion(std::string_view bytes, const char* path) {
    RECORDREADER in(bytes, kMotion);
    std::unique_ptr<SCENEFILEREAD> motion(new SCENEFILEREAD());
    motion->SetPath(path);
    motion->takes_ = in.Takes();
    motion->take_ = in.Get<uint32_t>();
    motion->skeletonCount_ = in.Get<int32_t>();
    motion->skeletonRoot_ = in.Text();
    const auto frames = in.Get<int32_t>();
    const auto n = in.Get<int32_t>();
    if (motion->take_ >= motion->takes_.size()) Damaged("its take is not among its takes");
    if (motion->skeletonCount_ < 1 || motion->skeletonCount_ > SCENEFILEREAD::kMaxJoints)
        Damaged("its count of skeletons");
    if (n < 1 || n > SCENEFILEREAD::kMaxJoints) Damaged("its count of joints");
    if (frames < 1 || frames > SCENEFILEREAD::kMaxFrames ||
        int64_t{frames} * n > SCENEFILEREAD::kMaxMatrices)
        Damaged("its count of frames");
    // Every byte of the frames must be there before room is made for them.
    if (in.Left() < size_t(n) * (4 + 4 + 4 + 64) + size_t(frames) * size_t(n) * 64)
        Damaged("it is cut short");
    motion->CreateSegments(n);
    motion->rest_.resize(static_cast<size_t>(n));
    std::unordered_set<std::string> names;
    for (int32_t s = 0; s < n; ++s) {
        ANIMSEG& segment = *motion->segments_[s];
        const std::string name = in.Text();
        if (name.empty() || name.size() >= kRkNameSize || name.find('\0') != std::string::npos ||
            !names.insert(name).second)
            Damaged("a joint's name is empty, too long or twice");
        segment.SetName(name.data(), name.size());
        segment.parent = in.Get<int32_t>();
        segment.length = in.Number();
        motion->rest_[s] = in.Matrix();
        rkSetNodeMatrix(segment.node, motion->rest_[s]);
        // Parents come first and only the first joint is a root: the tree can hold no loop.
        if (s == 0 ? segment.parent != -1 : segment.parent < 0 || segment.parent >= s)
            Damaged("a joint's parent");
        if (s == 0) {
            motion->root_ = segment.node;
        } else {
            motion->segments_[segment.parent]->children.push_back(s);
            rkLinkNode(motion->segments_[segment.parent]->node, segment.node);
        }
    }
    for (int32_t s = 0; s < n; ++s) {
        auto& out = motion->segments_[s]->frames;
        out.reserve(static_cast<size_t>(frames));
        for (int32_t f = 0; f < frames; ++f) out.push_back(in.Matrix());
    }
    in.End();
    motion->frameRate_ = SCENEFILEREAD::kSampleRate;
    motion->beginFrame_ = 0;
    motion->endFrame_ = frames - 1;
    return motion;
}

}  // namespace tavrel
