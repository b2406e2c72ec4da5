// A capture of another skeleton saved into the library while the editor runs: it shows up in
// the gallery with a picture, and dropped on the timeline it becomes a clip of the avatar's
// own skeleton at 60 frames a second, with word of the joints that found no place.
#include <fstream>

#include "motion/Motion.h"
#include "tests/journeys/JourneyFixture.h"
#include "tests/support/CaptureBvh.h"

namespace tavrel::journeys {
namespace {

using CaptureDropJourney = JourneyFixture;

TEST_F(CaptureDropJourney, ABvhOfAnotherSkeletonDroppedBecomesAClipOfOurs) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    const QImage before = Next3DPicture();
    const fs::path capture = Library() / "Locomotion/capture.bvh";
    std::ofstream(capture) << tavrel::testing::CaptureBvh(120);
    ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf(capture).isNull(); })) << "listed unasked";

    auto told = AnswerNextMessage(QMessageBox::Ok);
    DropMotion(capture, 0);
    ASSERT_TRUE(WaitUntil([&] { return Model().Project().motionClips.Count() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return !told->isEmpty(); }));
    EXPECT_TRUE(told->startsWith("capture.bvh was fitted to the avatar's skeleton"))
        << told->toStdString();
    EXPECT_TRUE(told->contains("Tail")) << told->toStdString();

    // 120 frames at 30 a second last 239 at 60; the clip plays a copy on our skeleton.
    const MotionClip clip = *Model().ClipAtPosition(0);
    EXPECT_EQ(clip.lastFrame - clip.firstFrame + 1, 239);
    CMotion imported(clip.fileName, 0);
    EXPECT_TRUE(imported.HasStandardSkeleton());
    EXPECT_NE(fs::path(clip.fileName).extension(), ".bvh");
    Panel().SetCurrentFrame(100);
    EXPECT_GT(Difference(before, Next3DPicture()), 0.001) << "the avatar takes the capture's pose";
}

}  // namespace
}  // namespace tavrel::journeys
