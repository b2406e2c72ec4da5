#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "compose/FrameMixer.h"
#include "compose/PoseEvaluator.h"
#include "tests/compose/Blends.h"
#include "tests/support/PoseSteps.h"

namespace tavrel {
namespace {

const std::string kShare = TAVREL_SHARE_DIR;

// Through an inertial blend of random pairs of the bundled motions: its first frame is the
// outgoing clip's pose and the frame after it the incoming clip's, as through a plain fade; every
// frame is finite with or without held feet.
TEST(InertialBlend, StartsAsTheOutgoingClipAndEndsAsTheIncomingOne) {
    const std::vector<std::string> files = testing::BundledSamples(kShare);
    ASSERT_GE(files.size(), 2u);
    std::mt19937 random(7);
    CMotionManager manager;
    CPoseEvaluator evaluator(manager, kShare + "/Init.chb");
    for (int pair = 0; pair < 24; ++pair) {
        const std::string& a = files[random() % files.size()];
        const std::string& b = files[random() % files.size()];
        const int length = 2 + int(random() % 40);
        const bool own = random() % 2;
        SCOPED_TRACE(a + " into " + b + " over " + std::to_string(length));
        CMotion& ma = *manager.GetMotion(a);
        CMotion& mb = *manager.GetMotion(b);
        const auto blend = [&](CurveType curve) {
            return testing::TwoClips(ma, mb, a, b, length, own, false, curve);
        };
        const CTimelineProject inertial = blend(kCurveInertial), plain = blend(kCurveLinear);
        const FadeSpan fade = GetFrameSample(&inertial, ma.GetLength()).fade;
        ASSERT_LE(fade.first, fade.last);
        for (int f : {fade.first, fade.last + 1}) {
            const auto shown = evaluator.PoseOf(GetFrameSample(&inertial, f), MixMode::kPlain);
            const auto faded = evaluator.PoseOf(GetFrameSample(&plain, f), MixMode::kPlain);
            EXPECT_LT(testing::LargestNodeStep(shown->GetRoot(), faded->GetRoot()), 1e-2f) << f;
        }
        for (int f = fade.first; f <= fade.last + 1; ++f) {
            ASSERT_TRUE(testing::Finite(evaluator.PoseOf(GetFrameSample(&inertial, f))->GetRoot()))
                << f;
        }
    }
}

// A pose run on by no frames is the pose; run on by one frame of its own velocity it takes the
// step from `before` to `at` once more; the run-on covers at most the frames of its half-life
// over ln 2.
TEST(InertialBlend, RunningOnContinuesTheLastStep) {
    CMotion walk(kShare + "/Motion/Locomotion/walk.cha", 0);
    const std::unique_ptr<CHTR> before = walk.GetPose(10), at = walk.GetPose(11);
    const std::unique_ptr<CHTR> next = walk.GetPose(12);
    CHTR out;
    RunPoseOn(*before, *at, 0.0f, out);
    EXPECT_EQ(testing::LargestNodeStep(out.GetRoot(), at->GetRoot()), 0.0f);
    RunPoseOn(*before, *at, 1.0f, out);
    // A walk's next frame is near the step taken once more.
    const float step = testing::LargestNodeStep(at->GetRoot(), before->GetRoot());
    EXPECT_LT(testing::LargestNodeStep(out.GetRoot(), next->GetRoot()), 0.5f * step);
    EXPECT_FLOAT_EQ(FramesRunOn(0.0f, 5.0f), 0.0f);
    EXPECT_NEAR(FramesRunOn(5.0f, 5.0f), 0.5f * 5.0f / std::log(2.0f), 1e-4f);
    EXPECT_LT(FramesRunOn(1000.0f, 5.0f), 5.0f / std::log(2.0f) + 1e-3f);
}

}  // namespace
}  // namespace tavrel
