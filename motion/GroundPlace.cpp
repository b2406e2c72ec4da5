#include "motion/GroundPlace.h"

#include <cmath>

namespace tavrel {
namespace {

// (x, y) turned counter-clockwise by the heading.
void Turn(float heading, float& x, float& y) {
    const float c = std::cos(heading), s = std::sin(heading);
    const float tx = x * c - y * s;
    y = x * s + y * c;
    x = tx;
}

}  // namespace

GroundPlace RootPlaceOf(const rkNode* root) {
    if (!root) return {};
    const float* m = root->local.m;
    const float heading = std::atan2(m[1], m[0]);
    return {m[12], m[13], std::isfinite(heading) ? heading : 0.0f};
}

rkVector PlacePoint(const rkVector& p, const GroundPlace& place) {
    rkVector q = p;
    Turn(place.heading, q.x, q.y);
    return {q.x + place.x, q.y + place.y, q.z};
}

GroundPlace PlaceOnPlace(const GroundPlace& root, const GroundPlace& place) {
    const rkVector p = PlacePoint({root.x, root.y, 0.0f}, place);
    return {p.x, p.y, root.heading + place.heading};
}

void PlacePose(rkNode* root, const GroundPlace& place) {
    if (!root || (place.x == 0.0f && place.y == 0.0f && place.heading == 0.0f)) return;
    float* m = root->local.m;
    // Each row of the root's matrix (its axes and its origin) turns about the vertical.
    for (int row = 0; row < 4; ++row) Turn(place.heading, m[row * 4], m[row * 4 + 1]);
    m[12] += place.x;
    m[13] += place.y;
    root->flags |= RK_NODE_CHANGED;
}

GroundPlace ContinuingPlace(const GroundPlace& start, const GroundPlace& onto) {
    GroundPlace place{0.0f, 0.0f, onto.heading - start.heading};
    float x = start.x, y = start.y;
    Turn(place.heading, x, y);
    place.x = onto.x - x;
    place.y = onto.y - y;
    return place;
}

}  // namespace tavrel
