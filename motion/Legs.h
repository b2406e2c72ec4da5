#pragma once
// The two legs of a standard-skeleton pose (thigh, shin, foot) and where a tree's joints are.
// Mapped figures carry the standard names, so one lookup serves every motion.
#include <array>
#include <vector>

#include "ZU2/rkMath.h"
#include "ZU2/rkNode.h"

namespace tavrel {

enum FootSide : int { kLeftFoot = 0, kRightFoot = 1 };

struct Leg {
    rkNode* thigh = nullptr;
    rkNode* shin = nullptr;
    rkNode* foot = nullptr;
    bool Valid() const { return thigh && shin && foot; }
};
using Legs = std::array<Leg, 2>;

// Both legs of the tree; a leg whose segments are missing or not chained stays invalid.
Legs FindLegs(rkNode* root);

// The node's world matrix from the local matrices up its parents (the stored world matrices
// may be stale).
rkMatrix WorldOf(const rkNode* node);
// Every joint of the tree under `root` (and the root) in the world, in the tree's order.
std::vector<rkVector> WorldJoints(const rkNode* root);
// The furthest any joint moves from one list of a tree's joints to another; 0 when they are not
// of one tree.
float LargestJointStep(const std::vector<rkVector>& a, const std::vector<rkVector>& b);

}  // namespace tavrel
