#include "motion/TwoBoneIK.h"

#include <algorithm>
#include <cmath>

namespace tavrel {
namespace {

// w turned by the world rotation `turn`, its origin kept.
rkMatrix Turned(const rkMatrix& w, const rkMatrix& turn) {
    rkMatrix out;
    rkMultiply(&out, w, turn);
    for (int i = 12; i < 15; ++i) out.m[i] = w.m[i];
    return out;
}

// Stores a world matrix as the node's local one under the parent's world matrix; the local
// translation (the bone) is kept exactly, so that repeated solves never stretch a leg.
void SetWorld(rkNode* node, const rkMatrix& world, const rkMatrix& parentWorld) {
    rkMatrix local;
    rkMultiply(&local, world, rkAffineInverse(parentWorld));
    for (int i = 12; i < 15; ++i) local.m[i] = node->local.m[i];
    node->local = local;
    node->flags |= RK_NODE_CHANGED;
}

rkMatrix ParentWorld(const rkNode* node) {
    if (node->parent) return WorldOf(node->parent);
    rkMatrix identity;
    rkIdentity(&identity);
    return identity;
}

// How far the leg reaches before it eases toward full stretch: kSoftReach of it, or as far as
// the pose itself stretches it, so that a foot held where the pose has it stays there.
float SoftReach(float posed, float full) {
    return std::max(kSoftReach * full, std::isfinite(posed) ? std::min(posed, full) : 0.0f);
}

// The distance the leg is asked to span, eased toward full stretch beyond the soft reach so
// that a target moving out of reach slows the ankle instead of snapping the knee straight.
float SoftDistance(float d, float soft, float full) {
    if (d <= soft || !(full > soft)) return std::min(d, full);
    const float room = full - soft;
    return soft + room * (1.0f - std::exp(-(d - soft) / room));
}

// The direction, perpendicular to dir, in which the knee bends: toward the posed knee, but
// always to the side the knee's hinge bends it, and at least kLeastBend of the thigh that way
// (or as far as the target is from the posed ankle, so that a target on it leaves the knee as
// posed), so that a target passing the posed knee, or a posed leg nearly straight, never
// swings the knee over or sideways.
constexpr float kLeastBend = 0.15f;
rkVector BendDirection(rkVector dir, rkVector hipToKnee, const rkMatrix& shinWorld, float moved) {
    const rkVector hinge{shinWorld.m[0], shinWorld.m[1], shinWorld.m[2]};
    rkVector forward = rkCross(hinge, dir);
    const float f = rkLength(forward);
    rkVector q = rkReject(hipToKnee, dir);
    if (f > 1e-6f) {
        forward = forward * (1.0f / f);
        const float along = rkDot(q, forward);
        const float least = std::min(kLeastBend * rkLength(hipToKnee), moved);
        q = q + forward * (std::max(std::fabs(along), least) - along);
    }
    const float l = rkLength(q);
    return l > 1e-6f ? q * (1.0f / l) : rkVector{0.0f, 0.0f, 0.0f};
}

// Thigh plus shin as the world sees them (stored rotations are rounded, so not quite unit).
float Span(const Leg& leg) {
    const rkVector hip = rkOrigin(WorldOf(leg.thigh)), knee = rkOrigin(WorldOf(leg.shin));
    return rkLength(knee - hip) + rkLength(rkOrigin(WorldOf(leg.foot)) - knee);
}

bool Finite(rkVector v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

float SolveTwoBone(const Leg& leg, const rkVector& target) {
    if (!leg.Valid() || !Finite(target)) return 0.0f;
    const rkMatrix parent = ParentWorld(leg.thigh);
    rkMatrix thigh, shin, foot;
    rkMultiply(&thigh, leg.thigh->local, parent);
    rkMultiply(&shin, leg.shin->local, thigh);
    rkMultiply(&foot, leg.foot->local, shin);
    const rkMatrix posedFoot = foot;
    const rkVector hip = rkOrigin(thigh), knee = rkOrigin(shin), ankle = rkOrigin(foot);
    const float a = rkLength(knee - hip), b = rkLength(ankle - knee);
    const rkVector reach = target - hip;
    const float d = rkLength(reach);
    if (!(a > 1e-6f) || !(b > 1e-6f) || !(d > 1e-6f) || !Finite(hip))
        return rkLength(target - ankle);

    const rkVector dir = reach * (1.0f / d);
    const float soft = SoftReach(rkLength(ankle - hip), a + b);
    const float span = std::clamp(SoftDistance(d, soft, a + b), std::fabs(a - b) * 1.001f, a + b);
    const float cosHip = std::clamp((a * a + span * span - b * b) / (2.0f * a * span), -1.0f, 1.0f);
    const float sinHip = std::sqrt(1.0f - cosHip * cosHip);
    const rkVector bend = BendDirection(dir, knee - hip, shin, rkLength(target - ankle));
    const rkVector newKnee = hip + dir * (a * cosHip) + bend * (a * sinHip);
    const rkVector goal = hip + dir * span;

    const rkMatrix newThigh = Turned(thigh, rkArcRotation(knee - hip, newKnee - hip));
    SetWorld(leg.thigh, newThigh, parent);
    rkMultiply(&shin, leg.shin->local, newThigh);
    rkMultiply(&foot, leg.foot->local, shin);
    const rkVector placedKnee = rkOrigin(shin);
    const rkMatrix newShin =
        Turned(shin, rkArcRotation(rkOrigin(foot) - placedKnee, goal - placedKnee));
    SetWorld(leg.shin, newShin, newThigh);
    // The foot keeps the orientation the pose gave it in the world.
    rkMultiply(&foot, leg.foot->local, newShin);
    rkMatrix footWorld = posedFoot;
    for (int i = 12; i < 15; ++i) footWorld.m[i] = foot.m[i];
    SetWorld(leg.foot, footWorld, newShin);
    return rkLength(target - rkOrigin(foot));
}

float HipDrop(const Legs& legs, const FootLocks& locks) {
    float drop = 0.0f, longest = 0.0f;
    for (int side = 0; side < 2; ++side) {
        const Leg& leg = legs[side];
        if (!leg.Valid() || !(locks[side].weight > 0.0f)) continue;
        const rkMatrix thigh = WorldOf(leg.thigh);
        const float full = Span(leg);
        longest = std::max(longest, full);
        const rkMatrix posedFoot = WorldOf(leg.foot);
        const rkVector want = rkLerp(rkOrigin(posedFoot), locks[side].target,
                                     std::clamp(locks[side].weight, 0.0f, 1.0f));
        if (!Finite(want)) continue;
        // The hip lowered by s reaches `want` when (dz + s)^2 + h^2 <= r^2.
        const rkVector d = want - rkOrigin(thigh);
        const float r = SoftReach(rkLength(rkOrigin(posedFoot) - rkOrigin(thigh)), full);
        const float h2 = d.x * d.x + d.y * d.y;
        const float need = h2 < r * r ? -d.z - std::sqrt(r * r - h2) : -d.z;
        drop = std::max(drop, need);
    }
    return std::clamp(drop, 0.0f, kLongestHipDrop * longest);
}

void ApplyFootLocks(rkNode* root, const Legs& legs, const FootLocks& locks) {
    if (!root) return;
    std::array<rkVector, 2> goals{};
    for (int side = 0; side < 2; ++side) {
        if (!legs[side].Valid()) continue;
        const float w = std::clamp(locks[side].weight, 0.0f, 1.0f);
        goals[side] = rkLerp(rkOrigin(WorldOf(legs[side].foot)), locks[side].target, w);
    }
    const float drop = HipDrop(legs, locks);
    if (drop > 0.0f) {
        // The root hangs from nothing: its translation is in the world.
        root->local.m[14] -= drop;
        root->flags |= RK_NODE_CHANGED;
    }
    for (int side = 0; side < 2; ++side) {
        if (legs[side].Valid() && locks[side].weight > 0.0f && Finite(goals[side])) {
            SolveTwoBone(legs[side], goals[side]);
        }
    }
}

FootLocks LocksOfBlend(const std::array<BlendFoot, 2>& a, const std::array<BlendFoot, 2>& b,
                       float shareOfB) {
    const float c = std::isfinite(shareOfB) ? std::clamp(shareOfB, 0.0f, 1.0f) : 0.0f;
    const auto hold = [](float share) {
        const float t = std::clamp(share / kFullHoldShare, 0.0f, 1.0f);
        return t * t * (3.0f - 2.0f * t);
    };
    // B's say over where a foot planted in both goes: none while A leads, all once B does,
    // passed over a short stretch of the blend so that the foot never pops.
    const float lead =
        std::clamp((c - kLeadSwitchFrom) / (1.0f - 2.0f * kLeadSwitchFrom), 0.0f, 1.0f);
    const float leadOfB = lead * lead * (3.0f - 2.0f * lead);
    FootLocks locks;
    for (int side = 0; side < 2; ++side) {
        const float wa = std::clamp(a[side].planted, 0.0f, 1.0f) * hold(1.0f - c);
        const float wb = std::clamp(b[side].planted, 0.0f, 1.0f) * hold(c);
        if (!(wa + wb > 0.0f)) continue;
        // The leading clip's planted foot stays where that clip has it; the other clip pulls
        // the foot only as far as the leader leaves it unplanted.
        const float claimA = wa * (1.0f - wb * leadOfB);
        const float claimB = wb * (1.0f - wa * (1.0f - leadOfB));
        locks[side].target = rkLerp(a[side].ankle, b[side].ankle, claimB / (claimA + claimB));
        locks[side].weight = std::max(wa, wb);
    }
    return locks;
}

}  // namespace tavrel
