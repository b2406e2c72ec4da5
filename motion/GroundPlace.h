#pragma once
// Where a motion stands on the ground: a shift along the floor and a heading (a turn about the
// vertical, Z). A clip's place moves its whole motion; the root's own place says where a pose
// stands and which way it faces.
#include "ZU2/rkNode.h"

namespace tavrel {

// The height of the ground the avatar stands on in the 3D world (exports put it at zero).
inline constexpr float kGroundHeight = 0.0f;

struct GroundPlace {
    float x = 0.0f, y = 0.0f;  // along the floor
    float heading = 0.0f;      // radians, counter-clockwise seen from above

    bool operator==(const GroundPlace&) const = default;
};

// The root's place: its position on the floor and the heading of its side axis (which stays
// level while the body bends).
GroundPlace RootPlaceOf(const rkNode* root);
// A point of a motion, or a root's place, as the clip's place puts it in the world.
rkVector PlacePoint(const rkVector& p, const GroundPlace& place);
GroundPlace PlaceOnPlace(const GroundPlace& root, const GroundPlace& place);
// Turns the pose's root about the vertical through the origin, then shifts it along the floor.
void PlacePose(rkNode* root, const GroundPlace& place);
// The clip place that puts a motion whose root stands at `start` onto `onto` (same floor
// position and heading).
GroundPlace ContinuingPlace(const GroundPlace& start, const GroundPlace& onto);

}  // namespace tavrel
