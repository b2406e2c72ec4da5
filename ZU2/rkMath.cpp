#include "ZU2/rkMath.h"

#include <cmath>
#include <cstring>

void rkIdentity(rkMatrix* out) {
    std::memset(out->m, 0, sizeof out->m);
    out->m[0] = out->m[5] = out->m[10] = out->m[15] = 1.0f;
}

bool rkIsIdentity(const rkMatrix& a, float tolerance) {
    for (int i = 0; i < 16; ++i) {
        const float expected = (i % 5 == 0) ? 1.0f : 0.0f;
        if (std::fabs(a.m[i] - expected) > tolerance) return false;
    }
    return true;
}

void rkMultiply(rkMatrix* out, const rkMatrix& a, const rkMatrix& b) {
    rkMatrix r;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            r.m[row * 4 + col] = a.m[row * 4 + 0] * b.m[0 + col] + a.m[row * 4 + 1] * b.m[4 + col] +
                                 a.m[row * 4 + 2] * b.m[8 + col] + a.m[row * 4 + 3] * b.m[12 + col];
        }
    }
    *out = r;
}

rkVector rkTransformPoint(const rkVector& p, const rkMatrix& m) {
    const float* e = m.m;
    float x = p.x * e[0] + p.y * e[4] + p.z * e[8] + e[12];
    float y = p.x * e[1] + p.y * e[5] + p.z * e[9] + e[13];
    float z = p.x * e[2] + p.y * e[6] + p.z * e[10] + e[14];
    const float w = p.x * e[3] + p.y * e[7] + p.z * e[11] + e[15];
    if (w != 1.0f && w != 0.0f) {
        x /= w;
        y /= w;
        z /= w;
    }
    return {x, y, z};
}

void rkRotationMatrix(rkMatrix* out, int axis, float angle) {
    rkIdentity(out);
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    float* m = out->m;
    switch (axis) {
        case 0:
            m[5] = c, m[6] = s, m[9] = -s, m[10] = c;
            break;
        case 1:
            m[0] = c, m[2] = -s, m[8] = s, m[10] = c;
            break;
        case 2:
            m[0] = c, m[1] = s, m[4] = -s, m[5] = c;
            break;
        default:
            break;
    }
}

rkVector rkNormalize(const rkVector& v) {
    const float len = rkLength(v);
    if (len == 0.0f) return v;
    return {v.x / len, v.y / len, v.z / len};
}

void rkNormalMatrix(rkMatrix* out, const rkMatrix& in) {
    const float* e = in.m;
    rkVector r0 = rkNormalize({e[0], e[1], e[2]});
    rkVector r1 = rkNormalize(rkReject({e[4], e[5], e[6]}, r0));
    rkVector r2 = rkNormalize(rkReject(rkReject({e[8], e[9], e[10]}, r0), r1));
    // A mirroring matrix would turn normals inside out; flipping all rows keeps them outward.
    if (rkDot(rkCross(r1, r2), r0) < 0.0f) {
        r0 = {-r0.x, -r0.y, -r0.z};
        r1 = {-r1.x, -r1.y, -r1.z};
        r2 = {-r2.x, -r2.y, -r2.z};
    }
    rkIdentity(out);
    float* m = out->m;
    m[0] = r0.x, m[1] = r0.y, m[2] = r0.z;
    m[4] = r1.x, m[5] = r1.y, m[6] = r1.z;
    m[8] = r2.x, m[9] = r2.y, m[10] = r2.z;
}

rkMatrix rkRotationPart(const rkMatrix& m) {
    rkMatrix r = m;
    r.m[12] = r.m[13] = r.m[14] = 0.0f;
    return r;
}

rkMatrix rkTransposed(const rkMatrix& m) {
    rkMatrix t = m;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) t.m[r * 4 + c] = m.m[c * 4 + r];
    }
    return t;
}

rkMatrix rkRows(rkVector a, rkVector b, rkVector c) {
    rkMatrix m;
    rkIdentity(&m);
    const rkVector rows[3] = {a, b, c};
    for (int r = 0; r < 3; ++r) {
        m.m[r * 4] = rows[r].x, m.m[r * 4 + 1] = rows[r].y, m.m[r * 4 + 2] = rows[r].z;
    }
    return m;
}

rkMatrix rkAffineInverse(const rkMatrix& m) {
    // Stored rotations are rounded, so not quite orthonormal: the transpose would not do.
    const float* a = m.m;
    const float c00 = a[5] * a[10] - a[6] * a[9], c01 = a[6] * a[8] - a[4] * a[10],
                c02 = a[4] * a[9] - a[5] * a[8];
    const float det = a[0] * c00 + a[1] * c01 + a[2] * c02;
    rkMatrix r;
    rkIdentity(&r);
    if (!(std::fabs(det) > 1e-12f)) return r;
    const float k = 1.0f / det;
    r.m[0] = c00 * k, r.m[1] = (a[2] * a[9] - a[1] * a[10]) * k,
    r.m[2] = (a[1] * a[6] - a[2] * a[5]) * k;
    r.m[4] = c01 * k, r.m[5] = (a[0] * a[10] - a[2] * a[8]) * k,
    r.m[6] = (a[2] * a[4] - a[0] * a[6]) * k;
    r.m[8] = c02 * k, r.m[9] = (a[1] * a[8] - a[0] * a[9]) * k,
    r.m[10] = (a[0] * a[5] - a[1] * a[4]) * k;
    for (int col = 0; col < 3; ++col) {
        r.m[12 + col] = -(a[12] * r.m[col] + a[13] * r.m[4 + col] + a[14] * r.m[8 + col]);
    }
    return r;
}

rkMatrix rkArcRotation(const rkVector& from, const rkVector& to) {
    rkMatrix r;
    rkIdentity(&r);
    const float lf = rkLength(from), lt = rkLength(to);
    if (!(lf > 1e-6f) || !(lt > 1e-6f)) return r;
    const rkVector u = from * (1.0f / lf), v = to * (1.0f / lt);
    rkVector axis = rkCross(u, v);
    float s = rkLength(axis), c = rkDot(u, v);
    if (s < 1e-6f) {
        if (c > 0.0f) return r;
        // Opposite: any axis across the direction does, half a turn about it.
        axis = rkCross(u, std::fabs(u.x) < 0.9f ? rkVector{1, 0, 0} : rkVector{0, 1, 0});
        s = 0.0f, c = -1.0f;
    }
    // Rounding leaves the axis a little along u; for nearly opposite directions that little
    // would turn u far from v, so the axis is made exactly square to u.
    const rkVector k = rkNormalize(rkReject(axis, u));
    const float h = std::hypot(s, c);
    s /= h, c /= h;
    // Row-vector form of Rodrigues' rotation: the transpose of the column form.
    const float kv[3] = {k.x, k.y, k.z};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) r.m[row * 4 + col] = (1.0f - c) * kv[row] * kv[col];
        r.m[row * 4 + row] += c;
    }
    r.m[1] += s * k.z, r.m[2] -= s * k.y;
    r.m[4] -= s * k.z, r.m[6] += s * k.x;
    r.m[8] += s * k.y, r.m[9] -= s * k.x;
    return r;
}
