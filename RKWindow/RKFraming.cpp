#include "RKWindow/RKFraming.h"

#include <algorithm>
#include <cmath>

namespace tavrel {

namespace {

constexpr float kMargin = 1.15f;          // some room around the avatar
constexpr float kWidestAspect = 0.5625f;  // 16:9, for windows without a size yet

struct Box {
    bool empty = true;
    rkVector low{0, 0, 0}, high{0, 0, 0};
    rkVector origin{0, 0, 0};
    void Add(const rkVector& p) {
        const rkVector q{p.x - origin.x, p.y - origin.y, p.z - origin.z};
        if (empty) {
            low = high = q;
            empty = false;
            return;
        }
        low = {std::min(low.x, q.x), std::min(low.y, q.y), std::min(low.z, q.z)};
        high = {std::max(high.x, q.x), std::max(high.y, q.y), std::max(high.z, q.z)};
    }
};

void AddNode(int, rkNode* node, void* context) {
    auto* box = static_cast<Box*>(context);
    for (int slot = 0; slot < node->capacity; ++slot) {
        const rkObject* object = node->objects[slot];
        if (!object || object->cls != RK_VISUAL) continue;
        const rkMesh& mesh = reinterpret_cast<const rkVisual*>(object)->mesh;
        for (int v = 0; v < mesh.vertexCount; ++v) {
            box->Add(rkTransformPoint(mesh.vertices[v].position, node->world));
        }
    }
}

// A usable height / width for framing: degenerate windows count as 16:9.
float FramingAspect(float aspect) {
    return std::isfinite(aspect) && aspect > 0 ? aspect : kWidestAspect;
}

}  // namespace

RKFraming RKFraming::Measure(rkNode* root) {
    RKFraming framing;
    if (!root) return framing;
    rkUpdateNode(root);
    Box box;
    box.origin = {root->world.m[12], root->world.m[13], root->world.m[14]};
    rkTraverse(root, RK_PRE_ORDER, AddNode, &box);
    framing.empty_ = box.empty;
    framing.low_ = box.low;
    framing.high_ = box.high;
    return framing;
}

rkVector RKFraming::Centre() const {
    return {(low_.x + high_.x) / 2, (low_.y + high_.y) / 2, (low_.z + high_.z) / 2};
}

float RKFraming::Distance(const rkVector& pivot, const rkVector& direction, const rkVector& up,
                          float fieldOfView, float aspect, float nearPlane) const {
    const rkVector d = rkNormalize(direction);
    // The same fall-backs as the view matrix when up runs along the direction.
    rkVector u{0, 0, 0};
    for (const rkVector& hint : {up, rkVector{0, 1, 0}, rkVector{0, 0, 1}}) {
        u = rkReject(hint, d);
        if (rkDot(u, u) > 1e-12f) break;
    }
    u = rkNormalize(u);
    const rkVector r = rkCross(u, d);
    const float tanH = std::tan(fieldOfView / 2);
    const float tanV = FramingAspect(aspect) * tanH;
    const float nearest = std::isfinite(nearPlane) && nearPlane > 0 ? nearPlane * 2 : 1.0f;
    float distance = nearest;
    if (empty_ || !(tanH > 0) || !std::isfinite(tanH)) return distance;
    for (int corner = 0; corner < 8; ++corner) {
        const rkVector c = {(corner & 1 ? high_.x : low_.x) - pivot.x,
                            (corner & 2 ? high_.y : low_.y) - pivot.y,
                            (corner & 4 ? high_.z : low_.z) - pivot.z};
        // Depth the corner needs so that it lies inside the picture, minus how far past the
        // pivot it already lies.
        const float needed = std::max({nearest, std::fabs(rkDot(c, r)) * kMargin / tanH,
                                       std::fabs(rkDot(c, u)) * kMargin / tanV});
        distance = std::max(distance, needed - rkDot(c, d));
    }
    return distance;
}

}  // namespace tavrel
