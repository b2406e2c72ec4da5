#include "ZU2/rkRenderScene.h"

#include "ZU2/rkDevice.h"
#include "ZU2/rkMessage.h"

namespace {

// Its own render states around the mesh; the mesh again when a second stage is textured.
bool DrawVisual(rkVisual* visual) {
    const bool ownState = (visual->mesh.flags & RK_MESH_STATE) != 0;
    bool ok = !ownState || rkApplyState(&visual->state);
    ok = ok && rkDrawMesh(&visual->mesh);
    if (ok && visual->mesh.textures[1]) ok = rkDrawMesh(&visual->mesh);
    if (ownState && !rkApplyState(&rkDefaultState)) ok = false;
    return ok;
}

// Every frame starts with all lights off and all slots free, so each light reached is placed
// again; the device's light cache keeps an unchanged light from being sent twice.
bool PlaceLight(rkLight* light) {
    if (!rkAllocLight(light)) {
        // No slot left: this light stays dark for the frame, the others carry on.
        if (light->slot < 0) return true;
        rkReleaseLight(light);
        return false;
    }
    light->head.flags &= ~RK_OBJECT_CHANGED;
    light->data.flags &= ~uint32_t{RK_OBJECT_CHANGED};
    return rkEnableLight(light->slot) != 0;
}

bool RenderObjects(rkNode* node) {
    for (int slot = 0; slot < node->capacity; ++slot) {
        rkObject* object = node->objects[slot];
        if (!object || (object->flags & RK_OBJECT_DISABLED)) continue;
        if (object->cls == RK_VISUAL && !DrawVisual(reinterpret_cast<rkVisual*>(object))) {
            return false;
        }
        if (object->cls == RK_LIGHT && !PlaceLight(reinterpret_cast<rkLight*>(object))) {
            return false;
        }
    }
    return true;
}

bool RenderNode(rkNode* node) {
    if (!node) return false;
    if (node->flags & RK_NODE_HIDDEN) return true;
    if (!(node->flags & RK_NODE_COMPILED)) {
        rkMessage("Node not compiled: %s", node->name);
        return true;
    }
    rkSetTransform(RK_WORLD, node->world);
    rkCallCallbacks(node, RK_EVENT_RENDER);
    if (!RenderObjects(node)) return false;
    for (rkNode* child = node->child; child; child = child->next) {
        if (!RenderNode(child)) return false;
        if (child->next == child) return true;  // a sibling list looping on itself ends here
    }
    return true;
}

}  // namespace

int rkRenderScene(rkNode* root, rkView* view, rkHost* target) {
    if (!rkNewScene(view)) {
        rkMessage("rkRenderScene failed: rkNewScene got an Error!");
        return 0;
    }
    for (int i = 0; i < kRkDeviceLights; ++i) rkDisableLight(i);
    rkReleaseAllLightSlots();
    const bool ok = RenderNode(root);
    rkShowScene(target);
    return ok ? 1 : 0;
}
