#pragma once
// Small pose trees for tests: a root with two branches, shaped like a skeleton's hips.
#include "ZU2/rkNode.h"
#include "motion/Chtr.h"

namespace tavrel::testing {

// Root -> (Spine -> Head), (Leg -> Foot); every bone 10 units along local Y.
inline rkNode* MakeHipsTree() {
    rkNode* root = rkCreateNode("Root");
    rkNode* spine = rkCreateNode("Spine");
    rkNode* head = rkCreateNode("Head");
    rkNode* leg = rkCreateNode("Leg");
    rkNode* foot = rkCreateNode("Foot");
    rkLinkNode(root, spine);
    rkLinkNode(spine, head);
    rkLinkNode(root, leg);
    rkLinkNode(leg, foot);
    for (rkNode* n : {spine, head, leg, foot}) n->local.m[13] = 10.0f;
    root->local.m[14] = 100.0f;
    return root;
}

}  // namespace tavrel::testing
