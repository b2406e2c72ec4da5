#pragma once
// A tree's nodes in pre-order (a node, then its children in order): the order in which two
// trees of one shape line up node for node.
#include <vector>

#include "ZU2/rkNode.h"

namespace tavrel {

template <class Node>
std::vector<Node*> PreOrderNodes(Node* root) {
    std::vector<Node*> nodes;
    const auto visit = [&nodes](Node* node, const auto& self) -> void {
        for (; node; node = node->next) {
            nodes.push_back(node);
            self(node->child, self);
        }
    };
    if (root) {
        nodes.push_back(root);
        visit(root->child, visit);
    }
    return nodes;
}

}  // namespace tavrel
