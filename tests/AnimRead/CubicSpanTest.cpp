// One cubic span serves COLLADA's curved keys and the glTF and FBX splines: a Hermite span must
// be Hermite's curve, and a span whose handles lie anywhere within it must be read at the
// point of the curve whose time is asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "AnimRead/SceneFileRead/CubicSpan.h"

namespace tavrel {
namespace {

double Bernstein(const double* p, double u) {
    const double w = 1 - u;
    return w * w * w * p[0] + 3 * w * w * u * p[1] + 3 * w * u * u * p[2] + u * u * u * p[3];
}

TEST(CubicSpan, HermiteSpansFollowTheirKeysAndSlopes) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> any(-10, 10), length(0.01, 5), unit(0, 1);
    for (int i = 0; i < 5000; ++i) {
        const double t0 = any(random), t1 = t0 + length(random), span = t1 - t0;
        const double v0 = any(random), v1 = any(random), m0 = any(random), m1 = any(random);
        const CUBICSPAN curve = CUBICSPAN::Hermite(t0, v0, m0, t1, v1, m1);
        const double s = unit(random), s2 = s * s, s3 = s2 * s;
        const double expected = (2 * s3 - 3 * s2 + 1) * v0 + (s3 - 2 * s2 + s) * span * m0 +
                                (-2 * s3 + 3 * s2) * v1 + (s3 - s2) * span * m1;
        ASSERT_NEAR(curve.ValueAt(t0 + s * span), expected, 1e-9 * (1 + std::fabs(expected)));
        ASSERT_NEAR(curve.ValueAt(t0), v0, 1e-12 * (1 + std::fabs(v0)));
        ASSERT_NEAR(curve.ValueAt(t1), v1, 1e-9 * (1 + std::fabs(v1)));
    }
}

TEST(CubicSpan, AnySpanIsReadWhereItsTimeFallsAndEvenHandlesAsOthers) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> any(-10, 10), length(0.01, 5), unit(0, 1);
    for (int i = 0; i < 5000; ++i) {
        const double t0 = any(random), t1 = t0 + length(random), span = t1 - t0;
        const CUBICSPAN curve{{t0, t0 + unit(random) * span, t0 + unit(random) * span, t1},
                              {any(random), any(random), any(random), any(random)}};
        const double u = unit(random);
        ASSERT_NEAR(curve.ValueAt(Bernstein(curve.t, u)), Bernstein(curve.v, u), 1e-6);
        // Handles a hair off the thirds take the general way; they must land where the even
        // way does.
        CUBICSPAN even = curve, near = curve;
        even.t[1] = t0 + span / 3, even.t[2] = t1 - span / 3;
        near.t[1] = std::nextafter(even.t[1], t1), near.t[2] = even.t[2];
        const double at = t0 + u * span;
        ASSERT_NEAR(even.ValueAt(at), near.ValueAt(at), 1e-6) << "at " << at;
    }
}

}  // namespace
}  // namespace tavrel
