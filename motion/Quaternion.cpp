#include "motion/Quaternion.h"

#include <cmath>

namespace tavrel {

Quat MatrixToQuat(const rkMatrix& matrix) {
    auto m = [&](int r, int c) { return double(matrix.m[r * 4 + c]); };
    const double t = m(0, 0) + m(1, 1) + m(2, 2);
    if (t > 0.0) {
        double s = std::sqrt(t + 1.0);
        const double w = s / 2.0;
        s = 0.5 / s;
        return {float(w), float((m(1, 2) - m(2, 1)) * s), float((m(2, 0) - m(0, 2)) * s),
                float((m(0, 1) - m(1, 0)) * s)};
    }
    int i = 0;
    if (m(1, 1) > m(0, 0)) i = 1;
    if (m(2, 2) > m(i, i)) i = 2;
    const int j = (i + 1) % 3;
    const int k = (j + 1) % 3;
    double s = std::sqrt(m(i, i) - (m(j, j) + m(k, k)) + 1.0);
    double q[3];
    q[i] = s / 2.0;
    s = 0.5 / s;
    const double w = (m(j, k) - m(k, j)) * s;
    q[j] = (m(i, j) + m(j, i)) * s;
    q[k] = (m(i, k) + m(k, i)) * s;
    return {float(w), float(q[0]), float(q[1]), float(q[2])};
}

void QuatToMatrix(const Quat& q, rkMatrix* out) {
    const double w = q.w, x = q.x, y = q.y, z = q.z;
    const double s = 2.0 / (x * x + y * y + z * z + w * w);
    float* m = out->m;
    m[0] = float(1.0 - s * (y * y + z * z));
    m[1] = float(s * (x * y + w * z));
    m[2] = float(s * (x * z - w * y));
    m[4] = float(s * (x * y - w * z));
    m[5] = float(1.0 - s * (x * x + z * z));
    m[6] = float(s * (y * z + w * x));
    m[8] = float(s * (x * z + w * y));
    m[9] = float(s * (y * z - w * x));
    m[10] = float(1.0 - s * (x * x + y * y));
    m[3] = m[7] = m[11] = 0.0f;
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
}

Quat Slerp(const Quat& q1, const Quat& q2in, float t) {
    const double a[4] = {q1.w, q1.x, q1.y, q1.z};
    double b[4] = {q2in.w, q2in.x, q2in.y, q2in.z};
    double sum = 0.0, diff = 0.0;
    for (int i = 0; i < 4; ++i) {
        sum += (a[i] + b[i]) * (a[i] + b[i]);
        diff += (a[i] - b[i]) * (a[i] - b[i]);
    }
    if (sum < diff) {
        for (double& v : b) v = -v;  // take the shorter arc
    }
    double d = 0.0;
    for (int i = 0; i < 4; ++i) d += a[i] * b[i];
    double s1 = 1.0 - t, s2 = t;
    constexpr double kEpsilon = 2.220446e-16;
    if (1.0 - d > kEpsilon) {
        const double omega = std::acos(d);
        const double sinOmega = std::sin(omega);
        s1 = std::sin((1.0 - t) * omega) / sinOmega;
        s2 = std::sin(t * omega) / sinOmega;
    }
    return {float(s1 * a[0] + s2 * b[0]), float(s1 * a[1] + s2 * b[1]),
            float(s1 * a[2] + s2 * b[2]), float(s1 * a[3] + s2 * b[3])};
}

}  // namespace tavrel
