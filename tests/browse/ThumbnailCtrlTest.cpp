// The thumbnail control and the gallery frame on temporary folders.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <atomic>
#include <future>
#include <thread>

#include "browse/ChildFrame.h"
#include "browse/FileTreeCtrl.h"
#include "browse/GalleryCommandIds.h"
#include "browse/ImageArea.h"
#include "browse/SplitterView.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/MotionFolder.h"
#include "settings/StringIds.h"
#include "tests/browse/BrowseTestSupport.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using testing::FakeServices;
using testing::Q;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteStandardMotion;

// Makes a 50 x 50 grey picture per call, counting the calls, or says why the file does not
// read as the real maker does. Held, it waits (at most 5 s) until let go.
struct FakeMaker {
    std::atomic<int> calls{0};
    std::atomic<int> delayMs{0};
    std::atomic<bool> held{false};
    std::atomic<int> inside{0};
    ThumbnailMaker Function() {
        return [this](const std::string& path, int w, int h) {
            ++inside;
            if (delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            for (int i = 0; held && i < 5000; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++calls;
            auto picture = std::make_shared<ThumbnailPicture>();
            picture->width = w;
            picture->height = h;
            picture->problem = MotionUnreadableReason(path);
            if (picture->problem.empty()) picture->rgb.assign(size_t(w) * h * 3, 128);
            --inside;
            return picture;
        };
    }
};

QStringList Labels(const QListWidget& list) {
    QStringList labels;
    for (int i = 0; i < list.count(); ++i) labels << list.item(i)->text();
    return labels;
}

class ThumbnailTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir / "one");
        fs::create_directory(dir / "two");
        WriteStandardMotion(dir / "one/walk.CHA", 3);
        WriteStandardMotion(dir / "one/run.chb", 2);
        testing::WriteText(dir / "one/broken.cha", "no motion");
        testing::WriteText(dir / "one/notes.txt", "text");
        thumbs.SetAcceptedExtensions("CHA,chb,htr");
        thumbs.show();
    }
    void WaitForWorker() {
        QTRY_VERIFY(!thumbs.IsWorkerRunning());
        QTest::qWait(0);
    }
    void Select(const QString& label) {
        thumbs.clearSelection();
        for (int i = 0; i < thumbs.count(); ++i) {
            if (thumbs.item(i)->text() == label) thumbs.item(i)->setSelected(true);
        }
    }

    TempDir dir;
    FakeServices services;
    FakeMaker maker;
    CThumbnailCtrl thumbs{services, maker.Function()};
};

TEST_F(ThumbnailTest, ListsReadableMotionsAtOnceAndMakesEachPictureOnce) {
    EXPECT_FALSE(thumbs.ShowFolder(""));
    EXPECT_FALSE(thumbs.ShowFolder(Q(dir / "missing")));
    QSignalSpy shown(&thumbs, &CThumbnailCtrl::PictureShown);
    ASSERT_TRUE(thumbs.ShowFolder(Q(dir / "one")));
    EXPECT_EQ(Labels(thumbs), QStringList({"broken.cha", "run.chb", "walk.CHA"}));
    // A file that cannot be read is greyed once the worker has read it, with the reason; it
    // is not dragged and has no picture. On a second visit the cache says so at once.
    for (int visit = 0; visit < 2; ++visit) {
        WaitForWorker();
        for (int row = 0; row < 3; ++row) {
            const QListWidgetItem* entry = thumbs.item(row);
            EXPECT_EQ(entry->data(CThumbnailCtrl::kUnreadableRole).toBool(), row == 0);
            EXPECT_EQ(bool(entry->flags() & Qt::ItemIsDragEnabled), row != 0);
            EXPECT_EQ(entry->toolTip().startsWith(entry->text() + "\nCannot be read"), row == 0)
                << entry->toolTip().toStdString();
        }
        EXPECT_EQ(maker.calls, 3);
        EXPECT_EQ(shown.count(), 3 * (visit + 1));
        // Back to a folder seen before: its pictures come from the cache.
        thumbs.ShowFolder(Q(dir / "two"));
        thumbs.ShowFolder(Q(dir / "one"));
    }
    EXPECT_FALSE(thumbs.item(1)->icon().pixmap(50, 50).isNull());
}

TEST(ThumbnailLabels, LongNamesAreCutInTheMiddleKeepingTheirNumberAndExtension) {
    const QFontMetrics metrics(QFont("DejaVu Sans", 9));
    const int width = 84;
    // name, the end the label keeps
    const std::pair<QString, QString> cases[] = {
        {"walk.cha", "walk.cha"},  // fits whole
        {"capture_long_name_take_012.bvh", "012.bvh"},
        {"capture_long_name_take_013.bvh", "013.bvh"},
        {"a_rather_long_name_without_numbers.chb", ".chb"},
        {"2024_session_with_a_long_name.htr", ".htr"},
        {"x", "x"},
    };
    for (const auto& [name, end] : cases) {
        const QString label = CThumbnailCtrl::ElidedLabel(name, metrics, width);
        EXPECT_TRUE(label.endsWith(end)) << label.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(label), width) << label.toStdString();
        EXPECT_EQ(label == name, metrics.horizontalAdvance(name) <= width) << label.toStdString();
        EXPECT_EQ(label.contains(QChar(0x2026)), label != name) << label.toStdString();
    }
    // Too narrow for the kept end: the plain middle cut.
    EXPECT_LE(metrics.horizontalAdvance(CThumbnailCtrl::ElidedLabel(
                  "capture_long_name_take_0123456789.bvh", metrics, 30)),
              30);
}

// The window never waits for the worker: a folder change lists the new names while the old
// folder's picture is still being made; that picture, when it comes, is dropped.
TEST_F(ThumbnailTest, AFolderChangeNeverWaitsForTheWorkerAndDropsItsLatePictures) {
    for (int i = 0; i < 20; ++i)
        WriteStandardMotion(dir / ("two/m" + std::to_string(i) + ".cha"), 1);
    maker.held = true;
    thumbs.ShowFolder(Q(dir / "two"));
    QTRY_VERIFY(maker.inside == 1);
    QSignalSpy shown(&thumbs, &CThumbnailCtrl::PictureShown);
    ASSERT_TRUE(thumbs.ShowFolder(Q(dir / "one")));
    EXPECT_EQ(maker.inside, 1);  // still in hand: the listing did not wait for it
    EXPECT_EQ(Labels(thumbs), QStringList({"broken.cha", "run.chb", "walk.CHA"}));
    maker.held = false;
    WaitForWorker();
    QTRY_VERIFY(maker.inside == 0);
    QTest::qWait(0);
    EXPECT_EQ(maker.calls, 4);  // the one in hand, and the new folder's three
    EXPECT_EQ(shown.count(), 3);
}

TEST_F(ThumbnailTest, CopyCutAndPasteThroughTheKeyboardNeverOverwrite) {
    thumbs.ShowFolder(Q(dir / "one"));
    Select("walk.CHA");
    thumbs.setFocus();
    QTest::keyClick(&thumbs, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(fs::exists(dir / "one/walk.CHA"));
    thumbs.ShowFolder(Q(dir / "two"));
    QTest::keyClick(&thumbs, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Labels(thumbs), QStringList({"walk.CHA"}));
    EXPECT_EQ(ReadBytes(dir / "two/walk.CHA"), ReadBytes(dir / "one/walk.CHA"));

    services.answer = false;
    QTest::keyClick(&thumbs, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(services.asked.size(), 1);
    EXPECT_TRUE(services.asked[0].contains("walk_1.CHA"));
    EXPECT_EQ(Labels(thumbs), QStringList({"walk.CHA"}));

    thumbs.ShowFolder(Q(dir / "one"));
    Select("run.chb");
    QTest::keyClick(&thumbs, Qt::Key_X, Qt::ControlModifier);
    thumbs.ShowFolder(Q(dir / "two"));
    QTest::keyClick(&thumbs, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Labels(thumbs), QStringList({"run.chb", "walk.CHA"}));
    EXPECT_FALSE(fs::exists(dir / "one/run.chb"));
    EXPECT_FALSE(thumbs.CanPaste());
}

TEST_F(ThumbnailTest, DeleteAsksThenMovesTheFilesToTheTrash) {
    thumbs.ShowFolder(Q(dir / "one"));
    Select("walk.CHA");
    const std::string bytes = ReadBytes(dir / "one/walk.CHA");
    services.answer = false;
    QTest::keyClick(&thumbs, Qt::Key_Delete);
    EXPECT_TRUE(fs::exists(dir / "one/walk.CHA"));
    services.answer = true;
    QTest::keyClick(&thumbs, Qt::Key_Delete);
    ASSERT_EQ(services.asked.size(), 2);
    EXPECT_EQ(services.asked[1], GalleryText(strings::kDeleteFileQuestion));
    EXPECT_FALSE(fs::exists(dir / "one/walk.CHA"));
    EXPECT_EQ(ReadBytes(testing::TrashedFile("walk.CHA")), bytes);
    EXPECT_EQ(Labels(thumbs), QStringList({"broken.cha", "run.chb"}));
    // A file the trash refuses is named, and stays.
    services.trashRefuses = true;
    Select("run.chb");
    QTest::keyClick(&thumbs, Qt::Key_Delete);
    ASSERT_EQ(services.told.size(), 1);
    EXPECT_TRUE(services.told[0].endsWith(":\nrun.chb")) << services.told[0].toStdString();
    EXPECT_TRUE(fs::exists(dir / "one/run.chb"));
}

TEST_F(ThumbnailTest, RenameKeepsTheFiftyCharacterRuleAndNeverReplaces) {
    thumbs.ShowFolder(Q(dir / "one"));
    QListWidgetItem* walk = thumbs.item(2);
    EXPECT_FALSE(thumbs.FinishRename(walk, "run.chb"));
    EXPECT_FALSE(thumbs.FinishRename(walk, QString(51, 'w') + ".cha"));
    QCoreApplication::processEvents();  // messages come once the editor has closed
    EXPECT_EQ(services.told.size(), 2);
    EXPECT_TRUE(fs::exists(dir / "one/walk.CHA"));
    EXPECT_TRUE(thumbs.FinishRename(walk, QString(50, 'w') + ".cha"));
    EXPECT_TRUE(fs::exists(dir / ("one/" + std::string(50, 'w') + ".cha")));
    EXPECT_EQ(thumbs.Entries().size(), 3u);
}

// A rename ended by the current row moving on (an arrow key, a click on another picture): Qt
// commits the name and closes the editor while it still holds the row it leaves; the rows are
// made again only once it is done.
TEST_F(ThumbnailTest, ARenameEndedByMovingOnLeavesTheListWhole) {
    thumbs.ShowFolder(Q(dir / "one"));
    for (const auto& [from, to] : {std::pair{"walk.CHA", "step.cha"}, {"run.chb", "jog.chb"}}) {
        SCOPED_TRACE(to);
        WaitForWorker();
        thumbs.setCurrentItem(thumbs.findItems(from, Qt::MatchExactly).at(0));
        thumbs.RenameFile();
        QLineEdit* editor = nullptr;
        for (QLineEdit* open : thumbs.viewport()->findChildren<QLineEdit*>()) {
            if (open->isVisible() && open->text() == from) editor = open;
        }
        ASSERT_TRUE(editor);
        editor->setText(to);
        thumbs.setCurrentRow((thumbs.currentRow() + 1) % thumbs.count());
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(dir / "one/" + to); }, 2000));
        QTest::qWait(20);
        EXPECT_TRUE(Labels(thumbs).contains(to));
        EXPECT_EQ(thumbs.count(), 3);
    }
}

TEST_F(ThumbnailTest, BusyTimelineGraysTheCommands) {
    thumbs.ShowFolder(Q(dir / "one"));
    Select("walk.CHA");
    services.busy = true;
    thumbs.CopyFiles();
    thumbs.DeleteFiles();
    EXPECT_TRUE(thumbs.Clipboard().IsEmpty());
    EXPECT_TRUE(services.asked.isEmpty());
    EXPECT_FALSE(thumbs.CanCopy());
}

TEST_F(ThumbnailTest, DraggedFilesCarryTheirPathsAndUris) {
    thumbs.ShowFolder(Q(dir / "one"));
    Select("run.chb");
    std::unique_ptr<QMimeData> data(
        thumbs.model()->mimeData(thumbs.selectionModel()->selectedIndexes()));
    ASSERT_TRUE(data);
    EXPECT_EQ(QString::fromUtf8(data->data(CThumbnailCtrl::kMotionFilesMime)),
              Q(dir / "one/run.chb"));
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_EQ(data->urls()[0].toLocalFile(), Q(dir / "one/run.chb"));
    EXPECT_TRUE(data->hasFormat("text/uri-list"));
}

// Between folders the maker lets go of its 3D system; set up again, on another thread too, it
// draws each motion as before.
TEST(MotionThumbnailMaker, DrawsTheSamePictureAfterLettingGoOfItsGenerator) {
    CMotionThumbnailMaker maker(TAVREL_SHARE_DIR);
    const std::string walk = TAVREL_SHARE_DIR "/Motion/Locomotion/walk.cha";
    const ThumbnailPtr first = maker.Make(walk, 50, 50);
    ASSERT_TRUE(first);
    maker.Release();
    ThumbnailPtr again;
    std::thread([&] { again = maker.Make(walk, 50, 50); }).join();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rgb, first->rgb);
    EXPECT_NE(first->rgb, std::vector<uint8_t>(first->rgb.size(), first->rgb[0]));
}

TEST(ChildFrame, LaysOutItsPanesAndMakesPicturesOfTheLibrary) {
    TempDir dir;
    fs::copy(TAVREL_SHARE_DIR "/Motion", dir.Path(), fs::copy_options::recursive);
    FakeServices services;
    CChildFrame frame(services, Q(dir.Path().string()), TAVREL_SHARE_DIR);
    frame.resize(500, 400);
    frame.show();
    QTest::qWait(0);
    // The library's root holds folders only: the gallery opens on the first with motions.
    EXPECT_EQ(frame.Tree()->CurrentFolder(), Q(dir / "Everyday"));
    EXPECT_EQ(frame.Thumbnails()->CurrentFolder(), Q(dir / "Everyday"));
    EXPECT_EQ(frame.LeftColumn()->minimumWidth(), CChildFrame::kLeftMinimum);
    EXPECT_EQ(frame.Thumbnails()->minimumWidth(), CChildFrame::kRightMinimum);
    // Labels have room for about twelve characters under the 50-pixel pictures.
    EXPECT_EQ(frame.Thumbnails()->gridSize(), QSize(90, 74));
    // The tooltips are the command's texts.
    QStringList tips;
    for (QAction* action : frame.ToolBar()->actions()) {
        if (action->data().isValid()) tips << action->toolTip();
    }
    EXPECT_EQ(tips.size(), 8);
    EXPECT_TRUE(tips.contains(GalleryText(32913)));
    // From the second sizing on the preview gets a third of the column.
    frame.resize(500, 460);
    QTest::qWait(0);
    const QList<int> rows = frame.LeftColumn()->Splitter()->sizes();
    EXPECT_EQ(rows[1], (rows[0] + rows[1]) / 3);

    frame.Tree()->SelectPath(Q(dir / "Gestures"));
    QSignalSpy shown(frame.Thumbnails(), &CThumbnailCtrl::PictureShown);
    QTRY_VERIFY_WITH_TIMEOUT(!frame.Thumbnails()->IsWorkerRunning(), 20000);
    QTest::qWait(0);
    EXPECT_EQ(shown.count(), 3);
    const QImage picture = frame.Thumbnails()->item(0)->icon().pixmap(50, 50).toImage();
    EXPECT_FALSE(picture.isNull());
    // The avatar stands in the middle: the centre is drawn, a corner is background (masked).
    EXPECT_GT(qAlpha(picture.pixel(25, 25)) + qAlpha(picture.pixel(25, 15)), 0);
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0);

    // Hovering plays the motion inside its thumbnail; leaving brings the still picture back.
    CThumbnailCtrl* thumbs = frame.Thumbnails();
    const int wave = int(std::find(thumbs->Entries().begin(), thumbs->Entries().end(), "wave.cha") -
                         thumbs->Entries().begin());
    ASSERT_LT(wave, thumbs->count());
    auto iconOf = [&] { return thumbs->item(wave)->icon().pixmap(50, 50).toImage(); };
    const QImage still = iconOf();
    thumbs->HoverOver(wave);
    EXPECT_EQ(thumbs->HoveredRow(), wave);
    thumbs->StepHover();
    EXPECT_NE(iconOf(), still);
    thumbs->HoverOver(-1);
    EXPECT_EQ(iconOf(), still);

    emit frame.Thumbnails()->PreviewRequested(Q(dir / "Gestures/wave.cha"));
    EXPECT_EQ(frame.Preview()->MotionPath(), Q(dir / "Gestures/wave.cha"));
    frame.Preview()->Step();
    EXPECT_FALSE(frame.Preview()->Picture().isNull());
    emit frame.Thumbnails()->PreviewRequested(QString());
    EXPECT_TRUE(frame.Preview()->MotionPath().isEmpty());

    // The View menu's larger pictures, made again at their size (not the cached small ones),
    // and back.
    for (const int size : {CThumbnailCtrl::kLargeThumbnail, CThumbnailCtrl::kThumbnailWidth}) {
        ASSERT_TRUE(frame.HandleCommand(size == CThumbnailCtrl::kLargeThumbnail
                                            ? gallery_command::kLargeThumbnails
                                            : gallery_command::kSmallThumbnails));
        QTRY_VERIFY_WITH_TIMEOUT(!thumbs->IsWorkerRunning(), 20000);
        QTest::qWait(0);
        EXPECT_EQ(thumbs->iconSize(), QSize(size, size));
        EXPECT_EQ(thumbs->item(0)->icon().availableSizes().value(0), QSize(size, size));
    }
}

}  // namespace
}  // namespace tavrel

namespace tavrel {
namespace {

// The preview's teardown takes the 3D lock only for a renderer it made: one that never drew
// goes while another thread holds the lock, so closing the gallery never waits for the
// worker's picture in hand (nor locks again a lock its own thread holds).
TEST(ImageAreaTeardown, WaitsForTheSharedLockOnlyWhenItDrew) {
    std::mutex shared;
    auto area = std::make_unique<CImageArea>(shared, Q(TAVREL_SHARE_DIR));
    std::atomic<bool> gone{false}, released{false};
    std::promise<void> holding;
    std::thread holder([&] {
        std::lock_guard guard(shared);
        holding.set_value();
        for (int i = 0; i < 5000 && !gone; ++i)  // at most 5 s, so a wait ends
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        released = true;
    });
    holding.get_future().wait();
    area.reset();
    const bool wentWhileHeld = !released;
    gone = true;
    holder.join();
    EXPECT_TRUE(wentWhileHeld);
}

}  // namespace
}  // namespace tavrel
