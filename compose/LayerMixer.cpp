#include "compose/LayerMixer.h"

#include <array>

#include "motion/QuatSpline.h"

namespace tavrel {
namespace {

using SegmentNodes = std::array<rkNode*, kStandardSegmentCount>;

void CollectSegments(rkNode* node, SegmentNodes& nodes) {
    for (; node; node = node->next) {
        const int segment = SegmentIndexOf(node->name);
        if (segment >= 0 && !nodes[segment]) nodes[segment] = node;
        CollectSegments(node->child, nodes);
    }
}

SegmentNodes SegmentsOf(const CHTR& pose) {
    SegmentNodes nodes{};
    CollectSegments(pose.GetRoot(), nodes);
    return nodes;
}

// The rotation part of a local matrix (no translation) as a matrix of its own.
rkMatrix Rotation(const rkMatrix& m) {
    rkMatrix r = m;
    r.m[12] = r.m[13] = r.m[14] = 0.0f;
    return r;
}

// The node turned by q first (in its own frame), keeping its translation.
void Turn(rkNode* node, const Quat& q) {
    rkMatrix turn;
    QuatToMatrix(q, &turn);
    const rkMatrix& local = node->local;
    rkMatrix turned = turn * Rotation(local);
    for (int e : {12, 13, 14}) turned.m[e] = local.m[e];
    node->local = turned;
}

constexpr Quat kNoTurn{1, 0, 0, 0};

// The node `weight` of the way to `to`: its rotation along the arc, its translation in line.
void Toward(rkNode* node, const rkMatrix& to, float weight) {
    if (weight >= 1.0f) {
        node->local = to;
        return;
    }
    const rkMatrix& from = node->local;
    rkMatrix mixed;
    QuatToMatrix(Slerp(MatrixToQuat(from), MatrixToQuat(to), weight), &mixed);
    for (int e : {12, 13, 14}) mixed.m[e] = from.m[e] + (to.m[e] - from.m[e]) * weight;
    node->local = mixed;
}

}  // namespace

bool CLayerMixer::AddsToLegs(const FrameSample& sample) {
    if (!sample.layers) return false;
    static const SegmentMask legs = *ParseMask("lower");
    bool adds = false;
    for (const LayerTrack& track : sample.layers->tracks) {
        const LayerClip* clip = track.ClipAt(sample.frame);
        if (!clip || !(clip->mask & legs) || clip->WeightAt(sample.frame) <= 0.0f) continue;
        if (!clip->IsKeyClip() && clip->mode == LayerMode::kOverride) return false;
        adds = true;
    }
    return adds;
}

void CLayerMixer::Apply(CMotionManager& manager, const FrameSample& sample, CHTR& pose,
                        const WaitHook& wait) {
    if (!sample.layers || !pose.GetRoot()) return;
    const SegmentNodes nodes = SegmentsOf(pose);  // layers change matrices, never the tree
    for (const LayerTrack& track : sample.layers->tracks) {
        const LayerClip* clip = track.ClipAt(sample.frame);
        const float weight = clip ? clip->WeightAt(sample.frame) : 0.0f;
        if (weight <= 0.0f) continue;
        if (!clip->IsKeyClip()) {
            ApplyMotion(manager, *clip, sample.frame, weight, nodes, wait);
            continue;
        }
        const int local = sample.frame - clip->firstFrame;
        for (size_t k = 0; k < clip->keys.size(); ++k) {
            const int segment = clip->keys[k].segment;
            // Keys come by segment: the first key of each stands for its segment's curve.
            if (k > 0 && clip->keys[k - 1].segment == segment) continue;
            if (!nodes[segment] || !(clip->mask & SegmentBit(segment))) continue;
            const Quat turn = KeyTurnAt(*clip, segment, local);
            Turn(nodes[segment], weight >= 1.0f ? turn : Slerp(kNoTurn, turn, weight));
        }
    }
}

void CLayerMixer::ApplyMotion(CMotionManager& manager, const LayerClip& clip, int frame,
                              float weight, const SegmentNodes& out, const WaitHook& wait) {
    const bool additive = clip.mode == LayerMode::kAdditive;
    if (!CopyCachedPose(manager, clip.fileName, frame - clip.firstFrame, clip_, wait)) return;
    if (additive && !CopyCachedPose(manager, clip.fileName, 0, first_, wait)) return;
    const SegmentNodes at = SegmentsOf(clip_);
    const SegmentNodes from = additive ? SegmentsOf(first_) : SegmentNodes{};
    for (int s = 0; s < kStandardSegmentCount; ++s) {
        if (!(clip.mask & SegmentBit(s)) || !out[s] || !at[s]) continue;
        if (!additive) {
            Toward(out[s], at[s]->local, weight);
            continue;
        }
        if (!from[s]) continue;
        // The clip's turn from its first frame: at = turn * first.
        const Quat turn =
            QuatMultiply(MatrixToQuat(at[s]->local), QuatConjugate(MatrixToQuat(from[s]->local)));
        Turn(out[s], weight >= 1.0f ? turn : Slerp(kNoTurn, turn, weight));
    }
}

}  // namespace tavrel
