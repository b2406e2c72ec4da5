#pragma once
// A cycle played several times over, walking on: each repeat starts where the one before ended
// (its floor place and heading carried on, a planted foot kept where it stands), and where the
// cycle's two ends differ the difference is spread over a few frames on each side of the seam.
#include <functional>
#include <vector>

#include "motion/FootContacts.h"
#include "motion/GroundPlace.h"
#include "motion/Quaternion.h"

namespace tavrel {

struct RepeatLimits {
    static constexpr int kFewest = 2;
    static constexpr int kMost = 100;
    static constexpr float kSeamSeconds = 0.2f;  // blended on each side of a seam
};

// What joins one repeat to the next, found once from the cycle's ends.
struct CycleSeam {
    GroundPlace next;         // the place of a repeat on the one before it
    std::vector<Quat> turn;   // each node's jump at the seam, in pre-order (a left factor)
    rkVector shift{0, 0, 0};  // the root's jump, in the earlier repeat's frame
    int blendFrames = 1;
};

// The seam of a cycle of `count` frames (at least two) with its feet's plants.
CycleSeam FindCycleSeam(int count, const PoseAt& poseAt, const FootContacts& contacts,
                        int blendFrames);

// Receives frame `frame` (from 0) of the repeated motion.
using PoseSink = std::function<bool(int frame, const rkNode* pose)>;

// Writes the cycle `times` times over (kFewest to kMost) through `store`; false when refused
// (too few frames or repeats, a pose missing) or when `store` fails.
bool RepeatCycle(int count, const PoseAt& poseAt, const FootContacts& contacts, int times,
                 int blendFrames, const PoseSink& store);

}  // namespace tavrel
