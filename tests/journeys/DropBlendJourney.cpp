// Two motions dropped from the gallery onto the timeline, the second over the end of the
// first: the question that follows offers a blend first, Enter takes it, the run moves to where
// the two motions are most alike (a tooltip tells how alike), and the avatar shows the
// cross-fade. The keys then reach the timeline, though the drags started in the gallery.
#include <QApplication>
#include <QHelpEvent>
#include <QMdiArea>
#include <QToolTip>
#include <iterator>

#include "app/FixedChildFrame.h"
#include "app/TimelineColleague.h"
#include "motion/TransitionMatch.h"
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

    // The run starts where the search over overlaps of 5 to 20 frames in its first half finds
    // the motions most alike, trimmed so that its chosen frame meets the walk's; the walk stays
    // whole.
    CMotion walk((Library() / "Locomotion/walk.cha").string(), 0);
    CMotion run((Library() / "Locomotion/run.chb").string(), 0);
    const TransitionPoint best = BestTransition(walk, run, {5, 20, run.GetLength() / 2});
    ASSERT_TRUE(best.Found());
    const MotionClip second = *Model().Project().motionClips.begin();
    EXPECT_EQ(second.firstFrame, best.outgoing);
    EXPECT_EQ(second.Length(), run.GetLength() - best.incoming);
    EXPECT_EQ(std::next(Model().Project().motionClips.begin())->lastFrame, first.lastFrame);
    EXPECT_EQ(Model().UndoCount(), 2);
    ASSERT_TRUE(Model().LastBlendSnap());
    EXPECT_LT(Model().LastBlendSnap()->distance, Model().LastBlendSnap()->droppedDistance);
    const int blendMiddle = (second.firstFrame + first.lastFrame) / 2;
    const FrameSample sample = Model().GetFrameSample(blendMiddle);
    EXPECT_FALSE(sample.fileB.empty());
    EXPECT_GT(sample.weight, 0.0f);
    EXPECT_LT(sample.weight, 1.0f);

    // The avatar moves through the blend: the middle of the overlap differs from its start.
    const auto pictureAt = [&](int frame) {
        Panel().SetCurrentFrame(frame);
        return Next3DPicture();
    };
    const QImage start = pictureAt(second.firstFrame - 1);
    EXPECT_GT(Difference(start, pictureAt(blendMiddle)), 0.0);

    // The keys now act on the timeline, through the window as a user presses them.
    EXPECT_EQ(Frame()->MdiArea()->activeSubWindow(), Mediator()->Timeline()->Frame());
    Panel().SetCurrentFrame(second.firstFrame);
    Key(Qt::Key_Right);
    EXPECT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() == second.firstFrame + 1; }));
    Key(Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return Panel().IsPlaying(); }));
    Key(Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return !Panel().IsPlaying(); }));
    Key(Qt::Key_Z, Qt::ControlModifier);  // the blend taken back whole
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 1; }));
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 2; }));
    // Resting the pointer on the blend tells how alike the motions are there, and that the run
    // was moved there. The tip goes again before the keys go on.
    CObjectGrid* track = MotionTrack();
    const QPoint over(Panel().Mapping().XOf(blendMiddle), track->height() / 2);
    QHelpEvent hover(QEvent::ToolTip, over, track->mapToGlobal(over));
    QApplication::sendEvent(track, &hover);
    EXPECT_TRUE(WaitUntil([] { return QToolTip::text().contains("most alike"); }))
        << QToolTip::text().toStdString();
    QToolTip::hideText();
    EXPECT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); }));
    Key(Qt::Key_Delete);  // the selected clip goes, the library's files stay
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 1; }));
    for (const char* file : {"walk.cha", "run.chb"})
        EXPECT_TRUE(fs::exists(Library() / "Locomotion" / file)) << file;
}

}  // namespace
}  // namespace tavrel::journeys
