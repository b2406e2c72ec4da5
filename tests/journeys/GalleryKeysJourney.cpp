// The gallery by keys in the assembled editor: a motion is copied into another folder, renamed
// in place and deleted. The name's field keeps the keys the editor uses for its own commands
// (Ctrl+A, Del, Home), and none of it reaches the timeline.
#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using GalleryKeysJourney = JourneyFixture;

TEST_F(GalleryKeysJourney, AMotionIsCopiedRenamedAndDeletedByKeys) {
    static tavrel::testing::TempFolder share;  // the trash goes here, not into the user's
    ::setenv("XDG_DATA_HOME", share.Path().c_str(), 1);
    const fs::path walk = Library() / "Locomotion/walk.cha";
    const fs::path copy = Library() / "Gestures/walk.cha";

    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    Click(Thumbnails()->viewport(), ThumbnailOf(walk));
    Key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(ShowFolder(Library() / "Gestures"));
    Click(Thumbnails()->viewport(), ThumbnailOf("wave.cha"));
    Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf(copy).isNull(); })) << "pasted";
    EXPECT_TRUE(fs::exists(walk));

    // Rename in place: the field takes Ctrl+A, Del and Home as a text field does.
    Click(Thumbnails()->viewport(), ThumbnailOf(copy));
    Key(Qt::Key_F2);
    Key(Qt::Key_A, Qt::ControlModifier);
    Type("stroll.cha");
    Key(Qt::Key_Delete);  // at the end: nothing to delete
    Key(Qt::Key_Home);
    Key(Qt::Key_Delete);  // the "s"
    Key(Qt::Key_Return);
    const fs::path renamed = Library() / "Gestures/troll.cha";
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(renamed); }));
    EXPECT_FALSE(fs::exists(copy));
    ASSERT_TRUE(WaitUntil([&] { return !ThumbnailOf(renamed).isNull(); }));

    // Del on the selected motion asks, then moves it to the trash.
    Click(Thumbnails()->viewport(), ThumbnailOf(renamed));
    auto asked = AnswerNextMessage(QMessageBox::Yes);
    Key(Qt::Key_Delete);
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(renamed); }));
    EXPECT_FALSE(asked->isEmpty());
    EXPECT_TRUE(fs::exists(share / "Trash/files/troll.cha"));
    EXPECT_TRUE(fs::exists(Library() / "Gestures/wave.cha"));
    EXPECT_EQ(Model().Project().motionClips.Count(), 0);
    EXPECT_FALSE(Model().IsModified());
}

}  // namespace
}  // namespace tavrel::journeys
