#pragma once
// A light wrapper: one light on its own node. Moving it marks the light changed, so that the
// next render pass places it again.
#include "RKWindow/RKNode.h"
#include "ZU2/rkObject.h"

namespace tavrel {

class CRKLight {
public:
    // The light goes on a node of the given name, which the caller links into the world.
    CRKLight(const char* nodeName, int type);
    ~CRKLight();
    CRKLight(const CRKLight&) = delete;
    CRKLight& operator=(const CRKLight&) = delete;

    void SetPosition(float x, float y, float z);
    void SetColour(float r, float g, float b);
    rkLight* Light() const { return light_; }
    // Hands the node wrapper (with the light on it) to whoever links it.
    std::unique_ptr<CRKNode> TakeNode() { return std::move(node_); }

private:
    rkLight* light_;
    std::unique_ptr<CRKNode> node_;
};

}  // namespace tavrel
