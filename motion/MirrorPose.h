#pragma once
// Mirroring a figure: its left and right segments trade motions and every pose is reflected
// across the figure's own sagittal plane (the vertical plane of its facing at the first frame),
// so a right-handed wave becomes left-handed and a walk curving left curves right.
#include <string>
#include <vector>

#include "ZU2/rkMath.h"
#include "ZU2/rkNode.h"

namespace tavrel {

// Each segment's partner on the other side, by index in the tree's pre-order; a segment of the
// middle is its own partner.
struct MirrorPairs {
    std::vector<int> partner;
    std::string problem;  // why the figure cannot be mirrored; empty when it can
    bool Valid() const { return problem.empty(); }
};

// The name of the segment on the other side (LThigh and RThigh, LeftArm and RightArm, hand_l
// and hand_r); empty for a name that names no side.
std::string OtherSideName(const std::string& name);

// Pairs are found by name. A figure without any sided segment, a sided segment whose partner is
// missing, or partners hanging from segments that are not partners themselves cannot be
// mirrored.
MirrorPairs FindMirrorPairs(const rkNode* root);

// The vertical plane through the root along its facing: the root's side axis, kept level, is
// its normal.
struct MirrorPlane {
    rkVector point{0, 0, 0};
    rkVector normal{1, 0, 0};
};
MirrorPlane SagittalPlaneOf(const rkNode* root);

// Writes the mirror image of `pose` into `out`, a tree of the same shape. Each segment turns as
// its partner did, reflected; bone offsets stay each segment's own, so the figure keeps its
// proportions, and mirroring twice across one plane gives the pose back.
void MirrorPose(const rkNode* pose, const MirrorPairs& pairs, const MirrorPlane& plane,
                rkNode* out);

}  // namespace tavrel
