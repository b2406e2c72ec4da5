// Two motions dropped from the gallery onto the timeline, the second over the end of the
// first: the question that follows offers a blend first, Enter takes it, and the avatar shows
// the cross-fade. The keys then reach the timeline, though the drags started in the gallery.
#include <QMdiArea>
#include <iterator>

#include "app/FixedChildFrame.h"
#include "app/TimelineColleague.h"
#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using DropBlendJourney = JourneyFixture;

TEST_F(DropBlendJourney, DropOverAnEndThenEnterBlends) {
    ASSERT_TRUE(Model().HasProject());
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0)) << "the first drop";
    const MotionClip first = *Model().Project().motionClips.begin();
    const int overlapStart = first.lastFrame - 9;

    // The question is answered with the keyboard as soon as it is up.
    const auto asked = AnswerNextMessageByKey(Qt::Key_Return);
    ASSERT_TRUE(DropAndWait("run.chb", overlapStart)) << "the second drop";
    EXPECT_TRUE(asked->contains("Blend")) << asked->toStdString();

    // Both clips whole, overlapping over the last ten frames of the first.
    const MotionClip second = *Model().Project().motionClips.begin();
    EXPECT_EQ(second.firstFrame, overlapStart);
    EXPECT_EQ(std::next(Model().Project().motionClips.begin())->lastFrame, first.lastFrame);
    EXPECT_EQ(Model().UndoCount(), 2);
    const FrameSample sample = Model().GetFrameSample(overlapStart + 5);
    EXPECT_FALSE(sample.fileB.empty());
    EXPECT_GT(sample.weight, 0.0f);
    EXPECT_LT(sample.weight, 1.0f);

    // The avatar moves through the blend: the middle of the overlap differs from its start.
    const auto pictureAt = [&](int frame) {
        Panel().SetCurrentFrame(frame);
        return Next3DPicture();
    };
    const QImage start = pictureAt(overlapStart - 1);
    EXPECT_GT(Difference(start, pictureAt(overlapStart + 5)), 0.0);

    // The keys now act on the timeline, through the window as a user presses them.
    EXPECT_EQ(Frame()->MdiArea()->activeSubWindow(), Mediator()->Timeline()->Frame());
    Panel().SetCurrentFrame(overlapStart);
    Key(Qt::Key_Right);
    EXPECT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() == overlapStart + 1; }));
    Key(Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return Panel().IsPlaying(); }));
    Key(Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return !Panel().IsPlaying(); }));
    Key(Qt::Key_Z, Qt::ControlModifier);  // the blend taken back whole
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 1; }));
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 2; }));
    Key(Qt::Key_Delete);  // the selected clip goes, the library's files stay
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 1; }));
    for (const char* file : {"walk.cha", "run.chb"})
        EXPECT_TRUE(fs::exists(Library() / "Locomotion" / file)) << file;
}

}  // namespace
}  // namespace tavrel::journeys
