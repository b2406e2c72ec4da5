#include "tools/assets/ShapeBuilder.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/assets/Rotation.h"

namespace tavrel::assets {
namespace {

// A surface over a grid: columns around (the last column repeats the first for the texture
// seam), rows from one pole to the other.
struct Grid {
    int columns;
    int rows;
    std::function<ShapeVertex(int column, int row)> point;
};

// Builds the triangles of a grid and turns each so that it faces where its normals point.
ShapeMesh Triangulate(const Grid& grid) {
    ShapeMesh mesh;
    for (int r = 0; r <= grid.rows; ++r) {
        for (int c = 0; c <= grid.columns; ++c) mesh.vertices.push_back(grid.point(c, r));
    }
    const int stride = grid.columns + 1;
    auto corner = [&](int c, int r) { return static_cast<uint16_t>(r * stride + c); };
    auto emit = [&](uint16_t a, uint16_t b, uint16_t c) {
        const rkVector pa = mesh.vertices[a].position, pb = mesh.vertices[b].position,
                       pc = mesh.vertices[c].position;
        const rkVector face = rkCross(pb - pa, pc - pa);
        if (rkDot(face, face) < 1e-10f) return;  // collapsed at a pole
        const rkVector n =
            mesh.vertices[a].normal + mesh.vertices[b].normal + mesh.vertices[c].normal;
        if (rkDot(face, n) < 0) std::swap(b, c);
        mesh.indices.insert(mesh.indices.end(), {a, b, c});
    };
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            emit(corner(c, r), corner(c + 1, r), corner(c + 1, r + 1));
            emit(corner(c, r), corner(c + 1, r + 1), corner(c, r + 1));
        }
    }
    return mesh;
}

// An orthonormal frame with w along the axis and e1 as close to the hint as it can be.
void Frame(rkVector axis, rkVector hint, rkVector* e1, rkVector* e2, rkVector* w) {
    *w = rkNormalize(axis);
    rkVector side = rkReject(hint, *w);
    if (rkLength(side) < 1e-4f)
        side = std::abs(w->x) < 0.9f ? rkVector{1, 0, 0} : rkVector{0, 1, 0};
    *e1 = rkNormalize(rkReject(side, *w));
    *e2 = rkCross(*w, *e1);
}

}  // namespace

void ShapeMesh::Append(const ShapeMesh& other) {
    const auto base = static_cast<uint16_t>(vertices.size());
    vertices.insert(vertices.end(), other.vertices.begin(), other.vertices.end());
    for (uint16_t i : other.indices) indices.push_back(static_cast<uint16_t>(base + i));
}

ShapeMesh Limb(rkVector a, float ra, rkVector b, float rb, const CrossSection& section, int slices,
               int rings) {
    rkVector e1, e2, w;
    Frame(b - a, section.side, &e1, &e2, &w);
    const float length = rkLength(b - a);
    // The profile's normal turns from -w (beta = 0) to +w (beta = pi); the straight part
    // between the two caps touches both at the angle where the cone is tangent to them.
    const float tangent = std::acos(std::clamp((rb - ra) / length, -1.0f, 1.0f));
    const int capRings = rings;
    const int rows = 2 * capRings + 1;
    auto profile = [&](int row, float* s, float* rho, float* beta) {
        if (row <= capRings) {
            *beta = tangent * row / capRings;
            *s = -ra * std::cos(*beta);
            *rho = ra * std::sin(*beta);
        } else {
            *beta = tangent + (kPi - tangent) * (row - capRings - 1) / capRings;
            *s = length - rb * std::cos(*beta);
            *rho = rb * std::sin(*beta);
        }
    };
    const float sx = section.sideScale, sy = section.frontScale;
    Grid grid{slices, rows, [&](int column, int row) {
                  const float phi = 2 * kPi * column / slices;
                  float s, rho, beta;
                  profile(row, &s, &rho, &beta);
                  const float c = std::cos(phi), si = std::sin(phi);
                  ShapeVertex v;
                  v.position = a + w * s + e1 * (rho * c * sx) + e2 * (rho * si * sy);
                  // Stretching the section scales normals by the inverse.
                  const rkVector n = w * -std::cos(beta) + e1 * (std::sin(beta) * c / sx) +
                                     e2 * (std::sin(beta) * si / sy);
                  v.normal = rkNormalize(n);
                  v.u = static_cast<float>(column) / slices;
                  v.v = static_cast<float>(row) / rows;
                  return v;
              }};
    return Triangulate(grid);
}

ShapeMesh Ellipsoid(rkVector centre, rkVector radii, int slices, int stacks) {
    Grid grid{slices, stacks, [&](int column, int row) {
                  const float phi = 2 * kPi * column / slices;  // 0 at the back
                  const float theta = kPi * row / stacks;       // 0 at the top
                  const rkVector d{-std::sin(phi) * std::sin(theta),
                                   std::cos(phi) * std::sin(theta), std::cos(theta)};
                  ShapeVertex v;
                  v.position = centre + rkVector{d.x * radii.x, d.y * radii.y, d.z * radii.z};
                  v.normal = rkNormalize({d.x / radii.x, d.y / radii.y, d.z / radii.z});
                  v.u = static_cast<float>(column) / slices;
                  v.v = 1.0f - static_cast<float>(row) / stacks;
                  return v;
              }};
    return Triangulate(grid);
}

}  // namespace tavrel::assets
