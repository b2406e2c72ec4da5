#pragma once
// Named nodes of the scene graph: a tree with local and world matrices and attached objects.
#include <cstdint>

#include "ZU2/rkMath.h"
#include "ZU2/rkObject.h"

enum rkNodeFlags : uint32_t {
    RK_NODE_FROZEN = 1,
    RK_NODE_HIDDEN = 2,
    RK_NODE_COMPILED = 16,
    RK_NODE_CHANGED = 32,
};

constexpr int kRkNameSize = 32;
constexpr int kRkObjectGrowth = 16;

struct rkNode {
    char name[kRkNameSize];
    uint32_t flags;
    rkNode* parent;
    rkNode* child;  // first child
    rkNode* next;   // next sibling
    rkMatrix local;
    rkMatrix world;
    rkObject** objects;
    int32_t capacity;
    int32_t objectCount;
};

enum rkTraverseMode : int { RK_BREADTH_FIRST = 2, RK_PRE_ORDER = 16, RK_POST_ORDER = 32 };
using rkTraverseFn = void (*)(int event, rkNode* node, void* context);

rkNode* rkCreateNode(const char* name);
void rkFreeNode(rkNode* node);
// Frees the node and its subtree; objects are detached and freed as their class says.
void rkFreeTree(rkNode* root);
void rkSetNodeName(rkNode* node, const char* name);
void rkLinkNode(rkNode* parent, rkNode* child);
void rkUnlinkNode(rkNode* parent, rkNode* child);
rkNode* rkFindNode(rkNode* root, const char* name);
rkNode* rkCloneNode(const rkNode* node);
// Returns 0 when the mode is refused.
int rkTraverse(rkNode* root, int mode, rkTraverseFn function, void* context);
int rkCompileNode(rkNode* root);
void rkUpdateNode(rkNode* root);

void rkTranslateNode(rkNode* node, float x, float y, float z);
void rkRotateNode(rkNode* node, int axis, float angle);
void rkSetNodeMatrix(rkNode* node, const rkMatrix& matrix);
void rkResetNode(rkNode* node);

int rkAttachObject(rkNode* node, rkObject* object);
void rkDetachObject(rkNode* node, rkObject* object);
void rkDetachSlot(rkNode* node, int slot);
rkObject* rkGetObject(const rkNode* node, int slot);
// Calls the node's enabled callbacks whose mask has the event, in slot order.
void rkCallCallbacks(rkNode* node, uint32_t event);
