#pragma once
// Rotation quaternions (w, x, y, z) and their conversion to and from the rotation part of an
// rkMatrix (row-vector convention).
#include "ZU2/rkMath.h"

namespace tavrel {

struct Quat {
    float w, x, y, z;
};

// The rotation part of m as a quaternion.
Quat MatrixToQuat(const rkMatrix& m);
// Writes the rotation of q (any non-zero length) into the upper 3x3 of out; the fourth row and
// column become (0, 0, 0, 1), so callers that keep a translation put it back afterwards.
void QuatToMatrix(const Quat& q, rkMatrix* out);
// Spherical interpolation from q1 (t = 0) to q2 (t = 1) along the shorter arc.
Quat Slerp(const Quat& q1, const Quat& q2, float t);

}  // namespace tavrel
