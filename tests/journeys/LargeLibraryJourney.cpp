// A folder of many captures: every name shows at once, the user scrolls to the end while the
// pictures come, leaves and comes back (after a restart too) and finds the pictures kept: they
// are not made again, even from files whose content no longer reads.
#include <QScrollBar>

#include "tests/journeys/JourneyFixture.h"
#include "tests/support/CaptureLibrary.h"

namespace tavrel::journeys {
namespace {

using LargeLibraryJourney = JourneyFixture;

constexpr int kCaptures = 240;

TEST_F(LargeLibraryJourney, ManyCapturesListAtOnceAndTheirPicturesAreKept) {
    const fs::path captures = Library() / "Captures";
    const auto names = testing::MakeCaptureLibrary(captures.string(), kCaptures, 4, 120, 480);
    ASSERT_TRUE(WaitUntil([&] { return ShowFolder(captures); }));
    CThumbnailCtrl* thumbs = Thumbnails();
    EXPECT_EQ(thumbs->count(), kCaptures) << "every name at once";
    EXPECT_EQ(thumbs->item(kCaptures - 1)->text().toStdString(), names.back());

    // Down to the last row with the keyboard while the pictures are made.
    Click(thumbs->viewport(), thumbs->visualItemRect(thumbs->item(0)).center());
    Key(Qt::Key_End);
    ASSERT_TRUE(WaitUntil([&] { return thumbs->currentRow() == kCaptures - 1; }));
    EXPECT_GT(thumbs->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(
        thumbs->viewport()->rect().intersects(thumbs->visualItemRect(thumbs->item(kCaptures - 1))));
    ASSERT_TRUE(WaitUntil([&] { return PicturesShown(*thumbs) == kCaptures; }, 60000))
        << PicturesShown(*thumbs) << " pictures";

    // The first capture's content is damaged, its time and size kept: a picture made again
    // would fail, a kept one still shows.
    const fs::path first = captures / names.front();
    const auto time = fs::last_write_time(first);
    std::string garbage(fs::file_size(first), '#');
    std::ofstream(first, std::ios::binary | std::ios::trunc) << garbage;
    fs::last_write_time(first, time);

    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(ShowFolder(captures));
    ASSERT_TRUE(WaitUntil([&] { return PicturesShown(*Thumbnails()) == kCaptures; }))
        << PicturesShown(*Thumbnails()) << " pictures on coming back";

    // A new start: nothing in memory, the pictures come from the user's cache folder.
    ASSERT_TRUE(RestartWithoutClose());
    ASSERT_TRUE(WaitUntil([&] { return ShowFolder(captures); }));
    ASSERT_TRUE(WaitUntil([&] { return PicturesShown(*Thumbnails()) == kCaptures; }))
        << PicturesShown(*Thumbnails()) << " pictures after a restart";

    // A changed file gets a new picture: now it is found damaged.
    fs::last_write_time(first, time + std::chrono::seconds(5));
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(ShowFolder(captures));
    ASSERT_TRUE(WaitUntil([&] { return PicturesShown(*Thumbnails()) == -1; }));
}

}  // namespace
}  // namespace tavrel::journeys
