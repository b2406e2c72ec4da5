#include <gtest/gtest.h>

#include <optional>

#include "compose/PoseEvaluator.h"
#include "motion/Motion.h"
#include "settings/StringTable.h"
#include "tests/compose/Blends.h"
#include "tests/motion/MotionFiles.h"
#include "tests/support/CountingAllocator.h"
#include "tests/support/TempFolder.h"
#include "tests/timeline/ScriptedDecisions.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"

namespace tavrel {
namespace {

const std::string kShare = TAVREL_SHARE_DIR;
const std::string kRest = kShare + "/Init.chb";

bool SamePose(const rkNode* a, const rkNode* b) {
    if (!CHTR::SameShape(a, b)) return false;
    for (int e = 0; e < 16; ++e) {
        if (a->local.m[e] != b->local.m[e]) return false;
    }
    const rkNode* x = a->child;
    const rkNode* y = b->child;
    for (; x && y; x = x->next, y = y->next) {
        if (!SamePose(x, y)) return false;
    }
    return true;
}

// The walk, then the run cross-fading over the walk's last 20 frames.
class PoseEvaluatorTest : public testing::RealTimeline {
protected:
    PoseEvaluatorTest() {
        model->AddMotionFile(kShare + "/Motion/Locomotion/walk.cha");
        fadeFrom = model->LastFrame() - 19;
        model->SetCurrentFrame(model->LastFrame() + 1);
        model->AddMotionFile(kShare + "/Motion/Locomotion/run.chb");
        model->MoveClip(0, fadeFrom);
    }

    int fadeFrom = 0;
};

// Once a blend's held feet are made and the output has the figure's shape, playing on through
// the blend and past it allocates nothing, and every frame is the one a new evaluator shows.
TEST_F(PoseEvaluatorTest, PlayingOnAllocatesNothingAndShowsWhatANewEvaluatorShows) {
    ASSERT_GE(model->GetFrameSample(fadeFrom + 10).localB, 0) << "the clips cross-fade";
    CPoseEvaluator evaluator(manager, kRest);
    CHTR out;
    for (MixMode mode : {MixMode::kHoldFeet, MixMode::kPlain}) {
        ASSERT_TRUE(evaluator.Evaluate(model->GetFrameSample(fadeFrom), out, mode));
        for (int f = fadeFrom - 5; f <= fadeFrom + 25; ++f) {
            const FrameSample sample = model->GetFrameSample(f);
            const long long before = testing::AllocationCount();
            ASSERT_TRUE(evaluator.Evaluate(sample, out, mode)) << f;
            EXPECT_EQ(testing::AllocationCount() - before, 0) << "frame " << f;  // 0 uncounted
            CMotionManager freshManager;
            CPoseEvaluator fresh(freshManager, kRest);
            const std::unique_ptr<CHTR> expected = fresh.PoseOf(sample, mode);
            ASSERT_TRUE(expected && SamePose(out.GetRoot(), expected->GetRoot())) << f;
        }
    }
    // Forgotten held feet are made again, as they were.
    const std::unique_ptr<CHTR> held = evaluator.PoseOf(model->GetFrameSample(fadeFrom + 10));
    evaluator.Invalidate();
    const long long before = testing::AllocationCount();
    ASSERT_TRUE(evaluator.Evaluate(model->GetFrameSample(fadeFrom + 10), out));
    if (testing::CountsAllocations()) {
        EXPECT_GT(testing::AllocationCount() - before, 0);
    }
    EXPECT_TRUE(SamePose(out.GetRoot(), held->GetRoot()));
}

// An output of another figure takes the shown figure's shape; a frame without a pose leaves
// the output as it was.
TEST_F(PoseEvaluatorTest, TheOutputTakesTheShownShapeAndKeepsItsPoseWhenNoneIsShown) {
    const std::string legless = folder / "legless.cha";
    testing::WriteText(legless, testing::kThreeSegmentCha);
    CPoseEvaluator evaluator(manager, kRest);
    CHTR out(rkCloneNode(CMotion(legless, 0).GetPose(0)->GetRoot()));
    const FrameSample walking = model->GetFrameSample(10);
    ASSERT_TRUE(evaluator.Evaluate(walking, out));
    EXPECT_TRUE(SamePose(out.GetRoot(), evaluator.PoseOf(walking)->GetRoot()));

    FrameSample gone = walking;
    gone.fileA = folder / "gone.cha";
    const std::unique_ptr<CHTR> kept = out.Clone();
    FrameSample onlyB;
    onlyB.fileB = walking.fileA, onlyB.localB = 3;
    for (const FrameSample& none : {gone, onlyB}) {
        EXPECT_FALSE(evaluator.Evaluate(none, out));
        EXPECT_TRUE(SamePose(out.GetRoot(), kept->GetRoot()));
    }
    // No clip at all is the rest pose.
    ASSERT_TRUE(evaluator.Evaluate(FrameSample{}, out));
    EXPECT_TRUE(SamePose(out.GetRoot(), CMotion(kRest, 0).GetPose(0)->GetRoot()));
}

}  // namespace
}  // namespace tavrel
