// Capture files of other naming schemes go from the gallery onto the timeline: a BVH in the older
// capture naming (its "Shoulder" is the upper arm) and an HTR whose base positions are all zero
// each become a clip of their length, and the avatar takes their poses.
#include <fstream>

#include "tests/journeys/JourneyFixture.h"
#include "tests/support/CapturedFigure.h"

namespace tavrel::journeys {
namespace {

using CapturedMotionJourney = JourneyFixture;

TEST_F(CapturedMotionJourney, CaptureFilesOfOtherSchemesDropOntoTheTimeline) {
    const auto figure = tavrel::testing::FigureOf(tavrel::testing::kOlderCapture);
    const tavrel::testing::RandomMotion motion(figure, 7, 0.05f);
    const fs::path folder = Library() / "Locomotion";
    std::ofstream(folder / "older.bvh") << tavrel::testing::Bvh(figure, motion, 45, true);
    std::ofstream(folder / "zero.htr") << tavrel::testing::Htr(figure, motion, 45, true);
    ASSERT_TRUE(Model().HasProject());
    const QImage standing = Next3DPicture();

    ASSERT_TRUE(ShowFolder(folder));
    // The spine joint between hips and chest has no segment of ours: the drop says so.
    const auto leftOut = AnswerNextMessage(QMessageBox::Ok);
    DropMotion("older.bvh", 0);
    ASSERT_TRUE(WaitUntil([&] { return Model().Project().motionClips.Count() == 1; }))
        << "the BVH drop";
    const int bvhEnd = Model().LastFrame();
    EXPECT_GE(bvhEnd + 1, 45) << "a clip as long as the capture";
    EXPECT_TRUE(WaitUntil([&] { return leftOut->contains("Chest"); })) << leftOut->toStdString();
    AnswerNextMessage(QMessageBox::Ok);
    DropMotion("zero.htr", bvhEnd + 1);
    ASSERT_TRUE(WaitUntil([&] { return Model().Project().motionClips.Count() == 2; }))
        << "the HTR drop";
    EXPECT_GE(Model().LastFrame() - bvhEnd, 45);

    CObjectGrid* track = MotionTrack();
    Click(track, {Panel().Mapping().XOf(2), track->height() / 2});
    Key(Qt::Key_Home);
    EXPECT_GT(Difference(standing, Next3DPicture()), 0.001) << "the avatar takes the pose";
}

}  // namespace
}  // namespace tavrel::journeys
