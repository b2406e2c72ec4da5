// Two motions dropped from the library onto the timeline, the second over the end of the
// first: the question that follows offers a blend first, Enter takes it, and the avatar shows
// the cross-fade. The keys then reach the timeline, though the drags started in the gallery.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "RKWindow/ui/C3DWindowView.h"
#include "app/C3DWindowColleague.h"
#include "app/EditorWindows.h"
#include "app/ProjectFileCommands.h"
#include "app/FixedChildFrame.h"
#include "app/GalleryColleague.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "app/TimelineColleague.h"
#include "app/TimelineHost.h"
#include "tests/support/TempFolder.h"
#include "timeline/ui/ObjectGrid.h"
#include "timeline/ui/TimeLineView.h"

namespace tavrel::testing {
namespace {

namespace fs = std::filesystem;

bool WaitForFrames(const C3DWindowView& view, int frames) {
    for (int i = 0; i < 400 && view.FramesDrawn() < frames; ++i) QTest::qWait(25);
    return view.FramesDrawn() >= frames;
}

// The first two motions of the user's library, in name order.
std::vector<std::string> TwoLibraryMotions(const fs::path& library) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(library)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".cha" || ext == ".chb")) {
            found.push_back(entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    found.resize(std::min<size_t>(found.size(), 2));
    return found;
}

class DropBlendJourney : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            GTEST_SKIP() << "needs an X server (run under xvfb-run -a)";
        }
        ::setenv("TAVREL_HOME", (home / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        CStartOptions options;
        options.bundlePath = TAVREL_VESK_RCC;
        options.programFolder = TAVREL_SHARE_DIR;
        options.instanceName = QString::fromStdString(home / "instance");
        // The windows in the frames, as the program's start joins them.
        options.connectWindows = [this](CTavrelMediator* mediator) {
            ConnectEditorWindows(mediator);
            if (app.FileCommands()) {
                app.FileCommands()->SetTimeline(mediator->Timeline()->Operations());
            }
        };
        ASSERT_EQ(app.Start({}, options), CTavrelApp::StartResult::Running);
        view3D = app.Mediator()->Window3D()->View();
        ASSERT_NE(view3D, nullptr);
        ASSERT_TRUE(WaitForFrames(*view3D, 1));
        auto* host = dynamic_cast<CTimelineHost*>(app.Mediator()->Timeline()->Operations());
        ASSERT_NE(host, nullptr);
        timeline = host->View();
        app.MainFrame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(app.MainFrame()));
        if (!Panel().Model().HasProject()) {
            ASSERT_TRUE(app.Mediator()->Timeline()->NewProject());
        }
    }

    CTimelinePanel& Panel() { return timeline->Panel(); }

    // A key as the window system delivers it: to the focused widget, shortcuts first. The
    // commands' states are brought up to date first, as the idle pass has done by the time a
    // user presses the next key.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        app.MainFrame()->UpdateCommandStates();
        QTest::keyClick(app.MainFrame()->windowHandle(), Qt::Key(key), modifiers);
        QTest::qWait(0);
    }

    // The user works in the gallery, as before a drag from it.
    void WorkInTheGallery() {
        CFixedChildFrame* gallery = app.Mediator()->Gallery()->Frame();
        app.MainFrame()->MdiArea()->setActiveSubWindow(gallery);
        gallery->widget()->setFocus();
        QTest::qWait(0);
    }

    // Drops files on the motion track at a frame, as a drag from the gallery ends.
    void DropAt(const std::string& file, int frame) {
        CObjectGrid& grid = Panel().Grid();
        const QPoint at(Panel().Mapping().XOf(frame) + 1, CObjectGrid::kClipTop + 4);
        QMimeData data;
        data.setData(CObjectGrid::kMotionFilesMime, QByteArray::fromStdString(file + "\n"));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&grid, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&grid, &drop);
    }

    TempFolder home;
    CTavrelApp app;
    C3DWindowView* view3D = nullptr;
    CTimeLineView* timeline = nullptr;
};

TEST_F(DropBlendJourney, DropOverAnEndThenEnterBlends) {
    const std::vector<std::string> motions = TwoLibraryMotions(home / "data/Motion");
    ASSERT_EQ(motions.size(), 2u);
    CTimelineModel& model = Panel().Model();
    WorkInTheGallery();
    DropAt(motions[0], 0);
    ASSERT_EQ(model.Project().motionClips.Count(), 1);
    const MotionClip first = *model.Project().motionClips.begin();
    const int overlapStart = first.lastFrame - 9;

    // The question is answered with the keyboard as soon as it is up.
    QString asked;
    WorkInTheGallery();
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        asked = static_cast<QMessageBox*>(box)->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    DropAt(motions[1], overlapStart);
    EXPECT_TRUE(asked.contains("Blend")) << asked.toStdString();

    // Both clips whole, overlapping over the last ten frames of the first.
    ASSERT_EQ(model.Project().motionClips.Count(), 2);
    const MotionClip second = *model.Project().motionClips.begin();
    EXPECT_EQ(second.firstFrame, overlapStart);
    EXPECT_EQ(std::next(model.Project().motionClips.begin())->lastFrame, first.lastFrame);
    EXPECT_EQ(model.UndoCount(), 2);
    const FrameSample sample = model.GetFrameSample(overlapStart + 5);
    EXPECT_FALSE(sample.fileB.empty());
    EXPECT_GT(sample.weight, 0.0f);
    EXPECT_LT(sample.weight, 1.0f);

    // The avatar moves through the blend: the middle of the overlap differs from its start.
    const auto pictureAt = [&](int frame) {
        const int drawn = view3D->FramesDrawn();
        Panel().SetCurrentFrame(frame);
        view3D->update();
        EXPECT_TRUE(WaitForFrames(*view3D, drawn + 1));
        return view3D->LastFrame();
    };
    const QImage start = pictureAt(overlapStart - 1);
    const QImage middle = pictureAt(overlapStart + 5);
    EXPECT_NE(start, middle);

    // The keys now act on the timeline, through the window as a user presses them.
    EXPECT_EQ(app.MainFrame()->MdiArea()->activeSubWindow(), app.Mediator()->Timeline()->Frame());
    Panel().SetCurrentFrame(overlapStart);
    Key(Qt::Key_Right);
    EXPECT_EQ(Panel().CurrentFrame(), overlapStart + 1);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Panel().IsPlaying());
    Key(Qt::Key_Space);
    EXPECT_FALSE(Panel().IsPlaying());
    Key(Qt::Key_Z, Qt::ControlModifier);  // the blend taken back whole
    EXPECT_EQ(model.Project().motionClips.Count(), 1);
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(model.Project().motionClips.Count(), 2);
    Key(Qt::Key_Delete);  // the selected clip goes, the library's file stays
    EXPECT_EQ(model.Project().motionClips.Count(), 1);
    for (const std::string& file : motions) EXPECT_TRUE(fs::exists(file)) << file;
}

}  // namespace
}  // namespace tavrel::testing
