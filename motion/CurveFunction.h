#pragma once
// Transition curves: map the linear progress of a transition (0..1) to a mixing weight.
// Names: "Linear", "EaseIn", "EaseOut", "Curve", "Inertial" (exact case), in the order of their
// indices. "Inertial" is the share of the incoming clip in an inertial blend: it rises as a
// smooth step, with no slope at either end, while the outgoing motion runs on with its own
// velocity dying away.
#include <cstdint>

namespace tavrel {

// A transition curve by index, as clips and project files store it; other values name none.
enum CurveType : uint32_t {
    kCurveLinear = 0,
    kCurveEaseIn = 1,
    kCurveEaseOut = 2,
    kCurveCurve = 3,
    kCurveInertial = 4,
    kCurveCount = 5
};

class CCurveFunction {
public:
    // The weight for progress x; 0 (with a debug line) for x outside [0, 1] or an unknown name.
    static float GetValue(const char* name, float x);
    // The same by index; an index that names no curve is an unknown name.
    static float GetValue(CurveType curve, float x);
};

}  // namespace tavrel
