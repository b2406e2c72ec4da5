#pragma once
// One span of a cubic curve in the (time, value) plane, by its four Bezier control points: the
// keys at its ends and a handle after the first and before the second. Handles lie within the
// span in time, so that the curve has one value at each time. COLLADA's curved keys and the
// splines of glTF and FBX are all read as such spans.

namespace tavrel {

struct CUBICSPAN {
    double t[4], v[4];

    // Hermite's curve between two keys, with the slopes (value units a second) leaving the
    // first and arriving at the second: its handles lie at the span's thirds in time.
    static CUBICSPAN Hermite(double t0, double v0, double slope0, double t1, double v1,
                             double slope1);

    // The value at a time within the span.
    double ValueAt(double seconds) const;
};

}  // namespace tavrel
