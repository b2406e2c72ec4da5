#pragma once
// How faithfully a motion mapped onto the standard skeleton keeps its source's limb directions.
// For every bone both skeletons have (a matched joint to the matched joint next along the limb)
// and every frame, the angle between the source's bone, evaluated from the source's own frames
// and turned into our world, and the mapped motion's bone. Any reader's motion can be measured.
// A segment of ours without a joint of its own still has its bone in the source when the source
// goes straight from our parent's joint to the next joint: most rigs hang the thighs from the
// hips joint (our pelvis bones) and some the head from the chest (our neck).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "AnimRead/AnimFile.h"
#include "AnimRead/StandardSkeleton.h"
#include "motion/SkeletonMapper.h"

namespace tavrel::testing {

struct LimbAngles {
    std::vector<float> degrees;  // one per bone and frame
    float median = 0, p95 = 0, worst = 0;
    // Per measured bone (kMeasuredBones order), its own 95th percentile and worst; -1 when the
    // bone was not measured.
    std::vector<float> boneP95, boneWorst;
    // The measured bone with the largest 95th percentile, as "LPelvis-LThigh".
    std::string worstBone;
};

// World joint positions of every segment at a frame index (0 is the begin frame).
inline std::vector<rkVector> JointPositions(const ANIMFILE& motion, int64_t frame) {
    const int32_t n = motion.GetSegmentCount();
    std::vector<rkMatrix> world(static_cast<size_t>(n));
    std::vector<char> done(static_cast<size_t>(n), 0);
    auto place = [&](auto&& self, int32_t i) -> void {
        if (done[i]) return;
        const int32_t parent = motion.GetSegment(i)->parent;
        world[i] = motion.GetSegment(i)->FrameAt(frame);
        if (parent >= 0) {
            self(self, parent);
            rkMultiply(&world[i], world[i], world[parent]);
        }
        done[i] = 1;
    };
    std::vector<rkVector> at(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        place(place, i);
        at[i] = {world[i].m[12], world[i].m[13], world[i].m[14]};
    }
    return at;
}

// The bones measured: each segment and the one next along its limb.
inline constexpr std::pair<int, int> kMeasuredBones[] = {
    {kLowerTorso, kUpperTorso}, {kUpperTorso, kNeck}, {kNeck, kHead},      {kLPelvis, kLThigh},
    {kRPelvis, kRThigh},        {kLThigh, kLLowLeg},  {kRThigh, kRLowLeg}, {kLLowLeg, kLFoot},
    {kRLowLeg, kRFoot},         {kLCollar, kLUpArm},  {kRCollar, kRUpArm}, {kLUpArm, kLLowArm},
    {kRUpArm, kRLowArm},        {kLLowArm, kLHand},   {kRLowArm, kRHand}};

// The source joint a measured bone starts from: the segment's own, else its parent's when the
// source's bone into `to` starts there; -1 when the source has no such bone.
inline int32_t BoneStart(const ANIMFILE& source, const CSkeletonMapper::Result& mapped, int from,
                         int to) {
    if (mapped.joints[from] >= 0 || mapped.joints[to] < 0) return mapped.joints[from];
    const int parent = kStandardSkeleton[from].parent;
    if (parent < 0 || mapped.joints[parent] < 0) return -1;
    for (int32_t at = source.GetSegment(mapped.joints[to])->parent; at >= 0;
         at = source.GetSegment(at)->parent) {
        const bool matched =
            std::find(mapped.joints.begin(), mapped.joints.end(), at) != mapped.joints.end();
        if (matched) return at == mapped.joints[parent] ? at : -1;
    }
    return -1;
}

// The q-th quantile of values (sorted here).
inline float Quantile(std::vector<float> values, double q) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(q * (values.size() - 1) + 0.5)];
}

// Source and mapped motion must have the same frames (mapped at the source's own rate).
inline LimbAngles MeasureLimbAngles(const ANIMFILE& source, const CSkeletonMapper::Result& mapped) {
    LimbAngles out;
    const ANIMFILE& ours = *mapped.motion;
    const int64_t frames = int64_t{source.GetEndFrame()} - source.GetBeginFrame() + 1;
    auto direction = [](rkVector from, rkVector to) { return rkNormalize(to - from); };
    constexpr size_t kBones = std::size(kMeasuredBones);
    int32_t starts[kBones];
    for (size_t b = 0; b < kBones; ++b)
        starts[b] = BoneStart(source, mapped, kMeasuredBones[b].first, kMeasuredBones[b].second);
    std::vector<std::vector<float>> byBone(kBones);
    const rkMatrix& a = mapped.align;
    for (int64_t f = 0; f < frames; ++f) {
        const std::vector<rkVector> theirs = JointPositions(source, f);
        const std::vector<rkVector> mine = JointPositions(ours, f);
        for (size_t b = 0; b < kBones; ++b) {
            const auto& [from, to] = kMeasuredBones[b];
            if (starts[b] < 0 || mapped.joints[to] < 0) continue;
            const rkVector s = direction(theirs[starts[b]], theirs[mapped.joints[to]]);
            const rkVector t = rkTurned(s, a);
            const rkVector o = direction(mine[from], mine[to]);
            const float cosine = std::clamp(rkDot(t, o), -1.0f, 1.0f);
            byBone[b].push_back(std::acos(cosine) * 57.29578f);
            out.degrees.push_back(byBone[b].back());
        }
    }
    float worstP95 = -1;
    for (size_t b = 0; b < kBones; ++b) {
        out.boneP95.push_back(Quantile(byBone[b], 0.95));
        out.boneWorst.push_back(Quantile(byBone[b], 1.0));
        if (out.boneP95.back() > worstP95) {
            worstP95 = out.boneP95.back();
            out.worstBone = std::string(kStandardSkeleton[kMeasuredBones[b].first].name) + "-" +
                            kStandardSkeleton[kMeasuredBones[b].second].name;
        }
    }
    if (out.degrees.empty()) return out;
    out.median = Quantile(out.degrees, 0.5), out.p95 = Quantile(out.degrees, 0.95);
    out.worst = Quantile(out.degrees, 1.0);
    return out;
}

}  // namespace tavrel::testing
