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

rkMatrix ArcRotation(const rkVector& from, const rkVector& to) {
    rkMatrix r;
    rkIdentity(&r);
    const float lf = rkLength(from), lt = rkLength(to);
    if (!(lf > 1e-6f) || !(lt > 1e-6f)) return r;
    const rkVector u = from * (1.0f / lf), v = to * (1.0f / lt);
    const rkVector axis = rkCross(u, v);
    const float s = rkLength(axis);
    const float c = std::fmax(-1.0f, std::fmin(1.0f, rkDot(u, v)));
    if (s < 1e-7f) return r;  // parallel; an opposite direction never arises between frames
    const rkVector k = axis * (1.0f / s);
    const float t = 1.0f - c;
    // Row-vector form of Rodrigues' rotation: the transpose of the column form.
    const float kv[3] = {k.x, k.y, k.z};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) r.m[row * 4 + col] = t * kv[row] * kv[col];
        r.m[row * 4 + row] += c;
    }
    r.m[1] += s * k.z, r.m[2] -= s * k.y;
    r.m[4] -= s * k.z, r.m[6] += s * k.x;
    r.m[8] += s * k.y, r.m[9] -= s * k.x;
    return r;
}

}  // namespace tavrel
