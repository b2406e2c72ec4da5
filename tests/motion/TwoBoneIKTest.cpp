#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "motion/AnimFileFactory.h"
#include "motion/Chtr.h"
#include "motion/TwoBoneIK.h"

namespace tavrel {
namespace {

float LegLength(const Leg& leg) {
    const rkVector hip = rkOrigin(WorldOf(leg.thigh)), knee = rkOrigin(WorldOf(leg.shin));
    return rkLength(knee - hip) + rkLength(rkOrigin(WorldOf(leg.foot)) - knee);
}

rkVector Ankle(const Leg& leg) {
    return rkOrigin(WorldOf(leg.foot));
}

float RotationDifference(const rkMatrix& a, const rkMatrix& b) {
    float worst = 0.0f;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::fabs(a.m[r * 4 + c] - b.m[r * 4 + c]));
    }
    return worst;
}

// The standard pose with the legs and the root turned at random.
class RandomPose {
public:
    explicit RandomPose(unsigned seed) : random_(seed) {
        auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
        pose_ = std::make_unique<CHTR>(rkCloneNode(record->GetFrame(0)));
        legs_ = FindLegs(pose_->GetRoot());
        rkNode* root = pose_->GetRoot();
        rkRotateNode(root, 2, Angle(3.1f));
        rkTranslateNode(root, Uniform(-2000, 2000), Uniform(-2000, 2000), Uniform(-50, 50));
        for (const Leg& leg : legs_) {
            for (rkNode* n : {leg.thigh, leg.shin, leg.foot}) {
                for (int axis = 0; axis < 3; ++axis) rkRotateNode(n, axis, Angle(0.5f));
            }
        }
    }
    float Uniform(float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random_);
    }
    float Angle(float most) { return Uniform(-most, most); }
    rkVector Direction() {
        rkVector v{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 0.3f)};
        return rkLength(v) > 0.1f ? v * (1.0f / rkLength(v)) : rkVector{0, 0, -1};
    }
    const Legs& legs() const { return legs_; }
    rkNode* root() const { return pose_->GetRoot(); }

private:
    std::mt19937 random_;
    std::unique_ptr<CHTR> pose_;
    Legs legs_;
};

TEST(TwoBoneIK, ReachableTargetsAreReachedExactlyKeepingKneePlaneAndFoot) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        RandomPose p(seed);
        const Leg& leg = p.legs()[seed % 2];
        const Leg& other = p.legs()[1 - seed % 2];
        const rkVector hip = rkOrigin(WorldOf(leg.thigh));
        const rkVector knee = rkOrigin(WorldOf(leg.shin));
        const rkMatrix foot = WorldOf(leg.foot);
        const rkMatrix shinWorld = WorldOf(leg.shin);
        const rkMatrix otherFoot = WorldOf(other.foot);
        const float full = LegLength(leg);
        const rkVector target = hip + p.Direction() * (full * p.Uniform(0.3f, 0.95f));

        const float miss = SolveTwoBone(leg, target);
        ASSERT_LT(rkLength(Ankle(leg) - target), 1e-4f * full) << seed;
        EXPECT_LT(miss, 1e-4f * full);
        EXPECT_LT(rkLength(rkOrigin(WorldOf(leg.thigh)) - hip), 1e-3f) << "the hip stays";
        EXPECT_LT(RotationDifference(WorldOf(leg.foot), foot), 2e-4f) << seed;
        EXPECT_LT(RotationDifference(WorldOf(other.foot), otherFoot), 1e-6f) << "other leg";
        // The knee bends forward about its hinge: never over to the back of the leg, where a
        // target passing the posed knee would otherwise flip it. Where the posed knee is
        // clearly forward it stays in the plane through hip, target and the posed knee.
        const rkVector newKnee = rkOrigin(WorldOf(leg.shin));
        const rkVector axis = (target - hip) * (1.0f / rkLength(target - hip));
        const rkVector hinge{shinWorld.m[0], shinWorld.m[1], shinWorld.m[2]};
        rkVector forward = rkCross(hinge, axis);
        forward = forward * (1.0f / rkLength(forward));
        EXPECT_GE(rkDot(newKnee - hip, forward), -1e-3f * full) << seed;
        const rkVector posedSide = (knee - hip) - axis * rkDot(knee - hip, axis);
        if (rkDot(posedSide, forward) < 0.2f * rkLength(knee - hip)) continue;
        rkVector normal = rkCross(target - hip, knee - hip);
        normal = normal * (1.0f / rkLength(normal));
        EXPECT_LT(std::fabs(rkDot(newKnee - hip, normal)), 1e-3f * full) << seed;
    }
}

TEST(TwoBoneIK, TargetsLeavingReachAreFollowedSmoothlyWithoutNaN) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        RandomPose p(seed);
        const Leg& leg = p.legs()[0];
        const float full = LegLength(leg);
        const rkVector hip = rkOrigin(WorldOf(leg.thigh));
        const rkVector dir = p.Direction();
        rkVector previous{};
        const int steps = 400;
        for (int k = 0; k <= steps; ++k) {
            const float share = 0.8f + 1.2f * float(k) / steps;  // to 2x the leg's length
            SolveTwoBone(leg, hip + dir * (full * share));
            const rkVector ankle = Ankle(leg);
            ASSERT_TRUE(std::isfinite(ankle.x + ankle.y + ankle.z)) << seed;
            EXPECT_LE(rkLength(ankle - hip), full * 1.0001f) << "never beyond the leg";
            // The target moves 0.003 legs a step; the ankle may slow, but never jumps.
            if (k > 0) {
                EXPECT_LE(rkLength(ankle - previous), 0.0031f * full) << seed << " " << k;
            }
            previous = ankle;
        }
    }
    // Degenerate targets leave the leg alone.
    RandomPose p(7);
    const Leg& leg = p.legs()[1];
    const rkVector before = Ankle(leg);
    SolveTwoBone(leg, rkOrigin(WorldOf(leg.thigh)));
    SolveTwoBone(leg, {NAN, 0.0f, 0.0f});
    EXPECT_TRUE(std::isfinite(rkLength(Ankle(leg))));
    SolveTwoBone(Leg{}, before);
}

TEST(TwoBoneIK, LocksLowerTheHipsOnlyAsNeededAndThenReach) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        RandomPose p(seed);
        const Legs& legs = p.legs();
        const float full = std::max(LegLength(legs[0]), LegLength(legs[1]));
        const rkVector hip = rkOrigin(WorldOf(legs[0].thigh));
        // A target straight below the hip, lowered a little each step until out of any reach.
        float previousDrop = 0.0f;
        for (int k = 0; k <= 100; ++k) {
            const float depth = full * (0.8f + 0.6f * k / 100.0f);
            FootLocks locks;
            locks[kLeftFoot] = {hip - rkVector{0, 0, depth}, 1.0f};
            const float drop = HipDrop(legs, locks);
            EXPECT_GE(drop, 0.0f);
            EXPECT_LE(drop, kLongestHipDrop * full + 1e-3f);
            if (depth < kSoftReach * LegLength(legs[0]) - 1e-2f) {
                EXPECT_EQ(drop, 0.0f) << k;
            }
            EXPECT_LE(std::fabs(drop - previousDrop), 0.0061f * full) << "no pop, step " << k;
            previousDrop = drop;
        }
        // Then the lock itself: the ankle on the target, the hips lowered by the drop.
        const float z = rkOrigin(p.root()->local).z;
        FootLocks locks;
        locks[kLeftFoot] = {hip - rkVector{0, 0, full * 0.99f}, 1.0f};
        const float drop = HipDrop(legs, locks);
        ApplyFootLocks(p.root(), legs, locks);
        EXPECT_NEAR(rkOrigin(p.root()->local).z, z - drop, 1e-3f);
        if (drop < kLongestHipDrop * full - 1e-3f) {
            EXPECT_LT(rkLength(Ankle(legs[0]) - locks[kLeftFoot].target), 1e-3f * full) << seed;
        }
    }
}

TEST(TwoBoneIK, BlendLocksStartOnAEndOnBAndNeverJump) {
    // Each foot planted in A, in B, in both or in neither, at ankles a metre apart.
    const rkVector inA{0, 0, 0}, inB{1000, 0, 0};
    for (int planted = 0; planted < 4; ++planted) {
        const float pa = planted & 1 ? 1.0f : 0.0f, pb = planted & 2 ? 1.0f : 0.0f;
        const std::array<BlendFoot, 2> a{BlendFoot{inA, pa}, BlendFoot{inA, pa}};
        const std::array<BlendFoot, 2> b{BlendFoot{inB, pb}, BlendFoot{inB, pb}};
        rkVector previous{};
        for (int k = 0; k <= 100; ++k) {
            const float c = k / 100.0f;
            const FootLock lock = LocksOfBlend(a, b, c)[k % 2];
            // Where the lock puts the foot, given the mix would put it at the blend of both.
            const rkVector foot = rkLerp(rkLerp(inA, inB, c), lock.target, lock.weight);
            if (k == 0 || k == 100) {
                EXPECT_LT(rkLength(foot - (k ? inB : inA)), 1e-3f) << "the mix's own ends";
            } else {
                // Planted in both, the foot must pass from A's ankle to B's while the lead
                // changes hands: smoothly, but in that stretch of the blend only.
                const float switchSteps = 100.0f * (1.0f - 2.0f * kLeadSwitchFrom);
                const float most = pa * pb > 0.0f ? 1.5f * 1000.0f / switchSteps + 1.0f : 40.0f;
                EXPECT_LT(rkLength(foot - previous), most) << planted << " " << k;
            }
            // Planted in the clip that leads: held where that clip has it, whatever the other.
            if (pa > 0.0f && c <= (pb > 0.0f ? kLeadSwitchFrom : 0.5f)) {
                EXPECT_LT(rkLength(foot - inA), 1e-3f) << planted << " " << k;
            }
            if (pb > 0.0f && c >= (pa > 0.0f ? 1.0f - kLeadSwitchFrom : 0.5f)) {
                EXPECT_LT(rkLength(foot - inB), 1e-3f) << planted << " " << k;
            }
            previous = foot;
        }
    }
    const FootLocks none = LocksOfBlend({}, {}, NAN);
    EXPECT_EQ(none[0].weight + none[1].weight, 0.0f);
}

}  // namespace
}  // namespace tavrel
