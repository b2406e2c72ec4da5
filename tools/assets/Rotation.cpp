#include "tools/assets/Rotation.h"

#include "ZU2/rkUtil.h"

namespace tavrel::assets {

rkVector Row(const rkMatrix& m, int i) {
    return {m.m[i * 4], m.m[i * 4 + 1], m.m[i * 4 + 2]};
}

void SetTranslation(rkMatrix* m, rkVector t) {
    m->m[12] = t.x;
    m->m[13] = t.y;
    m->m[14] = t.z;
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

}  // namespace tavrel::assets
