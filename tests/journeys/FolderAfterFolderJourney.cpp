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

}  // namespace
}  // namespace tavrel::journeys
