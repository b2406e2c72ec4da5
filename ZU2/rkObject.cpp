#include "ZU2/rkObject.h"

#include <cstdlib>
#include <cstring>

namespace {

rkLight* g_lightSlots[kRkLightSlots];

template <typename T>
T* AllocateObject(int32_t cls) {
    auto* object = static_cast<T*>(std::calloc(1, sizeof(T)));
    if (!object) return nullptr;
    object->head.cls = cls;
    object->head.flags = RK_OBJECT_CHANGED;
    return object;
}

bool MayFree(const rkObject* head) {
    return head->refCount < 1 && !(head->flags & RK_OBJECT_NOT_OWNED);
}

}  // namespace

rkVisual* rkCreateVisual(int primitive, int format) {
    auto* visual = AllocateObject<rkVisual>(RK_VISUAL);
    if (!visual) return nullptr;
    visual->mesh.primitive = primitive;
    visual->mesh.format = format;
    visual->state = rkDefaultState;
    return visual;
}

rkLight* rkCreateLight(int type) {
    auto* light = AllocateObject<rkLight>(RK_LIGHT);
    if (!light) return nullptr;
    rkLightData& d = light->data;
    d.type = type;
    d.attenuation[0] = 1.0f;
    if (type == 1 || type == 3) d.direction = {0.0f, 0.0f, 1.0f};
    if (type == 3) {
        d.phi = 180.0f;
        d.falloff = 0.0f;
    }
    light->slot = -1;
    return light;
}

rkCallback* rkCreateCallback(uint32_t mask, rkCallbackFn function, void* user) {
    auto* callback = AllocateObject<rkCallback>(RK_CALLBACK);
    if (!callback) return nullptr;
    callback->mask = mask;
    callback->function = function;
    callback->user = user;
    return callback;
}

bool rkFreeVisual(rkVisual* visual) {
    if (!visual || !MayFree(&visual->head)) return false;
    rkFreeMeshArrays(&visual->mesh);
    std::free(visual);
    return true;
}

bool rkFreeLight(rkLight* light) {
    if (!light || !MayFree(&light->head)) return false;
    rkReleaseLightSlot(light);
    std::free(light);
    return true;
}

bool rkFreeCallback(rkCallback* callback) {
    if (!callback || !MayFree(&callback->head)) return false;
    std::free(callback);
    return true;
}

bool rkFreeObject(rkObject* object) {
    if (!object) return false;
    switch (object->cls) {
        case RK_VISUAL:
            return rkFreeVisual(reinterpret_cast<rkVisual*>(object));
        case RK_LIGHT:
            return rkFreeLight(reinterpret_cast<rkLight*>(object));
        case RK_CALLBACK:
            return rkFreeCallback(reinterpret_cast<rkCallback*>(object));
        default:
            return false;
    }
}

int rkTakeLightSlot(rkLight* light) {
    if (!light) return -1;
    if (light->slot >= 0) return light->slot;
    for (int i = 0; i < kRkLightSlots; ++i) {
        if (!g_lightSlots[i]) {
            g_lightSlots[i] = light;
            light->slot = i;
            return i;
        }
    }
    return -1;
}

void rkReleaseLightSlot(rkLight* light) {
    if (!light || light->slot < 0 || light->slot >= kRkLightSlots) return;
    if (g_lightSlots[light->slot] == light) g_lightSlots[light->slot] = nullptr;
    light->slot = -1;
}

void rkReleaseAllLightSlots() {
    for (rkLight*& light : g_lightSlots) {
        if (light) light->slot = -1;
        light = nullptr;
    }
}
