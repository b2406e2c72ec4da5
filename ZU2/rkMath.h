#pragma once
// Vectors and 4x4 matrices of the kit: row-major, row-vector convention (p' = p x M),
// translation in elements 12, 13, 14. Composing first A, then B is A x B.
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
rkVector rkNormalize(const rkVector& v);

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
