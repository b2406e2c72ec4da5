#pragma once
// A smooth curve through rotations: between two of them it bends toward their neighbours so
// that the turn's speed runs on through each key instead of stopping there.
#include "motion/Quaternion.h"

namespace tavrel {

Quat QuatMultiply(const Quat& a, const Quat& b);  // a then b, as for matrices
Quat QuatConjugate(const Quat& q);
Quat QuatNormalized(const Quat& q);
// The rotation's angle in radians (0 to pi).
float QuatAngle(const Quat& q);

// The spline from q1 (t = 0) to q2 (t = 1) with q0 before q1 and q3 after q2: spherical
// quadrangle interpolation with tangents from the neighbours. With q0 = q1 and q2 = q3 it is
// the slerp from q1 to q2 eased at both ends.
Quat SplineBetween(const Quat& q0, const Quat& q1, const Quat& q2, const Quat& q3, float t);

}  // namespace tavrel
