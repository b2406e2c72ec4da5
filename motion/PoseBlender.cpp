#include "motion/PoseBlender.h"

#include "motion/Quaternion.h"

namespace tavrel {
namespace {

// The node after n in depth-first pre-order, not leaving the tree below root.
const rkNode* NextInPreOrder(const rkNode* n, const rkNode* root) {
    if (n->child) return n->child;
    while (n && n != root) {
        if (n->next && n->next != n) return n->next;
        n = n->parent;
    }
    return nullptr;
}

// Walks A and R (same shape) together, taking B's nodes in pre-order alongside.
// Returns false once B has run out of nodes.
bool BlendTree(const rkNode* a, const rkNode*& b, const rkNode* bRoot, rkNode* r, float w) {
    if (!b) return false;
    CPoseBlender::BlendTwo(a->local, b->local, w, &r->local);
    r->flags |= RK_NODE_CHANGED;
    b = NextInPreOrder(b, bRoot);
    const rkNode* ac = a->child;
    rkNode* rc = r->child;
    for (; ac && rc; ac = ac->next, rc = rc->next) {
        if (!BlendTree(ac, b, bRoot, rc, w)) return false;
        if (ac->next == ac) break;
    }
    return true;
}

}  // namespace

void CPoseBlender::BlendMatrices(const rkMatrix* const* matrices, int count,
                                 const float* weights, rkMatrix* out) {
    if (count <= 0) return;
    const rkMatrix& last = *matrices[count - 1];
    Quat q = MatrixToQuat(last);
    if (count > 1) q = Slerp(q, MatrixToQuat(*matrices[0]), weights[0]);
    for (int k = 1; k < count - 1; ++k) q = Slerp(q, MatrixToQuat(*matrices[k]), weights[k]);
    double translation[3] = {0.0, 0.0, 0.0};
    double rest = 1.0;
    for (int k = 0; k < count - 1; ++k) {
        rest -= weights[k];
        for (int axis = 0; axis < 3; ++axis) {
            translation[axis] += double(weights[k]) * matrices[k]->m[12 + axis];
        }
    }
    for (int axis = 0; axis < 3; ++axis) translation[axis] += rest * last.m[12 + axis];
    QuatToMatrix(q, out);
    for (int axis = 0; axis < 3; ++axis) out->m[12 + axis] = float(translation[axis]);
}

void CPoseBlender::BlendTwo(const rkMatrix& a, const rkMatrix& b, float weight, rkMatrix* out) {
    const rkMatrix* pair[2] = {&a, &b};
    BlendMatrices(pair, 2, &weight, out);
}

std::unique_ptr<CHTR> CPoseBlender::Blend(const CHTR* a, const CHTR* b, float weight) const {
    if (!a || !b || !a->GetRoot() || !b->GetRoot()) return nullptr;
    auto result = a->Clone();
    if (!result || !result->GetRoot()) return nullptr;
    BlendInto(a->GetRoot(), b->GetRoot(), weight, result->GetRoot());
    return result;
}

void CPoseBlender::BlendInto(const rkNode* a, const rkNode* b, float weight, rkNode* result) {
    if (!a || !b || !result) return;
    // A B tree with fewer nodes than A leaves A's remaining nodes as they are.
    const rkNode* bNode = b;
    BlendTree(a, bNode, b, result, weight);
}

}  // namespace tavrel
