#pragma once
// A clip's speed curve: how its playback speed changes over its length while the length stays.
// The curve maps each frame of the played motion to a position in its source: both ends meet
// the source's ends, and the position never runs back.
#include <cstdint>
#include <optional>
#include <string_view>

namespace tavrel {

enum SpeedCurve : uint8_t {
    kSpeedConstant = 0,  // the plain timing: an even stretch
    kSpeedEaseIn = 1,    // starts slow and speeds up
    kSpeedEaseOut = 2,   // starts fast and slows down
    kSpeedEaseBoth = 3,  // slow at both ends, fast in the middle
    kSpeedCurveCount = 4
};

// "none", "in", "out", "both", as the command line and the documents name them.
std::string_view SpeedCurveName(SpeedCurve curve);
std::optional<SpeedCurve> SpeedCurveNamed(std::string_view name);

// Where frame k of a motion of newLength frames (at least 2) falls in a source of
// sourceLength frames: 0 at k = 0, sourceLength - 1 at the last frame. The constant curve gives
// the even stretch exactly as a resample always has.
double SourcePosition(SpeedCurve curve, int k, int newLength, int sourceLength);

}  // namespace tavrel
