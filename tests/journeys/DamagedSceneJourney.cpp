// A scene file that makes the importer stop (abort) in the folder the gallery shows: the file is
// listed greyed with the reason, a drop of it from a file manager is refused with a message,
// and the editor goes on, also when it starts again.
#include <QMimeData>

#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using DamagedSceneJourney = JourneyFixture;

TEST_F(DamagedSceneJourney, AFileTheImporterStopsOnIsGreyedRefusedAndTheEditorGoesOn) {
    const fs::path folder = Library() / "Locomotion";
    const fs::path damaged = folder / "stops.dae";
    fs::copy_file(TAVREL_STOPS_DIR "/accessor-past-array.dae", damaged);
    ASSERT_TRUE(ShowFolder(folder));
    auto entry = [&]() -> QListWidgetItem* {
        const auto& entries = Thumbnails()->Entries();
        for (int row = 0; row < Thumbnails()->count() && row < int(entries.size()); ++row)
            if (fs::path(entries[row]).filename() == damaged.filename())
                return Thumbnails()->item(row);
        return nullptr;
    };
    ASSERT_TRUE(WaitUntil(
        [&] { return entry() && entry()->data(CThumbnailCtrl::kUnreadableRole).toBool(); }));
    EXPECT_TRUE(entry()->toolTip().contains("the importer stopped on this file"))
        << entry()->toolTip().toStdString();

    // Greyed entries do not drag; a file manager's drop of the file is refused with a message.
    const QPoint track(Panel().Mapping().XOf(0) + 2, MotionTrack()->height() / 2);
    auto told = AnswerNextMessage(QMessageBox::Ok);
    QMimeData uris;
    uris.setUrls({QUrl::fromLocalFile(QString::fromStdString(damaged.string()))});
    QDropEvent drop(QPointF(track), Qt::CopyAction, &uris, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(MotionTrack())->event(&drop);
    ASSERT_TRUE(WaitUntil([&] { return !told->isEmpty(); }));
    EXPECT_TRUE(told->contains("stops.dae") && told->contains("the importer stopped on this file"))
        << told->toStdString();
    EXPECT_EQ(Clips(), 0);
    ASSERT_TRUE(DropAndWait("walk.cha", 0)) << "the editor goes on";

    // The next start lives with the file in its library, and lists it greyed again.
    ASSERT_TRUE(RestartWithoutClose());
    ASSERT_TRUE(ShowFolder(folder));
    EXPECT_TRUE(WaitUntil(
        [&] { return entry() && entry()->data(CThumbnailCtrl::kUnreadableRole).toBool(); }));
}

}  // namespace
}  // namespace tavrel::journeys
