#include "RKWindow/RKNode.h"

namespace tavrel {

CRKNode::CRKNode(const char* name) : node_(rkCreateNode(name)) {}

CRKNode::~CRKNode() {
    for (auto& [name, child] : children_) rkUnlinkNode(node_, child->Node());
    children_.clear();
    // Objects another owner keeps (flag 32) stay alive; the rest go with the node.
    for (int slot = 0; slot < node_->capacity; ++slot) {
        rkObject* object = node_->objects[slot];
        if (!object) continue;
        rkDetachSlot(node_, slot);
        rkFreeObject(object);
    }
    rkFreeNode(node_);
}

void CRKNode::Translate(float x, float y, float z, bool absolute) {
    if (absolute) {
        rkMatrix m = node_->local;
        m.m[12] = x, m.m[13] = y, m.m[14] = z;
        rkSetNodeMatrix(node_, m);
    } else {
        rkTranslateNode(node_, x, y, z);
    }
}

rkVector CRKNode::Position() const {
    return {node_->local.m[12], node_->local.m[13], node_->local.m[14]};
}

void CRKNode::Show(bool shown) {
    if (shown) {
        node_->flags &= ~RK_NODE_HIDDEN;
    } else {
        node_->flags |= RK_NODE_HIDDEN;
    }
}

void CRKNode::Attach(rkObject* object) {
    rkAttachObject(node_, object);
}

CRKNode* CRKNode::Link(std::unique_ptr<CRKNode> child) {
    if (!child || children_.count(child->Name())) return nullptr;
    rkLinkNode(node_, child->Node());
    CRKNode* linked = child.get();
    children_[child->Name()] = std::move(child);
    return linked;
}

CRKNode* CRKNode::Child(const std::string& name) const {
    const auto found = children_.find(name);
    return found == children_.end() ? nullptr : found->second.get();
}

}  // namespace tavrel
