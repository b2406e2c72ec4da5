#include "ZU2/rkNode.h"

#include <cstdlib>
#include <cstring>

#include "ZU2/rkMessage.h"

namespace {

// A sibling list whose node points at itself is a broken link; walks stop there.
bool IsSelfLinked(const rkNode* node) { return node->next == node; }

void CopyName(char (&target)[kRkNameSize], const char* name) {
    std::memset(target, 0, sizeof target);
    if (name) std::memcpy(target, name, strnlen(name, kRkNameSize - 1));
}

void TraverseDepthFirst(rkNode* node, int mode, rkTraverseFn function, void* context) {
    if (mode & RK_PRE_ORDER) function(0, node, context);
    for (rkNode* child = node->child; child; child = child->next) {
        TraverseDepthFirst(child, mode, function, context);
        if (IsSelfLinked(child)) break;
    }
    if (mode & RK_POST_ORDER) function(0, node, context);
}

}  // namespace

rkNode* rkCreateNode(const char* name) {
    auto* node = static_cast<rkNode*>(std::calloc(1, sizeof(rkNode)));
    if (!node) return nullptr;
    CopyName(node->name, name);
    rkIdentity(&node->local);
    rkIdentity(&node->world);
    return node;
}

void rkFreeNode(rkNode* node) {
    if (!node) return;
    std::free(node->objects);
    std::free(node);
}

void rkFreeTree(rkNode* root) {
    if (!root) return;
    rkNode* child = root->child;
    while (child) {
        rkNode* next = IsSelfLinked(child) ? nullptr : child->next;
        rkFreeTree(child);
        child = next;
    }
    for (int slot = 0; slot < root->capacity; ++slot) {
        rkObject* object = root->objects[slot];
        if (!object) continue;
        rkDetachSlot(root, slot);
        rkFreeObject(object);
    }
    rkFreeNode(root);
}

void rkSetNodeName(rkNode* node, const char* name) {
    if (node) CopyName(node->name, name);
}

void rkLinkNode(rkNode* parent, rkNode* child) {
    if (!parent || !child) return;
    child->parent = parent;
    if (!parent->child) {
        parent->child = child;
        return;
    }
    rkNode* last = parent->child;
    for (;;) {
        if (last == child) {
            rkMessage("Node duplicated! Reject linking (%s)", child->name);
            return;
        }
        if (!last->next || IsSelfLinked(last)) break;
        last = last->next;
    }
    last->next = child;
}

void rkUnlinkNode(rkNode* parent, rkNode* child) {
    if (!parent || !child) return;
    if (parent->child == child) {
        parent->child = IsSelfLinked(child) ? nullptr : child->next;
    } else {
        for (rkNode* n = parent->child; n && !IsSelfLinked(n); n = n->next) {
            if (n->next == child) {
                n->next = IsSelfLinked(child) ? nullptr : child->next;
                break;
            }
        }
    }
    child->parent = nullptr;
    child->next = nullptr;
}

rkNode* rkFindNode(rkNode* root, const char* name) {
    if (!root || !name) return nullptr;
    if (std::strcmp(root->name, name) == 0) return root;
    for (rkNode* child = root->child; child; child = child->next) {
        if (rkNode* found = rkFindNode(child, name)) return found;
        if (IsSelfLinked(child)) break;
    }
    return nullptr;
}

rkNode* rkCloneNode(const rkNode* node) {
    if (!node) return nullptr;
    rkNode* copy = rkCreateNode(node->name);
    if (!copy) return nullptr;
    copy->local = node->local;
    for (int slot = 0; slot < node->capacity; ++slot) {
        if (node->objects[slot]) rkAttachObject(copy, node->objects[slot]);
    }
    for (const rkNode* child = node->child; child; child = child->next) {
        rkLinkNode(copy, rkCloneNode(child));
        if (IsSelfLinked(child)) break;
    }
    return copy;
}

int rkTraverse(rkNode* root, int mode, rkTraverseFn function, void* context) {
    if (mode & RK_BREADTH_FIRST) {
        rkMessage("Sorry! Bread First traversal not implmented");
        return 0;
    }
    if (!root || !function) return 0;
    TraverseDepthFirst(root, mode, function, context);
    return 1;
}

int rkCompileNode(rkNode* root) {
    if (!root) return 0;
    root->flags |= RK_NODE_COMPILED;
    for (rkNode* child = root->child; child; child = child->next) {
        rkCompileNode(child);
        if (IsSelfLinked(child)) break;
    }
    return 1;
}

void rkCallCallbacks(rkNode* node, uint32_t event) {
    for (int slot = 0; slot < node->capacity; ++slot) {
        rkObject* object = node->objects[slot];
        if (!object || object->cls != RK_CALLBACK || (object->flags & RK_OBJECT_DISABLED)) continue;
        auto* callback = reinterpret_cast<rkCallback*>(object);
        if ((callback->mask & event) && callback->function) {
            callback->function(event, node, callback->user);
        }
    }
}

void rkUpdateNode(rkNode* node) {
    if (!node || (node->flags & RK_NODE_FROZEN)) return;
    if (node->flags & RK_NODE_CHANGED) {
        for (int slot = 0; slot < node->capacity; ++slot) {
            if (node->objects[slot]) node->objects[slot]->flags |= RK_OBJECT_CHANGED;
        }
    }
    rkCallCallbacks(node, RK_EVENT_PRE_UPDATE);
    if (node->parent) {
        rkMultiply(&node->world, node->local, node->parent->world);
    } else {
        node->world = node->local;
    }
    rkCallCallbacks(node, RK_EVENT_POST_UPDATE);
    for (rkNode* child = node->child; child; child = child->next) {
        if (node->flags & RK_NODE_CHANGED) child->flags |= RK_NODE_CHANGED;
        rkUpdateNode(child);
        if (IsSelfLinked(child)) {
            rkMessage("Recycle link : %s", node->name);
            return;
        }
    }
    node->flags &= ~RK_NODE_CHANGED;
    rkCallCallbacks(node, RK_EVENT_CHILDREN_UPDATED);
}

void rkTranslateNode(rkNode* node, float x, float y, float z) {
    if (!node) return;
    node->local.m[12] += x;
    node->local.m[13] += y;
    node->local.m[14] += z;
    node->flags |= RK_NODE_CHANGED;
}

void rkRotateNode(rkNode* node, int axis, float angle) {
    if (!node) return;
    rkMatrix rotation;
    rkRotationMatrix(&rotation, axis, angle);
    rkMultiply(&node->local, node->local, rotation);
    node->flags |= RK_NODE_CHANGED;
}

void rkSetNodeMatrix(rkNode* node, const rkMatrix& matrix) {
    if (!node) return;
    node->local = matrix;
    node->flags |= RK_NODE_CHANGED;
}

void rkResetNode(rkNode* node) {
    if (!node) return;
    rkIdentity(&node->local);
    node->flags |= RK_NODE_CHANGED;
}

int rkAttachObject(rkNode* node, rkObject* object) {
    if (!node || !object) return -1;
    int slot = 0;
    while (slot < node->capacity && node->objects[slot]) ++slot;
    if (slot == node->capacity) {
        const size_t capacity = static_cast<size_t>(node->capacity) + kRkObjectGrowth;
        void* grown = std::realloc(node->objects, capacity * sizeof(rkObject*));
        if (!grown) return -1;
        node->objects = static_cast<rkObject**>(grown);
        std::memset(node->objects + node->capacity, 0, kRkObjectGrowth * sizeof(rkObject*));
        node->capacity = static_cast<int32_t>(capacity);
    }
    node->objects[slot] = object;
    ++node->objectCount;
    ++object->refCount;
    return slot;
}

void rkDetachObject(rkNode* node, rkObject* object) {
    if (!node || !object) return;
    for (int slot = 0; slot < node->capacity; ++slot) {
        if (node->objects[slot] == object) {
            rkDetachSlot(node, slot);
            return;
        }
    }
}

void rkDetachSlot(rkNode* node, int slot) {
    if (!node || slot < 0 || slot >= node->capacity || !node->objects[slot]) return;
    --node->objects[slot]->refCount;
    node->objects[slot] = nullptr;
    --node->objectCount;
}

rkObject* rkGetObject(const rkNode* node, int slot) {
    if (!node || slot < 0 || slot >= node->capacity) return nullptr;
    return node->objects[slot];
}
