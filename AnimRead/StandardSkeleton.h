#pragma once
// The standard skeleton every motion made from nothing has: 20 segments with their parents,
// bone lengths and the rest pose.

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

// Metres in one unit of the standard skeleton: a grown-up's leg from hip to ankle is about
// 0.85 m, which the standard leg measures in its own units (other skeletons are scaled onto ours
// by their legs the same way).
float StandardMetresPerUnit();
