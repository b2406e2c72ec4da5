#pragma once
// Where one motion should blend into another: the frame of A's tail at which an overlap with
// B should start, and the frame of B's head that should meet it there, so that the two motions
// are most alike through the overlap. Poses are compared as in motion graphs: every joint's
// position after each pose is stood on the same floor spot facing the same way (its root's place
// taken away), and the distance of an overlap the root mean square of the joints' distances over
// all its frames.
#include <limits>
#include <string>
#include <vector>

#include "motion/Motion.h"

namespace tavrel {

struct MatchLimits {
    int minOverlap = 4;     // the shortest overlap offered, in frames
    int maxOverlap = 2000;  // the longest: how far back into A's tail an overlap may start
    int head = 2000;        // B's first frames, in which the overlap must lie
};

struct TransitionPoint {
    int outgoing = -1;  // A's frame where the overlap starts (from 0); -1: none found
    int incoming = 0;   // B's frame that meets it there
    int overlap = 0;    // A's frames from there to its end
    float distance = std::numeric_limits<float>::infinity();  // in the motions' units
    bool Found() const { return outgoing >= 0; }
};

// The poses of a motion as the match compares them: for each of `count` frames from `first`,
// its joints' positions (x, y, z each) with the root's place taken away, padded with zeros to a
// multiple of 8 values a frame.
struct MatchPoses {
    int joints = 0;
    std::vector<float> values;  // frame after frame
    int Stride() const { return (joints * 3 + 7) / 8 * 8; }
};
MatchPoses PosesForMatch(CMotion& motion, int first, int count);

// The best point within the limits, or none (with the reason in `why`) when the motions have
// no poses, different skeletons, or are too short for the shortest overlap.
TransitionPoint BestTransition(CMotion& a, CMotion& b, const MatchLimits& limits,
                               std::string* why = nullptr);

// The distance of one overlap: A from frame `outgoing` to its end against B from `incoming`;
// infinity when B ends first or the motions cannot be compared.
float OverlapDistance(CMotion& a, CMotion& b, int outgoing, int incoming);

}  // namespace tavrel
