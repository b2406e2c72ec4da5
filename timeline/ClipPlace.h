#pragma once
// A motion clip's place on the ground and its two switches, carried in the clip's three offset
// numbers so that project files keep their fields: offset[0] and [1] the shift along the floor
// in the motion's units, offset[2] the heading in hundredths of a degree (0 to 35999) plus
// 36000 for "Keep its own place", 72000 for feet left free and 144000 for a blend into the next
// clip that keeps both clips' own timing. Zeros: no shift, placement that continues, feet kept
// planted, steps kept in step.
#include <array>
#include <cstdint>

#include "motion/GroundPlace.h"

namespace tavrel {

struct ClipPlace {
    GroundPlace ground;
    bool ownPlace = false;  // the clip keeps its place whatever comes before it
    bool feetFree = false;  // its planted feet are not held through blends
    bool ownTiming = false;  // its blend into the next clip does not bring their steps in step

    bool operator==(const ClipPlace&) const = default;
};

// Any three numbers decode to a sound place (out of range switches read as off).
ClipPlace ClipPlaceOf(const std::array<int32_t, 3>& offset);
std::array<int32_t, 3> OffsetOf(const ClipPlace& place);

}  // namespace tavrel
