#include "motion/QuatSpline.h"

#include <cmath>

namespace tavrel {
namespace {

// The Hamilton product: the rotation b, then a, for column vectors.
Quat Hamilton(const Quat& a, const Quat& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

// log and exp of unit quaternions, as the vector part (w = 0).
Quat Log(const Quat& q) {
    const double v = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z);
    if (v < 1e-9) return {0, 0, 0, 0};
    const double s = std::atan2(v, double(q.w)) / v;
    return {0, float(q.x * s), float(q.y * s), float(q.z * s)};
}

Quat Exp(const Quat& q) {
    const double a = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z);
    if (a < 1e-9) return {1, q.x, q.y, q.z};
    const double s = std::sin(a) / a;
    return {float(std::cos(a)), float(q.x * s), float(q.y * s), float(q.z * s)};
}

// The same rotation as q, on q's side of reference (so no segment takes the long way).
Quat Near(const Quat& q, const Quat& reference) {
    const float dot = q.w * reference.w + q.x * reference.x + q.y * reference.y + q.z * reference.z;
    return dot < 0 ? Quat{-q.w, -q.x, -q.y, -q.z} : q;
}

// Slerp along the arc from a to b as given, without turning to the shorter one: the spline's
// points are put on one side beforehand, and flipping in between would make the curve jump.
Quat ArcSlerp(const Quat& a, const Quat& b, float t) {
    double d = double(a.w) * b.w + double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
    d = d > 1.0 ? 1.0 : d < -1.0 ? -1.0 : d;
    double s1 = 1.0 - t, s2 = t;
    const double omega = std::acos(d);
    if (std::sin(omega) > 1e-6) {
        s1 = std::sin((1.0 - t) * omega) / std::sin(omega);
        s2 = std::sin(t * omega) / std::sin(omega);
    }
    return {float(s1 * a.w + s2 * b.w), float(s1 * a.x + s2 * b.x), float(s1 * a.y + s2 * b.y),
            float(s1 * a.z + s2 * b.z)};
}

// The inner control point at q1 between its neighbours.
Quat Tangent(const Quat& q0, const Quat& q1, const Quat& q2) {
    const Quat inverse = QuatConjugate(q1);
    const Quat a = Log(Hamilton(inverse, q2));
    const Quat b = Log(Hamilton(inverse, q0));
    return Hamilton(q1, Exp({0, -(a.x + b.x) / 4, -(a.y + b.y) / 4, -(a.z + b.z) / 4}));
}

}  // namespace

Quat QuatMultiply(const Quat& a, const Quat& b) {
    // Row vectors: the matrix of a then b is A * B, the Hamilton product b * a.
    return Hamilton(b, a);
}

Quat QuatConjugate(const Quat& q) {
    return {q.w, -q.x, -q.y, -q.z};
}

Quat QuatNormalized(const Quat& q) {
    const double n =
        std::sqrt(double(q.w) * q.w + double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z);
    if (n < 1e-12) return {1, 0, 0, 0};
    return {float(q.w / n), float(q.x / n), float(q.y / n), float(q.z / n)};
}

float QuatAngle(const Quat& q) {
    const Quat n = QuatNormalized(q);
    const double v = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
    return float(2.0 * std::atan2(v, std::fabs(double(n.w))));
}

Quat SplineBetween(const Quat& q0, const Quat& q1, const Quat& q2, const Quat& q3, float t) {
    const Quat b = QuatNormalized(q1);
    const Quat c = Near(QuatNormalized(q2), b);
    const Quat a = Near(QuatNormalized(q0), b);
    const Quat d = Near(QuatNormalized(q3), c);
    const Quat s1 = Near(Tangent(a, b, c), b);
    const Quat s2 = Near(Tangent(b, c, d), c);
    return QuatNormalized(ArcSlerp(ArcSlerp(b, c, t), ArcSlerp(s1, s2, t), 2.0f * t * (1.0f - t)));
}

}  // namespace tavrel
