// A blend made by the overlap question is edited where it is drawn, with the mouse in the
// assembled window: its curve from a right-click on the overlap, its start edge dragged on the
// clips (no clip moves), each change one Ctrl+Z of its own; then a clip's end is stretched
// from its handle, pressed beside the end's last frame.
#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using BlendEditJourney = JourneyFixture;

// A real press, moves and release on the motion track, from one frame's pixel to another's.
void DragOnTrack(CObjectGrid* track, QPoint from, QPoint to) {
    QWindow* window = track->window()->windowHandle();
    const QPoint start = track->mapTo(track->window(), from);
    const QPoint end = track->mapTo(track->window(), to);
    QTest::mouseMove(window, start);
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, start);
    for (int i = 1; i <= 6; ++i) QTest::mouseMove(window, start + (end - start) * i / 6);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, end);
}

TEST_F(BlendEditJourney, TheOverlapsBlendAndAClipsEndAreEditedWithTheMouse) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const int walkEnd = Model().Project().motionClips.begin()->lastFrame;
    const int overlapStart = walkEnd - 19;
    AnswerNextMessageByKey(Qt::Key_Return);  // the blend
    ASSERT_TRUE(DropAndWait("run.chb", overlapStart, Qt::ShiftModifier));  // exactly there
    const CTrackMapping& m = Panel().Mapping();
    CObjectGrid* track = MotionTrack();
    const int band = CObjectGrid::kClipTop + 6;
    const auto x = [&](int frame) { return m.XOf(frame) + m.PixelsPerFrame() / 2; };

    // The curve, from the overlap on the clips.
    const int undo = Model().UndoCount();
    ChooseInNextMenu("Ease in");
    Click(track, QPoint(x(overlapStart + 10), band), Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&] { return Model().GetFrameSample(overlapStart + 10).curve == 1; }));
    EXPECT_EQ(Model().UndoCount(), undo + 1);

    // The blend's start edge, dragged on the clips five frames on: the clips stay.
    const auto before = RangesOfClips();
    DragOnTrack(track, QPoint(m.XOf(overlapStart) + 1, band),
                QPoint(m.XOf(overlapStart + 5) + 1, band));
    ASSERT_TRUE(WaitUntil([&] { return Model().UndoCount() == undo + 2; }));
    EXPECT_EQ(RangesOfClips(), before);
    EXPECT_TRUE(Model().GetFrameSample(overlapStart + 2).fileB.empty());
    Frame()->grab().save(QString::fromStdString((Home() / "blend-edited.png").string()));

    // One Ctrl+Z takes back the drag alone, the next the curve alone.
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Model().UndoCount() == undo + 1; }));
    EXPECT_FALSE(Model().GetFrameSample(overlapStart + 2).fileB.empty());
    EXPECT_EQ(Model().GetFrameSample(overlapStart + 10).curve, 1);
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Model().UndoCount() == undo; }));
    EXPECT_EQ(Model().GetFrameSample(overlapStart + 10).curve, 0);

    // The run's end, pressed two pixels beside its last frame, stretched ten frames.
    const int runEnd = Model().LastFrame();
    Panel().ScrollTo(m.Scroll() + m.XOf(runEnd) - track->width() / 2);
    const int edge = m.XOf(runEnd + 1);
    DragOnTrack(track, QPoint(edge + 2, band), QPoint(edge + 2 + 10 * m.PixelsPerFrame(), band));
    ASSERT_TRUE(WaitUntil([&] { return Model().LastFrame() == runEnd + 10; }));
    EXPECT_EQ(Model().Project().motionClips.begin()->stretched, 1);
}

}  // namespace
}  // namespace tavrel::journeys
