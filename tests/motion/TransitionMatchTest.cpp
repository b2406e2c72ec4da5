#include <gtest/gtest.h>

#include <numbers>

#include "motion/GroundPlace.h"
#include "motion/TransitionMatch.h"
#include "tests/motion/MotionFiles.h"

namespace tavrel {
namespace {

const std::string kShare = TAVREL_SHARE_DIR;

// Frames from `from` on of the motion, stood elsewhere on the floor and turned, as a new file.
std::string ShiftedCopy(const std::string& source, int from, const GroundPlace& place,
                        const std::string& target) {
    CMotion in(source, 0), out;
    for (int f = from; f < in.GetLength(); ++f) {
        std::unique_ptr<CHTR> pose = in.GetPose(f);
        PlacePose(pose->GetRoot(), place);
        out.SetPose(f - from, *pose);
    }
    EXPECT_TRUE(out.Save(target));
    return target;
}

// A motion that does not repeat itself against a later stretch of itself, moved and turned: the
// best overlap is one where each frame meets its own copy (the copy's frames are the motion's
// shifted by the cut), at no distance, whatever the floor place.
TEST(TransitionMatch, AMotionMeetsItsOwnShiftedCopy) {
    testing::TempDir folder;
    for (const auto& [file, cut] : {std::pair{"Gestures/wave.cha", 7}, {"Gestures/bow.chb", 20},
                                    {"Sports/kick.htr", 12}}) {
        SCOPED_TRACE(file);
        const std::string source = kShare + "/Motion/" + file;
        CMotion a(source, 0);
        CMotion b(ShiftedCopy(source, cut, {1500.0f, -300.0f, std::numbers::pi_v<float> / 3},
                              folder / "copy.chb"),
                  0);
        const TransitionPoint best = BestTransition(a, b, {4, 40, 2000});
        ASSERT_TRUE(best.Found());
        EXPECT_EQ(best.outgoing - best.incoming, cut);
        EXPECT_EQ(best.overlap, a.GetLength() - best.outgoing);
        EXPECT_LT(best.distance, 0.05f);
        EXPECT_NEAR(OverlapDistance(a, b, best.outgoing, best.incoming), best.distance, 1e-3f);
        // Any other meeting is further apart.
        EXPECT_GT(OverlapDistance(a, b, best.outgoing, best.incoming + 3), 1.0f);
    }
}

// What cannot be matched says why and finds nothing.
TEST(TransitionMatch, MotionsThatCannotBeMatchedFindNothing) {
    testing::TempDir folder;
    const std::string one = folder / "one.chb", legless = folder / "legless.cha";
    testing::WriteStandardMotion(one, 1);
    testing::WriteText(legless, testing::kThreeSegmentCha);
    CMotion walk(kShare + "/Motion/Locomotion/walk.cha", 0), oneFrame(one, 0), other(legless, 0);
    CMotion missing(folder / "gone.cha", 0);
    for (CMotion* b : {&oneFrame, &other, &missing}) {
        std::string why;
        EXPECT_FALSE(BestTransition(walk, *b, {}, &why).Found());
        EXPECT_FALSE(why.empty());
        // A one-frame overlap of one frame is still a distance.
        EXPECT_EQ(std::isinf(OverlapDistance(walk, *b, walk.GetLength() - 1, 0)), b != &oneFrame);
    }
}

}  // namespace
}  // namespace tavrel
