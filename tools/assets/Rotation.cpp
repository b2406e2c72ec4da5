#include "tools/assets/Rotation.h"

#include <cmath>

namespace tavrel::assets {

float Length(rkVector a) { return std::sqrt(Dot(a, a)); }

rkVector Lerp(rkVector a, rkVector b, float t) { return a + (b - a) * t; }

rkVector Row(const rkMatrix& m, int i) { return {m.m[i * 4], m.m[i * 4 + 1], m.m[i * 4 + 2]}; }

rkVector Translation(const rkMatrix& m) { return {m.m[12], m.m[13], m.m[14]}; }

void SetTranslation(rkMatrix* m, rkVector t) {
    m->m[12] = t.x;
    m->m[13] = t.y;
    m->m[14] = t.z;
}

rkMatrix RotationPart(const rkMatrix& m) {
    rkMatrix r = m;
    SetTranslation(&r, {0, 0, 0});
    return r;
}

rkMatrix InverseAffine(const rkMatrix& m) {
    const float* a = m.m;
    // Adjugate of the upper 3x3 over its determinant.
    const float c00 = a[5] * a[10] - a[6] * a[9], c01 = a[6] * a[8] - a[4] * a[10],
                c02 = a[4] * a[9] - a[5] * a[8];
    const float det = a[0] * c00 + a[1] * c01 + a[2] * c02;
    const float k = det != 0.0f ? 1.0f / det : 0.0f;
    rkMatrix r;
    rkIdentity(&r);
    float* o = r.m;
    o[0] = c00 * k;
    o[1] = (a[2] * a[9] - a[1] * a[10]) * k;
    o[2] = (a[1] * a[6] - a[2] * a[5]) * k;
    o[4] = c01 * k;
    o[5] = (a[0] * a[10] - a[2] * a[8]) * k;
    o[6] = (a[2] * a[4] - a[0] * a[6]) * k;
    o[8] = c02 * k;
    o[9] = (a[1] * a[8] - a[0] * a[9]) * k;
    o[10] = (a[0] * a[5] - a[1] * a[4]) * k;
    const rkVector t = Translation(m);
    for (int c = 0; c < 3; ++c) o[12 + c] = -(t.x * o[c] + t.y * o[4 + c] + t.z * o[8 + c]);
    return r;
}

rkMatrix Rotation(int axis, float degrees) {
    rkMatrix r;
    rkRotationMatrix(&r, axis, Radians(degrees));
    return r;
}

rkMatrix operator*(const rkMatrix& a, const rkMatrix& b) {
    rkMatrix r;
    rkMultiply(&r, a, b);
    return r;
}

}  // namespace tavrel::assets
