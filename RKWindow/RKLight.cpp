#include "RKWindow/RKLight.h"

namespace tavrel {

CRKLight::CRKLight(const char* nodeName, int type)
    : light_(rkCreateLight(type)), node_(std::make_unique<CRKNode>(nodeName)) {
    // The wrapper owns the light; its node only shows where it hangs.
    light_->head.flags |= RK_OBJECT_NOT_OWNED;
    node_->Attach(&light_->head);
}

CRKLight::~CRKLight() {
    light_->head.flags &= ~RK_OBJECT_NOT_OWNED;
    rkFreeLight(light_);  // refused while a node still holds it; that node then frees it
}

void CRKLight::SetPosition(float x, float y, float z) {
    light_->data.position = {x, y, z};
    light_->data.flags |= RK_OBJECT_CHANGED;
    light_->head.flags |= RK_OBJECT_CHANGED;
}

void CRKLight::SetColour(float r, float g, float b) {
    light_->data.diffuse[0] = r;
    light_->data.diffuse[1] = g;
    light_->data.diffuse[2] = b;
    light_->data.diffuse[3] = 1.0f;
    light_->data.flags |= RK_OBJECT_CHANGED;
}

}  // namespace tavrel
