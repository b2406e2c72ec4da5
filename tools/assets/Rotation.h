#pragma once
// Small matrix helpers the generator shares, on top of the kit's vector and matrix arithmetic
// (rkMath.h: row-major, row-vector convention p' = p x M).
#include "ZU2/rkMath.h"

namespace tavrel::assets {

constexpr float kPi = 3.14159265358979f;
inline float Radians(float degrees) {
    return degrees * kPi / 180.0f;
}

// Row i of the upper 3x3 (for a world matrix: where local axis i points).
rkVector Row(const rkMatrix& m, int i);
void SetTranslation(rkMatrix* m, rkVector t);
// Inverse of a matrix (identity for a singular one).
rkMatrix Inverse(const rkMatrix& m);
// Rotation about axis 0 = X, 1 = Y, 2 = Z by degrees, in the kit's convention.
rkMatrix Rotation(int axis, float degrees);

}  // namespace tavrel::assets
