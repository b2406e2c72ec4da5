#pragma once
// A held foot through the frames of a blend, eased so that its ankle never steps further in a
// frame than the blended motions' own feet do (or than the mix moves it unheld). A lock that
// takes hold while the foot is far from its target would otherwise drag it there faster than
// a foot moves.
#include <span>

#include "motion/TwoBoneIK.h"

namespace tavrel {

// One foot at one frame of a blend: its ankle as the mix poses it, and its lock.
struct FadeFoot {
    rkVector posed{0.0f, 0.0f, 0.0f};
    FootLock lock;
};

// Where the lock puts the ankle: from the posed ankle toward the target by the lock's weight.
rkVector AnkleOf(const FadeFoot& foot);

// The lock weight nearest the foot's own that keeps its ankle within `step` of `from`; the
// weight that brings it nearest `from` when none does.
float WeightWithinStep(const FadeFoot& foot, const rkVector& from, float step);

// Lowers or raises the locks of one foot's frames so that its ankle steps at most `step` a
// frame (or as far as the mix without locks moves it there, where that is further), from
// `before` (the ankle the frame before the blend shows) to `after` (the frame after it). Each
// weight is the one nearest the wanted weight on a path that keeps every step in bounds, so
// that a hold which cannot be kept all through the blend gives way smoothly instead of
// jumping where the path from `before` and the path to `after` meet.
void LimitLockSteps(std::span<FadeFoot> frames, const rkVector& before, const rkVector& after,
                    float step);

}  // namespace tavrel
