#pragma once
// The standard skeleton every motion made from nothing has: 20 segments with their parents,
// bone lengths and the rest pose, in millimetres, standing on the floor at height 0.

namespace tavrel {

constexpr int kStandardSegmentCount = 20;

// Segment indices in the standard skeleton's order.
enum StandardSegmentId : int {
    kLowerTorso,
    kUpperTorso,
    kLPelvis,
    kRPelvis,
    kLThigh,
    kRThigh,
    kLLowLeg,
    kRLowLeg,
    kLFoot,
    kRFoot,
    kNeck,
    kLCollar,
    kRCollar,
    kLUpArm,
    kRUpArm,
    kLLowArm,
    kRLowArm,
    kLHand,
    kRHand,
    kHead,
};

struct StandardSegment {
    const char* name;
    int parent;  // index into the table, -1 for the root
    float length;
    // Local rest matrix elements 0, 1, 2, 4, 5, 6, 8, 9, 10 (rotation rows), 12, 13, 14
    // (translation); elements 3, 7, 11 are 0 and 15 is 1.
    float pose[12];
};

extern const StandardSegment kStandardSkeleton[kStandardSegmentCount];

// Metres in one unit of the standard skeleton: its lengths are millimetres (the leg from hip to
// ankle 0.85 m, the soles on the floor at height 0); other skeletons are scaled onto ours by
// their legs.
float StandardMetresPerUnit();

// The first standard skeleton measured the same figure in units of about 3.1 mm, standing on a
// floor at height 580. Files written on it are still read: their lengths and translations are
// brought onto the standard skeleton by these numbers (ANIMFILE does so as it reads them).
struct FirstStandardSkeleton {
    static const float kLengths[kStandardSegmentCount];
    static constexpr float kFloor = 580.0f;
    // Standard lengths over first lengths: the one figure in both.
    static constexpr float kScale = 3.1150645f;
    // Whether lengths in standard order are those of the first standard skeleton.
    static bool Matches(const float* lengths, int count);
};

}  // namespace tavrel
