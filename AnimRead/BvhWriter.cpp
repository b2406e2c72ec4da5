#include "AnimRead/BvhWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AnimRead/AnimFile.h"
#include "AnimRead/AnimWriter.h"
#include "AnimRead/BVHRead/BVHRead.h"

namespace tavrel {

namespace {

constexpr float kDegree = 0.017453292f;
constexpr size_t kFlushSize = 1 << 20;
// Translations that stay this close to the offset in every frame need no position channels.
constexpr float kStillTranslation = 1e-3f;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// What the hierarchy says of one segment, in file coordinates.
struct JointOut {
    int32_t segment;
    int depth;
    rkVector offset;
    bool positions;
    bool hasEndSite;
    rkVector endSite;
};

rkMatrix FileMatrix(const ANIMFILE& motion, int32_t segment, int64_t frame) {
    rkMatrix m = motion.GetSegment(segment)->FrameAt(frame);
    if (motion.GetSegment(segment)->parent < 0) rkMultiply(&m, m, ANIMWRITER::ZUpToYUp());
    return m;
}

// Angles (degrees) a, b, c with R = Rz(a) Rx(b) Ry(c) for column vectors; m holds R transposed.
void ZxyAngles(const rkMatrix& m, float out[3]) {
    const float* e = m.m;
    const float sb = std::clamp(e[6], -1.0f, 1.0f);
    const float b = std::asin(sb);
    float a, c;
    if (std::fabs(sb) > 0.99999f) {  // gimbal lock: put the whole turn about z
        a = std::atan2(e[1], e[0]);
        c = 0.0f;
    } else {
        a = std::atan2(-e[4], e[5]);
        c = std::atan2(-e[2], e[10]);
    }
    out[0] = a / kDegree, out[1] = b / kDegree, out[2] = c / kDegree;
}

bool TranslationMoves(const ANIMFILE& motion, int32_t segment, rkVector offset) {
    const auto& frames = motion.GetSegment(segment)->frames;
    return std::any_of(frames.begin(), frames.end(), [&](const rkMatrix& m) {
        return std::fabs(m.m[12] - offset.x) > kStillTranslation ||
               std::fabs(m.m[13] - offset.y) > kStillTranslation ||
               std::fabs(m.m[14] - offset.z) > kStillTranslation;
    });
}

JointOut Describe(const ANIMFILE& motion, int32_t segment, int depth) {
    JointOut joint{segment, depth, {}, depth == 0, false, {}};
    const ANIMSEG& seg = *motion.GetSegment(segment);
    if (const auto* bvh = dynamic_cast<const BVHREAD*>(&motion)) {
        const BVHREAD::JOINT& source = bvh->GetJoint(segment);
        joint.offset = source.offset;
        joint.positions |= std::any_of(source.channels.begin(), source.channels.end(),
                                       [](BVHREAD::Channel c) { return c < BVHREAD::kXrot; });
        joint.hasEndSite = source.endSite.has_value();
        if (joint.hasEndSite) joint.endSite = *source.endSite;
        return joint;
    }
    joint.offset = rkOrigin(FileMatrix(motion, segment, 0));
    if (depth > 0) joint.positions = TranslationMoves(motion, segment, joint.offset);
    joint.hasEndSite = seg.children.empty();
    const float length = rkLength(joint.offset);
    if (joint.hasEndSite && length > 0.0f && seg.length > 0.0f) {
        // The bone goes on the way it came.
        const float k = seg.length / length;
        joint.endSite = {joint.offset.x * k, joint.offset.y * k, joint.offset.z * k};
    }
    return joint;
}

// The root's tree depth first, in the order BVH lists joints and their values.
std::vector<JointOut> JointsInFileOrder(const ANIMFILE& motion) {
    std::vector<JointOut> order;
    int32_t root = -1;
    for (int32_t i = 0; i < motion.GetSegmentCount(); ++i) {
        if (motion.GetSegment(i)->node == motion.GetRoot()) root = i;
    }
    if (root < 0) return order;
    std::vector<std::pair<int32_t, int>> stack{{root, 0}};
    while (!stack.empty()) {
        auto [segment, depth] = stack.back();
        stack.pop_back();
        order.push_back(Describe(motion, segment, depth));
        const auto& children = motion.GetSegment(segment)->children;
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back({*it, depth + 1});
    }
    return order;
}

class TextOut {
public:
    TextOut(std::FILE* file, const char* path) : file_(file), path_(path) {
        text_.reserve(kFlushSize + 4096);
    }

    void Put(std::string_view s) { text_.append(s); }
    void Indent(int depth) { text_.append(static_cast<size_t>(depth), '\t'); }
    void Number(float value) {
        char buffer[64];
        // Below a millionth is noise of the angle arithmetic; it also keeps out "-0".
        if (std::fabs(value) < 1e-6f) value = 0.0f;
        // The shortest text that reads back as the same float: 35.01, not 35.009998.
        auto result =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        text_.append(buffer, result.ptr);
    }
    void Vector(rkVector v) { Number(v.x), Put(" "), Number(v.y), Put(" "), Number(v.z); }
    void FlushIfFull() {
        if (text_.size() >= kFlushSize) Flush();
    }
    void Flush() {
        if (!text_.empty() && std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size())
            Fail();
        text_.clear();
    }
    [[noreturn]] void Fail() const { THROW_ERROBJ(ERR_WRITE, "%s", path_); }

private:
    std::FILE* file_;
    const char* path_;
    std::string text_;
};

void WriteHierarchy(TextOut& out, const ANIMFILE& motion, const std::vector<JointOut>& joints) {
    out.Put("HIERARCHY\n");
    for (size_t k = 0; k < joints.size(); ++k) {
        const JointOut& joint = joints[k];
        out.Indent(joint.depth);
        out.Put(joint.depth == 0 ? "ROOT " : "JOINT ");
        out.Put(motion.GetSegment(joint.segment)->name);
        out.Put("\n"), out.Indent(joint.depth), out.Put("{\n");
        out.Indent(joint.depth + 1), out.Put("OFFSET "), out.Vector(joint.offset), out.Put("\n");
        out.Indent(joint.depth + 1);
        out.Put(joint.positions
                    ? "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
                    : "CHANNELS 3 Zrotation Xrotation Yrotation\n");
        if (joint.hasEndSite) {
            out.Indent(joint.depth + 1), out.Put("End Site\n"), out.Indent(joint.depth + 1),
                out.Put("{\n");
            out.Indent(joint.depth + 2), out.Put("OFFSET "), out.Vector(joint.endSite),
                out.Put("\n");
            out.Indent(joint.depth + 1), out.Put("}\n");
        }
        // Close this joint and every ancestor the next joint does not sit in.
        const int next = k + 1 < joints.size() ? joints[k + 1].depth : 0;
        for (int d = joint.depth; d >= next; --d) out.Indent(d), out.Put("}\n");
    }
}

void WriteFrames(TextOut& out, const ANIMFILE& motion, const std::vector<JointOut>& joints) {
    const int64_t frames = static_cast<int64_t>(motion.GetEndFrame()) - motion.GetBeginFrame() + 1;
    const auto* bvh = dynamic_cast<const BVHREAD*>(&motion);
    const double frameTime = bvh ? bvh->GetFrameTime() : 1.0 / std::max(motion.GetFrameRate(), 1);
    char header[96];
    std::snprintf(header, sizeof header, "MOTION\nFrames: %lld\nFrame Time: %.7f\n",
                  static_cast<long long>(std::max<int64_t>(frames, 0)), frameTime);
    out.Put(header);
    for (int64_t f = 0; f < frames; ++f) {
        for (size_t k = 0; k < joints.size(); ++k) {
            const rkMatrix m = FileMatrix(motion, joints[k].segment, f);
            if (k > 0) out.Put(" ");
            if (joints[k].positions) out.Vector(rkOrigin(m)), out.Put(" ");
            float angles[3];
            ZxyAngles(m, angles);
            out.Number(angles[0]), out.Put(" "), out.Number(angles[1]), out.Put(" "),
                out.Number(angles[2]);
        }
        out.Put("\n");
        out.FlushIfFull();
    }
}

}  // namespace

bool BVHWRITER::Write(const ANIMFILE& motion, const char* path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file) return false;
    const std::vector<JointOut> joints = JointsInFileOrder(motion);
    if (joints.empty()) THROW_ERROBJ(ERR_WRITE, "%s: the motion has no root", path);
    TextOut out(file.get(), path);
    WriteHierarchy(out, motion, joints);
    WriteFrames(out, motion, joints);
    out.Flush();
    if (std::fclose(file.release()) != 0) out.Fail();
    return true;
}

}  // namespace tavrel
