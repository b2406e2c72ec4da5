#include "motion/Legs.h"

#include <algorithm>

namespace tavrel {
namespace {

constexpr const char* kLegNames[2][3] = {{"LThigh", "LLowLeg", "LFoot"},
                                         {"RThigh", "RLowLeg", "RFoot"}};

}  // namespace

Legs FindLegs(rkNode* root) {
    Legs legs;
    if (!root) return legs;
    for (int side = 0; side < 2; ++side) {
        Leg leg{rkFindNode(root, kLegNames[side][0]), rkFindNode(root, kLegNames[side][1]),
                rkFindNode(root, kLegNames[side][2])};
        // The solver turns the thigh about its own origin: it must be the shin's parent.
        if (leg.Valid() && leg.shin->parent == leg.thigh && leg.foot->parent == leg.shin) {
            legs[side] = leg;
        }
    }
    return legs;
}

rkMatrix WorldOf(const rkNode* node) {
    rkMatrix world = node->local;
    for (const rkNode* p = node->parent; p; p = p->parent) rkMultiply(&world, world, p->local);
    return world;
}

namespace {

void AddJoints(const rkNode* node, const rkMatrix& parent, std::vector<rkVector>& joints) {
    rkMatrix world;
    rkMultiply(&world, node->local, parent);
    joints.push_back(rkOrigin(world));
    for (const rkNode* c = node->child; c; c = c->next) AddJoints(c, world, joints);
}

}  // namespace

std::vector<rkVector> WorldJoints(const rkNode* root) {
    std::vector<rkVector> joints;
    if (!root) return joints;
    rkMatrix parent;
    if (root->parent) {
        parent = WorldOf(root->parent);
    } else {
        rkIdentity(&parent);
    }
    AddJoints(root, parent, joints);
    return joints;
}

float LargestJointStep(const std::vector<rkVector>& a, const std::vector<rkVector>& b) {
    if (a.size() != b.size()) return 0.0f;
    float most = 0.0f;
    for (size_t i = 0; i < a.size(); ++i) most = std::max(most, rkLength(a[i] - b[i]));
    return most;
}

}  // namespace tavrel
