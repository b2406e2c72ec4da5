#include "ZU2/rkUtil.h"

#include <cmath>

#include "ZU2/rkMessage.h"

namespace {

constexpr float kTiny = 1e-6f;

}  // namespace

bool rkBuildViewMatrix(rkMatrix* out, const rkVector& eye, rkVector* direction,
                       const rkVector& up, const char* source, int line) {
    rkIdentity(out);
    if (rkLength(*direction) < kTiny) {
        rkMessage("BuildViewMatrix fail. (%s:%d)", source, line);
        return false;
    }
    const rkVector d = *direction = rkNormalize(*direction);

    // Fall back to the y, then the z axis when up is (nearly) parallel to the direction.
    rkVector u = rkReject(up, d);
    if (rkLength(u) < kTiny) u = rkReject({0, 1, 0}, d);
    if (rkLength(u) < kTiny) u = rkReject({0, 0, 1}, d);
    if (rkLength(u) < kTiny) {
        rkMessage("BuildViewMatrix fail. (%s:%d)", source, line);
        return false;
    }
    u = rkNormalize(u);
    const rkVector r = rkCross(u, d);

    float* m = out->m;
    m[0] = r.x, m[1] = u.x, m[2] = d.x;
    m[4] = r.y, m[5] = u.y, m[6] = d.y;
    m[8] = r.z, m[9] = u.z, m[10] = d.z;
    m[12] = -rkDot(eye, r), m[13] = -rkDot(eye, u), m[14] = -rkDot(eye, d);
    return true;
}

void rkProjectionMatrix(rkMatrix* out, float nearPlane, float farPlane, float fieldOfView,
                        float aspect) {
    const float q = farPlane / (farPlane - nearPlane);
    float* m = out->m;
    for (int i = 0; i < 16; ++i) m[i] = 0.0f;
    // The vertical half-angle follows from the horizontal one: tan(v / 2) = aspect x
    // tan(h / 2). Scaling the angle itself instead would stretch pixels and turn the picture
    // over in tall windows.
    const float tanHalf = std::tan(fieldOfView / 2.0f);
    m[0] = 1.0f / tanHalf;
    m[5] = 1.0f / (tanHalf * aspect);
    m[10] = q;
    m[11] = 1.0f;
    m[14] = -q * nearPlane;
}

bool rkInvert(rkMatrix* out, const rkMatrix& in) {
    // Cofactor expansion in double precision: the far plane may sit at the largest float.
    double a[16], inv[16];
    for (int i = 0; i < 16; ++i) a[i] = in.m[i];
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] +
             a[9] * a[7] * a[14] + a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] -
             a[8] * a[7] * a[14] - a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] +
             a[8] * a[7] * a[13] + a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] -
              a[8] * a[6] * a[13] - a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] -
             a[9] * a[3] * a[14] - a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] +
             a[8] * a[3] * a[14] + a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] -
             a[8] * a[3] * a[13] - a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] +
              a[8] * a[2] * a[13] + a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] +
             a[5] * a[3] * a[14] + a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] -
             a[4] * a[3] * a[14] - a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] +
              a[4] * a[3] * a[13] + a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] -
              a[4] * a[2] * a[13] - a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] -
             a[5] * a[3] * a[10] - a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] +
             a[4] * a[3] * a[10] + a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] -
              a[4] * a[3] * a[9] - a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] +
              a[4] * a[2] * a[9] + a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
    const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det)) return false;
    for (int i = 0; i < 16; ++i) out->m[i] = static_cast<float>(inv[i] / det);
    return true;
}
