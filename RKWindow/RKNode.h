#pragma once
// A node wrapper of the 3D world: owns one scene-graph node and the wrappers linked under it
// (kept by name), and frees what it holds when it goes.
#include <map>
#include <memory>
#include <string>

#include "ZU2/rkNode.h"

namespace tavrel {

class CRKNode {
public:
    explicit CRKNode(const char* name);
    ~CRKNode();
    CRKNode(const CRKNode&) = delete;
    CRKNode& operator=(const CRKNode&) = delete;

    rkNode* Node() const { return node_; }
    const char* Name() const { return node_->name; }

    // Adds to the translation, or (absolute) replaces it.
    void Translate(float x, float y, float z, bool absolute = false);
    rkVector Position() const;
    void Show(bool shown);
    bool IsShown() const { return !(node_->flags & RK_NODE_HIDDEN); }
    void Attach(rkObject* object);
    // Links the child's node under this one; the child is kept under its name. A second
    // child of the same name is refused (and stays with the caller).
    CRKNode* Link(std::unique_ptr<CRKNode> child);
    CRKNode* Child(const std::string& name) const;

private:
    rkNode* node_;
    std::map<std::string, std::unique_ptr<CRKNode>> children_;
};

}  // namespace tavrel
