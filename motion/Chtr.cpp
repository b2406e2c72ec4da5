#include "motion/Chtr.h"

#include <cmath>
#include <cstring>

#include "base/DebugOutput.h"
#include "motion/Quaternion.h"

namespace tavrel {
void CHTR::CopyLocals(const rkNode* from, rkNode* to) {
    rkSetNodeMatrix(to, from->local);
    const rkNode* a = from->child;
    rkNode* b = to->child;
    for (; a && b; a = a->next, b = b->next) {
        CopyLocals(a, b);
        if (a->next == a || b->next == b) break;  // a broken sibling list ends the walk
    }
}

bool CHTR::SameShape(const rkNode* a, const rkNode* b) {
    if (!a || !b) return a == b;
    if (std::strncmp(a->name, b->name, kRkNameSize) != 0) return false;
    const rkNode* x = a->child;
    const rkNode* y = b->child;
    for (; x && y; x = x->next, y = y->next) {
        if (!SameShape(x, y)) return false;
        if (x->next == x || y->next == y) return x->next == x && y->next == y;
    }
    return !x && !y;
}

void CHTR::CopyPose(const rkNode* from, CHTR& to) {
    if (!from) return;
    if (SameShape(from, to.root_)) {
        CopyLocals(from, to.root_);
    } else {
        to.Reset(rkCloneNode(from));
    }
}

CHTR::~CHTR() { rkFreeTree(root_); }

void CHTR::Reset(rkNode* root) {
    if (root == root_) return;
    rkFreeTree(root_);
    root_ = root;
}

std::unique_ptr<CHTR> CHTR::Clone() const {
    if (!root_) return nullptr;
    return std::make_unique<CHTR>(rkCloneNode(root_));
}

int CHTR::CopyTo(CHTR& target) const {
    if (!root_ || !target.root_) return 0;
    CopyLocals(root_, target.root_);
    return 1;
}

int CHTR::GetPositionByName(const char* name, float& x, float& y, float& z) const {
    rkNode* node = rkFindNode(root_, name);
    if (!node) {
        DebugOutput("CHTR::GetPositionByName() failed: part name not exist!\n");
        return 0;
    }
    root_->flags |= RK_NODE_CHANGED;
    rkUpdateNode(root_);
    x = node->world.m[12];
    y = node->world.m[13];
    z = node->world.m[14];
    return 1;
}

int CHTR::GetQuatByName(const char* name, float& w, float& x, float& y, float& z) const {
    const rkNode* node = rkFindNode(root_, name);
    if (!node) {
        DebugOutput("CHTR::GetQuatByName() failed: part name not exist!\n");
        return 0;
    }
    const Quat q = MatrixToQuat(node->local);
    w = q.w, x = q.x, y = q.y, z = q.z;
    return 1;
}

int CHTR::SetQuatByName(const char* name, float w, float x, float y, float z, int absolute) {
    rkNode* node = rkFindNode(root_, name);
    if (!node) {
        DebugOutput("CHTR::SetQuatByName() failed: part name not exist!\n");
        return 0;
    }
    Quat q{w, x, y, z};
    if (!absolute) {
        const Quat current = MatrixToQuat(node->local);
        q = {current.w + w, current.x + x, current.y + y, current.z + z};
    }
    // A zero, infinite or NaN quaternion is no rotation: the matrix would be all NaN.
    const float norm = q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z;
    if (!(norm > 0.0f) || !std::isfinite(norm)) {
        DebugOutput("CHTR::SetQuatByName() failed: the quaternion is no rotation!\n");
        return 0;
    }
    rkMatrix m = node->local;
    QuatToMatrix(q, &m);
    m.m[12] = node->local.m[12];
    m.m[13] = node->local.m[13];
    m.m[14] = node->local.m[14];
    rkSetNodeMatrix(node, m);
    return 1;
}

}  // namespace tavrel
