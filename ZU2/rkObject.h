#pragma once
// Objects attachable to nodes: visuals, lights and callbacks. Each starts with the same head.
#include <cstdint>

#include "ZU2/rkMesh.h"
#include "ZU2/rkState.h"

struct rkNode;

enum rkObjectClass : int32_t { RK_VISUAL = 1, RK_LIGHT = 2, RK_CALLBACK = 4 };

enum rkObjectFlags : uint32_t {
    RK_OBJECT_DISABLED = 1 | 2,
    RK_OBJECT_CHANGED = 16,
    RK_OBJECT_NOT_OWNED = 32,
};

struct rkObject {
    int32_t cls;
    int32_t refCount;
    uint32_t flags;
};

struct rkVisual {
    rkObject head;
    rkMesh mesh;
    rkState state;  // applies only when mesh.flags has RK_MESH_STATE
};

struct rkLight {
    rkObject head;
    rkLightData data;
    int32_t slot;  // device light slot, -1 when none
};

// Callback events: before and after the world matrix is computed, after the children are
// updated, and when the render pass reaches the node.
enum rkCallbackEvent : uint32_t {
    RK_EVENT_PRE_UPDATE = 1,
    RK_EVENT_POST_UPDATE = 2,
    RK_EVENT_CHILDREN_UPDATED = 4,
    RK_EVENT_RENDER = 8,
};

using rkCallbackFn = void (*)(uint32_t event, rkNode* node, void* user);

struct rkCallback {
    rkObject head;
    uint32_t mask;
    rkCallbackFn function;
    void* user;
};

rkVisual* rkCreateVisual(int primitive, int format);
rkLight* rkCreateLight(int type);
rkCallback* rkCreateCallback(uint32_t mask, rkCallbackFn function, void* user);
// Each frees only an object that no node holds and that is owned (flag 32 clear);
// returns whether it was freed.
bool rkFreeVisual(rkVisual* visual);
bool rkFreeLight(rkLight* light);
bool rkFreeCallback(rkCallback* callback);
bool rkFreeObject(rkObject* object);

// Device light slots: eight, shared by all lights of the current device.
constexpr int kRkLightSlots = 8;
int rkTakeLightSlot(rkLight* light);
void rkReleaseLightSlot(rkLight* light);
void rkReleaseAllLightSlots();
