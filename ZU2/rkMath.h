#pragma once
// Vectors and 4x4 matrices of the kit: row-major, row-vector convention (p' = p x M),
// translation in elements 12, 13, 14. Composing first A, then B is A x B. This is the one home
// of the vector and rotation helpers every layer above shares.
#include <cmath>
#include <cstdint>

struct rkVector {
    float x, y, z;
};

struct rkMatrix {
    float m[16];
};

void rkIdentity(rkMatrix* out);
bool rkIsIdentity(const rkMatrix& a, float tolerance = 0.0f);
// out = a x b; out may alias a or b.
void rkMultiply(rkMatrix* out, const rkMatrix& a, const rkMatrix& b);
// Full 4x4 product, then division by w when w is not 1.
rkVector rkTransformPoint(const rkVector& p, const rkMatrix& m);
// Rotation by angle radians about axis 0 = X, 1 = Y, 2 = Z.
void rkRotationMatrix(rkMatrix* out, int axis, float angle);
// Upper 3x3 with orthonormalised rows, flipped to keep handedness; no translation.
void rkNormalMatrix(rkMatrix* out, const rkMatrix& in);

// Vector arithmetic, shared by everything above the kit that works with points.
inline rkVector operator+(rkVector a, rkVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline rkVector operator-(rkVector a, rkVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline rkVector operator*(rkVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline float rkDot(rkVector a, rkVector b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline rkVector rkCross(rkVector a, rkVector b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float rkLength(rkVector v) {
    return std::sqrt(rkDot(v, v));
}
// v at unit length; a zero vector stays zero.
rkVector rkNormalize(const rkVector& v);
// v without its component along the unit vector u.
inline rkVector rkReject(rkVector v, rkVector u) {
    return v - u * rkDot(v, u);
}
inline rkVector rkLerp(rkVector a, rkVector b, float t) {
    return a + (b - a) * t;
}

// Matrices as placements and rotations.
inline rkMatrix operator*(const rkMatrix& a, const rkMatrix& b) {
    rkMatrix out;
    rkMultiply(&out, a, b);
    return out;
}
// Where the matrix puts the origin: its translation.
inline rkVector rkOrigin(const rkMatrix& m) {
    return {m.m[12], m.m[13], m.m[14]};
}
// The same matrix with its translation removed.
rkMatrix rkRotationPart(const rkMatrix& m);
// The upper 3x3 transposed, the rest kept: the inverse of a rotation.
rkMatrix rkTransposed(const rkMatrix& m);
// The direction v turned by the upper 3x3 of r (no translation, no division).
inline rkVector rkTurned(rkVector v, const rkMatrix& r) {
    return {v.x * r.m[0] + v.y * r.m[4] + v.z * r.m[8], v.x * r.m[1] + v.y * r.m[5] + v.z * r.m[9],
            v.x * r.m[2] + v.y * r.m[6] + v.z * r.m[10]};
}
// Inverse of a matrix without projection (the fourth column 0, 0, 0, 1); identity when singular.
rkMatrix rkAffineInverse(const rkMatrix& m);
// The rotation with rows a, b and c (meant to be orthonormal), no translation.
rkMatrix rkRows(rkVector a, rkVector b, rkVector c);
// The rotation turning direction `from` onto direction `to` along the shorter arc (from x R is
// to at from's length). Opposite directions get half a turn about an axis across them; a
// direction of (nearly) no length gives the identity.
rkMatrix rkArcRotation(const rkVector& from, const rkVector& to);
