#pragma once
// Transition curves: map the linear progress of a transition (0..1) to a mixing weight.
// Names: "Linear", "EaseIn", "EaseOut", "Curve" (exact case).

namespace tavrel {

class CCurveFunction {
public:
    // The weight for progress x; 0 (with a debug line) for x outside [0, 1] or an unknown name.
    static float GetValue(const char* name, float x);
};

}  // namespace tavrel
