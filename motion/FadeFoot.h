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

// One foot at one frame of a blend, or of B alone after it (A's foot unplanted there, B's share
// 1): both clips' feet, B's share, and the foot as the mix poses it with the frame's own lock
// (LocksOfBlend's).
struct MixedFoot {
    BlendFoot a, b;
    float shareOfB = 0.0f;
    FadeFoot held;
};

// Keeps the foot where it came down for as long as it stays planted in the mix: while the clip
// that leads (A below half of B's share, then B) plants it fully, or plants it at all while the
// other clip plants it fully. A foot planted in both stays where it came down on the floor when
// the lead changes hands, moving only as the clip that holds it moves its own planted ankle, and
// settles to the height that clip has it at. Once the foot lifts, the way it was held off its
// frames' own locks fades out until it comes down again, so that the swing carries it to where
// the leader plants it next. A foot held further than `reach` from where its frame's own lock
// puts it steps across to where the leading clip has it, through the air and at most about
// `step` a frame (the clips' largest ankle step); where the clips step too slowly for that, it
// goes where its frame's lock puts it. Returns one past the last frame whose lock changed (0
// when none did).
size_t HoldPlants(std::span<MixedFoot> frames, float reach, float step);

}  // namespace tavrel
