#pragma once
// A pose: the root of a node tree whose local matrices hold one frame of a motion.
#include <memory>

#include "ZU2/rkNode.h"

namespace tavrel {

class CHTR {
public:
    CHTR() = default;
    // Takes ownership of the tree.
    explicit CHTR(rkNode* root) : root_(root) {}
    virtual ~CHTR();
    CHTR(const CHTR&) = delete;
    CHTR& operator=(const CHTR&) = delete;

    rkNode* GetRoot() const { return root_; }
    // Replaces the tree reference without freeing the old tree (detach a borrowed tree this way).
    void SetRoot(rkNode* root) { root_ = root; }
    // Frees the tree and takes ownership of another.
    void Reset(rkNode* root);

    // A new pose holding a deep copy of this tree; none when this pose is empty.
    std::unique_ptr<CHTR> Clone() const;
    // Copies local matrices into the target's tree, node by node while both trees have one.
    int CopyTo(CHTR& target) const;
    // World position of the named node (updates the tree's world matrices first).
    int GetPositionByName(const char* name, float& x, float& y, float& z) const;
    int GetQuatByName(const char* name, float& w, float& x, float& y, float& z) const;
    // absolute != 0: the rotation becomes q; otherwise q is added to the current quaternion.
    int SetQuatByName(const char* name, float w, float x, float y, float z, int absolute);

    // Copies local matrices from one tree into another of the same shape: node, then its
    // children in order, stopping where either tree runs out. Allocates nothing.
    static void CopyLocals(const rkNode* from, rkNode* to);
    // Whether both trees have the same nodes, names and order (two empty trees do).
    static bool SameShape(const rkNode* a, const rkNode* b);
    // Makes `to` a copy of the tree: its local matrices when it has the same shape (allocates
    // nothing), a new deep copy otherwise. Nothing is copied from an empty tree.
    static void CopyPose(const rkNode* from, CHTR& to);

private:
    rkNode* root_ = nullptr;
};

}  // namespace tavrel
