#pragma once
// Places a foot on a target by turning the thigh and the shin, solved analytically: the knee
// stays in the plane the pose gives it (through hip, target and the pose's knee) and the foot
// keeps its orientation in the world. Allocates nothing.
#include <array>

#include "motion/Legs.h"

namespace tavrel {

// Where a foot (the ankle, the foot segment's origin) should be, and how firmly: 0 leaves the
// leg as posed, 1 puts the ankle on the target.
struct FootLock {
    rkVector target{0.0f, 0.0f, 0.0f};
    float weight = 0.0f;
};
using FootLocks = std::array<FootLock, 2>;

// A leg reaches this share of its full length (or as far as its pose stretches it), and
// approaches full stretch softly beyond it.
inline constexpr float kSoftReach = 0.97f;
// The hips lower at most this share of the longer leg to let the feet reach.
inline constexpr float kLongestHipDrop = 0.3f;

// Puts the leg's ankle on the target where it can; beyond kSoftReach the leg stretches toward
// it smoothly, never fully straight. Returns how far the ankle stays from the target.
float SolveTwoBone(const Leg& leg, const rkVector& target);

// How far the hips must lower so that each locked ankle lies within soft reach; at most
// kLongestHipDrop of a leg, 0 when every target is in reach.
float HipDrop(const Legs& legs, const FootLocks& locks);

// One foot in one of two blended clips: its ankle in the world and how firmly its clip has it
// planted (FootContacts::LockWeight; 0 when the clip's feet are free).
struct BlendFoot {
    rkVector ankle{0.0f, 0.0f, 0.0f};
    float planted = 0.0f;
};
// A clip holds its planted feet fully while its share of a blend is at least this; below it
// the hold eases out, so that a blend begins and ends on its clips' poses without a pop.
inline constexpr float kFullHoldShare = 0.5f;
// A foot planted in both clips passes from A's ankle to B's while B's share goes from this to
// one minus this: the lead changes hands there.
inline constexpr float kLeadSwitchFrom = 0.45f;

// The locks of a blend of A into B (shareOfB from 0 to 1): a foot planted in A holds A's
// ankle, one planted in B holds B's, each as firmly as its clip leads the blend; planted in
// both, the foot stays where the leading clip has it, passing from A's ankle to B's as the
// lead changes hands.
FootLocks LocksOfBlend(const std::array<BlendFoot, 2>& a, const std::array<BlendFoot, 2>& b,
                       float shareOfB);

// The locks applied to a pose: the root lowered by HipDrop, then each locked leg solved toward
// its target weighted against the posed ankle.
void ApplyFootLocks(rkNode* root, const Legs& legs, const FootLocks& locks);

}  // namespace tavrel
