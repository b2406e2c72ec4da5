#include "RKWindow/RKGuides.h"

#include <cmath>

namespace tavrel {

namespace {

constexpr float kPi = 3.14159f;  // the ring's step uses this value, not a more precise one
constexpr int kRingSegments = 30;

void AddLine(rkMesh* mesh, rkVector a, rkVector b, rkVector na, rkVector nb) {
    rkVertex v{};
    v.colour = 0xFFFFFFFF;
    v.position = a;
    v.normal = na;
    rkAddVertex(mesh, v);
    v.position = b;
    v.normal = nb;
    rkAddVertex(mesh, v);
}

// The two axes of the plane a ring about `axis` lies in.
void RingPlane(int axis, rkVector* u, rkVector* v) {
    switch (axis) {
        case 0:
            *u = {0, 1, 0}, *v = {0, 0, 1};
            break;
        case 1:
            *u = {0, 0, 1}, *v = {1, 0, 0};
            break;
        default:
            *u = {1, 0, 0}, *v = {0, 1, 0};
            break;
    }
}

rkVector InPlane(rkVector u, rkVector v, float a, float b) {
    return {u.x * a + v.x * b, u.y * a + v.y * b, u.z * a + v.z * b};
}

rkVisual* LineVisual() {
    rkVisual* visual = rkCreateVisual(RK_LINELIST, RK_VERTEX_LIT);
    if (visual) visual->mesh.flags |= RK_MESH_MATERIAL;
    return visual;
}

}  // namespace

rkVisual* rkCreateGridVisual(float side, int cells) {
    rkVisual* visual = LineVisual();
    if (!visual) return nullptr;
    const float half = side / 2, step = side / cells;
    const rkVector up{0, 0, 1};
    for (int i = 0; i <= cells; ++i) {
        const float at = -half + i * step;
        AddLine(&visual->mesh, {at, -half, 0}, {at, half, 0}, up, up);
    }
    for (int j = 0; j <= cells; ++j) {
        const float at = -half + j * step;
        AddLine(&visual->mesh, {-half, at, 0}, {half, at, 0}, up, up);
    }
    return visual;
}

rkVisual* rkCreateRingVisual(float radius, int axis) {
    rkVisual* visual = LineVisual();
    if (!visual) return nullptr;
    rkVector u, v;
    RingPlane(axis, &u, &v);
    const float step = 2 * kPi / kRingSegments;
    const float outer = radius + 0.1f;
    for (int k = 0; k < kRingSegments; ++k) {
        const float a = k * step, b = (k + 1) * step;
        const rkVector na = InPlane(u, v, std::cos(a), std::sin(a));
        const rkVector nb = InPlane(u, v, std::cos(b), std::sin(b));
        const rkVector ina{-na.x, -na.y, -na.z}, inb{-nb.x, -nb.y, -nb.z};
        AddLine(&visual->mesh, InPlane(u, v, radius * std::cos(a), radius * std::sin(a)),
                InPlane(u, v, radius * std::cos(b), radius * std::sin(b)), ina, inb);
        AddLine(&visual->mesh, InPlane(u, v, outer * std::cos(a), outer * std::sin(a)),
                InPlane(u, v, outer * std::cos(b), outer * std::sin(b)), na, nb);
    }
    const rkVector tip = InPlane(u, v, outer * std::cos(kPi), outer * std::sin(kPi));
    const rkVector out = InPlane(u, v, -1, 0);
    AddLine(&visual->mesh, tip, InPlane(u, v, -outer + outer / 3, outer / 3), out, out);
    AddLine(&visual->mesh, tip, InPlane(u, v, -outer - outer / 3, outer / 3), out, out);
    return visual;
}

}  // namespace tavrel
