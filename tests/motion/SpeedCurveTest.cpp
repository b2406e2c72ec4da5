// Speed curves: the time map keeps a clip's ends and never runs back, and a motion resampled
// with a curve plays its source at the curve's positions.
#include <gtest/gtest.h>

#include <random>

#include "MotionFiles.h"
#include "motion/Motion.h"
#include "motion/SpeedCurve.h"

namespace tavrel {
namespace {

using testing::TempDir;
using testing::WriteStandardMotion;

constexpr SpeedCurve kCurves[] = {kSpeedConstant, kSpeedEaseIn, kSpeedEaseOut, kSpeedEaseBoth};

TEST(SpeedCurve, TheTimeMapKeepsTheEndsAndNeverRunsBack) {
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        // Lengths up to the whole timeline, short ones more often.
        const int most = round % 4 == 0 ? 18000 : 60;
        const int length = 2 + int(random() % uint32_t(most - 1));
        const int source = 2 + int(random() % uint32_t(most - 1));
        for (SpeedCurve curve : kCurves) {
            SCOPED_TRACE(std::string(SpeedCurveName(curve)) + " " + std::to_string(length) +
                         " from " + std::to_string(source));
            ASSERT_EQ(SourcePosition(curve, 0, length, source), 0.0);
            ASSERT_EQ(SourcePosition(curve, length - 1, length, source), source - 1);
            double before = 0.0;
            for (int k = 1; k < length; ++k) {
                const double t = SourcePosition(curve, k, length, source);
                ASSERT_GE(t, before) << k;
                ASSERT_LE(t, source - 1) << k;
                before = t;
            }
        }
    }
}

// Each curve against the even stretch: an ease in lags behind it all the way, an ease out runs
// ahead, both lags in the first half and runs ahead in the second; at the middle both meet it.
TEST(SpeedCurve, EachCurveLagsOrLeadsTheEvenStretchAsItsNameSays) {
    const int length = 101, source = 51;
    for (int k = 1; k < length - 1; ++k) {
        const double even = SourcePosition(kSpeedConstant, k, length, source);
        EXPECT_DOUBLE_EQ(even, 50.0 * k / 100.0);
        EXPECT_LT(SourcePosition(kSpeedEaseIn, k, length, source), even) << k;
        EXPECT_GT(SourcePosition(kSpeedEaseOut, k, length, source), even) << k;
        const double both = SourcePosition(kSpeedEaseBoth, k, length, source);
        if (k < 50) {
            EXPECT_LT(both, even) << k;
        } else if (k > 50) {
            EXPECT_GT(both, even) << k;
        }
    }
    EXPECT_DOUBLE_EQ(SourcePosition(kSpeedEaseBoth, 50, length, source), 25.0);
    for (SpeedCurve curve : kCurves) {
        EXPECT_EQ(SpeedCurveNamed(SpeedCurveName(curve)), curve);
    }
    EXPECT_FALSE(SpeedCurveNamed("fast"));
    EXPECT_FALSE(SpeedCurveNamed(""));
}

// The test motion's root stands at x = its frame, so a resampled frame's root says which source
// position it shows. The constant curve writes what a plain stretch always wrote.
TEST(SpeedCurve, AnEasedResampleShowsTheSourceAtTheCurvesPositions) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 40);
    CMotion motion(dir / "m.chb", 0);
    ASSERT_EQ(motion.Resample(dir / "plain.chb", 61), 1);
    CMotion plain(dir / "plain.chb", 0);
    const auto rootX = [](CMotion& m, int k) { return m.GetPose(k)->GetRoot()->local.m[12]; };
    for (SpeedCurve curve : kCurves) {
        SCOPED_TRACE(SpeedCurveName(curve));
        const std::string path = dir / (std::string(SpeedCurveName(curve)) + ".chb");
        ASSERT_EQ(motion.Resample(path, 61, curve), 1);
        CMotion eased(path, 0);
        ASSERT_EQ(eased.GetFrameCount(), 61);
        for (int k : {0, 7, 30, 52, 60}) {
            EXPECT_NEAR(rootX(eased, k), SourcePosition(curve, k, 61, 40), 1e-3) << k;
        }
        const float middle = rootX(eased, 30), even = rootX(plain, 30);
        if (curve == kSpeedConstant) {
            EXPECT_EQ(testing::ReadBytes(path), testing::ReadBytes(dir / "plain.chb"));
        } else if (curve != kSpeedEaseBoth) {
            EXPECT_GT(std::abs(middle - even), 4.0f) << "the middle frame shows another moment";
        }
    }
    EXPECT_EQ(motion.Resample(dir / "bad.chb", 61, SpeedCurve(kSpeedCurveCount)), 0);
    EXPECT_EQ(motion.Resample(dir / "one.chb", 1, kSpeedEaseIn), 0);
}

}  // namespace
}  // namespace tavrel
