#pragma once
// How faithfully a motion mapped onto the standard skeleton keeps its source's limb directions.
// For every bone both skeletons have (a matched joint to the matched joint next along the limb)
// and every frame, the angle between the source's bone, evaluated from the source's own frames
// and turned into our world, and the mapped motion's bone. Any reader's motion can be measured.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "AnimRead/AnimFile.h"
#include "AnimRead/StandardSkeleton.h"
#include "motion/SkeletonMapper.h"

namespace tavrel::testing {

struct LimbAngles {
    std::vector<float> degrees;  // one per bone and frame
    float median = 0, p95 = 0, worst = 0;
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

// Source and mapped motion must have the same frames (mapped at the source's own rate).
inline LimbAngles MeasureLimbAngles(const ANIMFILE& source, const CSkeletonMapper::Result& mapped) {
    LimbAngles out;
    const ANIMFILE& ours = *mapped.motion;
    const int64_t frames = int64_t{source.GetEndFrame()} - source.GetBeginFrame() + 1;
    auto direction = [](rkVector from, rkVector to) {
        const rkVector d{to.x - from.x, to.y - from.y, to.z - from.z};
        const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        return length > 0 ? rkVector{d.x / length, d.y / length, d.z / length} : rkVector{};
    };
    const rkMatrix& a = mapped.align;
    for (int64_t f = 0; f < frames; ++f) {
        const std::vector<rkVector> theirs = JointPositions(source, f);
        const std::vector<rkVector> mine = JointPositions(ours, f);
        for (const auto& [from, to] : kMeasuredBones) {
            if (mapped.joints[from] < 0 || mapped.joints[to] < 0) continue;
            const rkVector s = direction(theirs[mapped.joints[from]], theirs[mapped.joints[to]]);
            const rkVector t{s.x * a.m[0] + s.y * a.m[4] + s.z * a.m[8],
                             s.x * a.m[1] + s.y * a.m[5] + s.z * a.m[9],
                             s.x * a.m[2] + s.y * a.m[6] + s.z * a.m[10]};
            const rkVector o = direction(mine[from], mine[to]);
            const float cosine = std::clamp(t.x * o.x + t.y * o.y + t.z * o.z, -1.0f, 1.0f);
            out.degrees.push_back(std::acos(cosine) * 57.29578f);
        }
    }
    if (out.degrees.empty()) return out;
    std::vector<float> sorted = out.degrees;
    std::sort(sorted.begin(), sorted.end());
    auto at = [&](double q) { return sorted[static_cast<size_t>(q * (sorted.size() - 1) + 0.5)]; };
    out.median = at(0.5), out.p95 = at(0.95), out.worst = sorted.back();
    return out;
}

}  // namespace tavrel::testing
