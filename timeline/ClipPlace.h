#pragma once
// A motion clip's place on the ground and its two switches, carried in the clip's three offset
// numbers so that project files keep their fields: offset[0] and [1] the shift along the floor
// in the motion's units, offset[2] the heading in hundredths of a degree (0 to 35999) plus
// 36000 for "Keep its own place" and 72000 for feet left free. Zeros: no shift, placement that
// continues, feet kept planted.
#include <array>
#include <cstdint>

#include "motion/GroundPlace.h"

namespace tavrel {

struct ClipPlace {
    GroundPlace ground;
    bool ownPlace = false;  // the clip keeps its place whatever comes before it
    bool feetFree = false;  // its planted feet are not held through blends

    bool operator==(const ClipPlace&) const = default;
};

// Any three numbers decode to a sound place (out of range switches read as off).
ClipPlace ClipPlaceOf(const std::array<int32_t, 3>& offset);
std::array<int32_t, 3> OffsetOf(const ClipPlace& place);

}  // namespace tavrel
