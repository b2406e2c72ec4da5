#include "tools/assets/Rotation.h"

#include <cmath>

#include "ZU2/rkUtil.h"

namespace tavrel::assets {

float Length(rkVector a) {
    return std::sqrt(Dot(a, a));
}

rkVector Lerp(rkVector a, rkVector b, float t) {
    return a + (b - a) * t;
}

rkVector Row(const rkMatrix& m, int i) {
    return {m.m[i * 4], m.m[i * 4 + 1], m.m[i * 4 + 2]};
}

rkVector Translation(const rkMatrix& m) {
    return {m.m[12], m.m[13], m.m[14]};
}

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

rkMatrix Inverse(const rkMatrix& m) {
    rkMatrix r;
    if (!rkInvert(&r, m)) rkIdentity(&r);
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
