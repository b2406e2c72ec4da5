#pragma once
// The shape a ghost draws of a body part: the part's triangles with their vertices merged on a
// grid. A faint ghost needs the figure's outline, not its folds, and a software renderer spends
// its time per vertex and triangle: eight ghosts must cost less than the avatar itself.
#include "ZU2/rkMesh.h"

namespace tavrel {

// A new indexed triangle list (free with rkFreeMesh): the vertices of each grid cell of side
// `cell` become one at their mean place, triangles left without area go. Null for a mesh that
// is no triangle list or has no vertices; the caller then draws the mesh itself.
rkMesh* rkCreateGhostMesh(const rkMesh& body, float cell);

}  // namespace tavrel
