#pragma once
// Small vector and matrix helpers the generator shares, on top of the kit's rkMatrix
// (row-major, row-vector convention: p' = p x M).
#include "ZU2/rkMath.h"

namespace tavrel::assets {

constexpr float kPi = 3.14159265358979f;
inline float Radians(float degrees) {
    return degrees * kPi / 180.0f;
}

// The kit's vector arithmetic (rkMath.h) under the generator's short names.
inline float Dot(rkVector a, rkVector b) {
    return rkDot(a, b);
}
inline rkVector Cross(rkVector a, rkVector b) {
    return rkCross(a, b);
}
float Length(rkVector a);
rkVector Lerp(rkVector a, rkVector b, float t);

// Row i of the upper 3x3 (for a world matrix: where local axis i points).
rkVector Row(const rkMatrix& m, int i);
rkVector Translation(const rkMatrix& m);
void SetTranslation(rkMatrix* m, rkVector t);
// The same matrix with its translation removed.
rkMatrix RotationPart(const rkMatrix& m);
// Inverse of a matrix (identity for a singular one).
rkMatrix Inverse(const rkMatrix& m);
// Rotation about axis 0 = X, 1 = Y, 2 = Z by degrees, in the kit's convention.
rkMatrix Rotation(int axis, float degrees);
rkMatrix operator*(const rkMatrix& a, const rkMatrix& b);

}  // namespace tavrel::assets
