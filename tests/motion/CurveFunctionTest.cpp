#include "motion/CurveFunction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/DebugOutput.h"

namespace tavrel {
namespace {

TEST(CurveFunction, EndsAreFixedForEveryCurve) {
    for (const char* name : {"Linear", "EaseIn", "EaseOut", "Curve"}) {
        EXPECT_NEAR(CCurveFunction::GetValue(name, 0.0f), 0.0f, 1e-4f) << name;
        EXPECT_NEAR(CCurveFunction::GetValue(name, 1.0f), 1.0f, 1e-4f) << name;
    }
}

TEST(CurveFunction, ShapesLieOnTheirSideOfTheDiagonal) {
    for (float x = 0.05f; x < 0.96f; x += 0.05f) {
        EXPECT_FLOAT_EQ(CCurveFunction::GetValue("Linear", x), x);
        EXPECT_LT(CCurveFunction::GetValue("EaseIn", x), x) << x;
        EXPECT_GT(CCurveFunction::GetValue("EaseOut", x), x) << x;
    }
    EXPECT_NEAR(CCurveFunction::GetValue("Curve", 0.5f), 0.5f, 1e-3f);
    EXPECT_LT(CCurveFunction::GetValue("Curve", 0.2f), 0.2f);
    EXPECT_GT(CCurveFunction::GetValue("Curve", 0.8f), 0.8f);
}

TEST(CurveFunction, MatchesTheBezierAtASolvedParameter) {
    // At u = 0.5 the EaseIn curve has X = 0.5 and Y = 3/8 * 0.2 * 2 + 1/8 = 0.275.
    EXPECT_NEAR(CCurveFunction::GetValue("EaseIn", 0.5f), 0.275f, 1e-3f);
    EXPECT_NEAR(CCurveFunction::GetValue("EaseOut", 0.5f), 0.725f, 1e-3f);
}

TEST(CurveFunction, RefusesBadProgressAndUnknownNames) {
    DebugCapture capture;
    EXPECT_EQ(CCurveFunction::GetValue("Linear", 1.0001f), 0.0f);
    EXPECT_EQ(CCurveFunction::GetValue("Linear", -0.1f), 0.0f);
    EXPECT_EQ(CCurveFunction::GetValue("Curve", std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(capture.Text(),
              "CCurveFunction::GetValue() failed: fInValue not valid.\n"
              "CCurveFunction::GetValue() failed: fInValue not valid.\n"
              "CCurveFunction::GetValue() failed: fInValue not valid.\n");
    capture.Clear();
    EXPECT_EQ(CCurveFunction::GetValue("linear", 0.5f), 0.0f);
    EXPECT_EQ(CCurveFunction::GetValue(nullptr, 0.5f), 0.0f);
    EXPECT_EQ(capture.Text(),
              "CCurveFunction::GetValue() failed: sTypeName not support.\n"
              "CCurveFunction::GetValue() failed: sTypeName not support.\n");
}

}  // namespace
}  // namespace tavrel
