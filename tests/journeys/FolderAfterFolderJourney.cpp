// A user browses the gallery folder after folder: each folder's pictures come as the first
// one's did, though what draws them is let go between folders, and the 3D window draws on.
#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using FolderAfterFolderJourney = JourneyFixture;

TEST_F(FolderAfterFolderJourney, EachFolderGetsItsPicturesAndThe3DWindowDrawsOn) {
    for (const char* folder : {"Gestures", "Locomotion", "Sports", "Gestures"}) {
        ASSERT_TRUE(ShowFolder(Library() / folder)) << folder;
        CThumbnailCtrl* thumbs = Thumbnails();
        ASSERT_GT(thumbs->count(), 0) << folder;
        ASSERT_TRUE(WaitUntil([&] { return PicturesShown(*thumbs) == thumbs->count(); }))
            << PicturesShown(*thumbs) << " pictures in " << folder;
        const int drawn = View3D()->FramesDrawn();
        View3D()->update();
        ASSERT_TRUE(WaitUntil([&] { return View3D()->FramesDrawn() > drawn; })) << folder;
    }
}

// The thumbnail size is chosen in the View menu: the chosen size carries the check mark and is
// the size of the next start.
TEST_F(FolderAfterFolderJourney, TheChosenThumbnailSizeIsCheckedAndKept) {
    const auto item = [this](int id) {
        for (QAction* action : Frame()->findChildren<QAction*>())
            if (action->data().toInt() == id) return action;
        return static_cast<QAction*>(nullptr);
    };
    const auto choose = [this](const QString& text) {
        ChooseInNextMenu(text);
        Key(Qt::Key_V, Qt::AltModifier);
        return WaitUntil([] { return !QApplication::activePopupWidget(); });
    };
    ASSERT_TRUE(choose("&Large Thumbnails"));
    ASSERT_TRUE(WaitUntil([&] { return item(32981)->isChecked() && !item(32980)->isChecked(); }));
    EXPECT_EQ(Thumbnails()->ThumbnailSize(), CThumbnailCtrl::kLargeThumbnail);

    ASSERT_TRUE(RestartWithoutClose());
    EXPECT_EQ(Thumbnails()->ThumbnailSize(), CThumbnailCtrl::kLargeThumbnail);
    ASSERT_TRUE(choose("&Small Thumbnails"));
    ASSERT_TRUE(WaitUntil([&] { return item(32980)->isChecked() && !item(32981)->isChecked(); }));
    EXPECT_EQ(Thumbnails()->ThumbnailSize(), CThumbnailCtrl::kThumbnailWidth);
}

}  // namespace
}  // namespace tavrel::journeys
