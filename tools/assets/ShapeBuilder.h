#pragma once
// Smooth closed surfaces for the mannequin: limbs as sphere-swept cones between two joints
// (round caps centred on the joints, so that neighbouring limbs overlap at every joint in any
// pose) and ellipsoids. Normals are smooth and point outwards; triangles wind
// counter-clockwise seen from outside.
#include <cstdint>
#include <vector>

#include "ZU2/rkMath.h"

namespace tavrel::assets {

struct ShapeVertex {
    rkVector position;
    rkVector normal;
    float u, v;
};

struct ShapeMesh {
    std::vector<ShapeVertex> vertices;
    std::vector<uint16_t> indices;  // three per triangle

    // Appends another mesh's triangles (for shapes made of several pieces).
    void Append(const ShapeMesh& other);
};

// How the cross-section is stretched: side is the world direction that gets sideScale (it is
// made perpendicular to the axis), the third direction gets frontScale.
struct CrossSection {
    rkVector side{1, 0, 0};
    float sideScale = 1.0f;
    float frontScale = 1.0f;
};

// A limb from a (radius ra) to b (radius rb), with caps that are spheres (or, with a
// stretched cross-section, ellipsoids) about a and b. v runs from a to b.
ShapeMesh Limb(rkVector a, float ra, rkVector b, float rb, const CrossSection& section = {},
               int slices = 20, int rings = 8);

// An ellipsoid about centre with the given half-axes along x, y and z. u runs around z
// starting at the back (+y) and passing the front (-y) at 0.5; v runs from the bottom (0)
// to the top (1), so a picture maps onto it upright with its centre at the front.
ShapeMesh Ellipsoid(rkVector centre, rkVector radii, int slices = 28, int stacks = 20);

}  // namespace tavrel::assets
