#pragma once
// The line figures of the 3D world: the ground grid and the rotation ring.
#include "ZU2/rkObject.h"

namespace tavrel {

// A square grid of side `side` with cells x cells cells in the plane z = 0, as a line list.
rkVisual* rkCreateGridVisual(float side, int cells);
// Two circles of radii r and r + 0.1 about axis 0 (X), 1 (Y) or 2 (Z), with an arrow head at
// half a turn on the outer one, as a line list.
rkVisual* rkCreateRingVisual(float radius, int axis);

}  // namespace tavrel
