#include "AnimRead/SceneFileRead/CubicSpan.h"

namespace tavrel {
namespace {

double Bezier(const double* p, double u) {
    const double w = 1 - u;
    return w * w * w * p[0] + 3 * w * w * u * p[1] + 3 * w * u * u * p[2] + u * u * u * p[3];
}

}  // namespace

CUBICSPAN CUBICSPAN::Hermite(double t0, double v0, double slope0, double t1, double v1,
                             double slope1) {
    const double span = t1 - t0;
    return {{t0, t0 + span / 3, t1 - span / 3, t1},
            {v0, v0 + slope0 * span / 3, v1 - slope1 * span / 3, v1}};
}

double CUBICSPAN::ValueAt(double seconds) const {
    const double span = t[3] - t[0];
    // Handles at the thirds make the time go evenly along the curve.
    if (t[1] == t[0] + span / 3 && t[2] == t[3] - span / 3)
        return Bezier(v, (seconds - t[0]) / span);
    double low = 0, high = 1;  // the time rises with the curve's parameter: halve to it
    for (int i = 0; i < 60 && high - low > 1e-12; ++i) {
        const double middle = (low + high) / 2;
        (Bezier(t, middle) < seconds ? low : high) = middle;
    }
    return Bezier(v, (low + high) / 2);
}

}  // namespace tavrel
