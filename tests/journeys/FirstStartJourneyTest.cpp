// A new user's first minutes: the editor starts on an empty project, two motions go from the
// gallery onto the timeline, the timeline plays them on the avatar, and undo and redo walk the
// drops back and forth.
#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using FirstStartJourney = JourneyFixture;

TEST_F(FirstStartJourney, TwoMotionsDroppedFromTheGalleryPlayAndUndoRedoWalksThem) {
    // The start: a project to drop on, and a caption that names none.
    ASSERT_TRUE(Model().HasProject());
    EXPECT_EQ(Frame()->windowTitle(), "Tavrel");
    const QImage standing = Next3DPicture();
    ASSERT_FALSE(standing.isNull());

    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0)) << "the first drop";
    const int walkEnd = Model().LastFrame();
    ASSERT_TRUE(DropAndWait("run.chb", walkEnd + 1)) << "the second drop";
    EXPECT_GT(Model().LastFrame(), walkEnd);
    for (const MotionClip& clip : Model().Project().motionClips)
        EXPECT_TRUE(fs::exists(clip.fileName)) << clip.fileName << ": the clip's own copy";
    EXPECT_TRUE(WaitUntil([&] { return Frame()->windowTitle().endsWith('*'); }))
        << Frame()->windowTitle().toStdString();

    // Ctrl+Z and Ctrl+Y walk the drops, straight after the drop and each key
    // straight after the one before.
    const std::string runFile = Model().ClipAtPosition(0)->fileName;
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Clips() == 1; }));
    Key(Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Clips() == 2; })) << "redo at once";
    EXPECT_EQ(Model().ClipAtPosition(0)->fileName, runFile);

    // Play from the start with the keyboard on the timeline: the frame runs on and the avatar
    // moves.
    CObjectGrid* track = MotionTrack();
    Click(track, {Panel().Mapping().XOf(2), track->height() / 2});
    Key(Qt::Key_Home);
    const QImage first = Next3DPicture();
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return Panel().IsPlaying(); }));
    ASSERT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() > 10; }));
    EXPECT_GT(Difference(first, Next3DPicture()), 0.001) << "the avatar moves while playing";
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return !Panel().IsPlaying(); }));
    EXPECT_GT(Difference(standing, first), 0.001) << "the avatar takes the walk's first pose";

    // Back at the start the project reads unchanged.
    Key(Qt::Key_Z, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Clips() == 0; }));
    EXPECT_FALSE(Model().IsModified());
    EXPECT_TRUE(WaitUntil([&] { return Frame()->windowTitle() == "Tavrel"; }))
        << Frame()->windowTitle().toStdString();
    // A new project is in no file yet: the title names none.
    Key(Qt::Key_N, Qt::ControlModifier);
    QTest::qWait(200);
    EXPECT_EQ(Frame()->windowTitle(), "Tavrel");
}

}  // namespace
}  // namespace tavrel::journeys
