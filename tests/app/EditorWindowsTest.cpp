// The timeline and the gallery in their frames, joined through the mediator: a project opened
// by name shows on the timeline, frames reach the 3D window, Enter plays and grays the gallery,
// and a thumbnail's drag data dropped on the motion track becomes a clip.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "app/GalleryHost.h"
#include "app/ResourceBundle.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "app/TimelineHost.h"
#include "browse/ThumbnailCtrl.h"
#include "motion/Motion.h"
#include "tests/support/CaptureBvh.h"
#include "tests/support/TempFolder.h"
#include "timeline/ProjectFileWriter.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/ObjectGrid.h"
#include "uikit/UiText.h"

namespace tavrel::testing {
namespace {

// Keeps every frame the timeline sends to the 3D window.
class RecordingMediator : public CTavrelMediator {
public:
    using CTavrelMediator::CTavrelMediator;
    void ShowFrameSample(const FrameSample& sample) override {
        shown.push_back(sample);
        CTavrelMediator::ShowFrameSample(sample);
    }
    std::vector<FrameSample> shown;
};

// Keeps the timeline's messages instead of showing them in boxes that wait for a click.
class RecordingDialogs : public CPanelDialogs {
public:
    std::vector<std::string> AskOpenFiles(FileKind) override { return {}; }
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
    bool OpenVolumeControl() override { return false; }
    int AskNumber(const std::string&, int, int, int) override { return 0; }
    std::vector<std::string> shown;
};

class EditorWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TAVREL_HOME", home.Path().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        // The working folder is emptied by a new project: never the one of other programs.
        tmpFolder.emplace("TMPDIR", (home / "tmp").c_str());
        std::filesystem::create_directories(home / "tmp");
        ASSERT_TRUE(bundle.Load(TAVREL_VESK_RCC));
        previousSink = ui::SetMessageSink([this](const Message& m) { messages.push_back(m); });
        std::filesystem::copy(std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion",
                              home / "library");
        frame = std::make_unique<CTavrelMainFrame>();
        frame->BuildCommands();
        frame->show();
        mediator = std::make_unique<RecordingMediator>(
            frame.get(), CShellOptions{home.Path(), home / "program", false});
        frame->SetMediator(mediator.get());
        Connect();
    }
    void TearDown() override {
        mediator.reset();
        frame.reset();
        ui::SetMessageSink(previousSink);
        bundle.Unload();
        tmpFolder.reset();
    }

    // The windows as the editor makes them, with a silent sound and a clock the test turns.
    void Connect() {
        CTimelinePanel::Services services;
        services.sound = &sound;
        services.dialogs = recordDialogs ? &dialogs : nullptr;
        services.clock = [this] { return now; };
        auto host = CTimelineHost::Create(mediator.get(), services);
        ASSERT_TRUE(host);
        timeline = host.get();
        mediator->Timeline()->SetPanel(timeline->View(), std::move(host));
        auto pane = std::make_unique<CGalleryHost>(
            mediator.get(), QString::fromStdString(home / "library"), TAVREL_SHARE_DIR);
        gallery = pane.get();
        mediator->Gallery()->SetPane(gallery->Frame(), std::move(pane));
    }

    CTimelinePanel& Panel() { return timeline->Panel(); }
    CThumbnailCtrl& Thumbnails() { return *gallery->Frame()->Thumbnails(); }

    // What the gallery puts in a drag of its first thumbnail.
    std::unique_ptr<QMimeData> DragOfFirstThumbnail() {
        EXPECT_TRUE(Thumbnails().ShowFolder(QString::fromStdString(home / "library")));
        EXPECT_GT(Thumbnails().count(), 0);
        QAbstractItemModel* model = Thumbnails().model();
        return std::unique_ptr<QMimeData>(model->mimeData({model->index(0, 0)}));
    }

    // Drops the data on the motion track at the frame's position.
    bool DropOnMotionTrack(const QMimeData& data, int frame) {
        CObjectGrid& grid = Panel().Grid();
        const QPointF at(Panel().Mapping().XOf(frame) + 1, CObjectGrid::kClipTop + 2);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject&>(grid).event(&enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject&>(grid).event(&drop);
        return true;
    }

    QAction* CopyButton() {
        for (QAction* action : gallery->Frame()->ToolBar()->actions()) {
            if (action->data().toInt() == 32904) return action;
        }
        return nullptr;
    }

    // Runs an add command of the panel; its open-file dialog, once up, tells where it starts and
    // is given `pick` to open (or cancelled when empty).
    std::string AddThroughDialog(int command, const std::string& pick) {
        std::string start;
        QObject scope;  // no answer is left waiting for a dialog that never came
        std::function<void()> answer = [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return QTimer::singleShot(10, &scope, answer);
            start = dialog->directory().absolutePath().toStdString();
            if (pick.empty()) return dialog->reject();
            dialog->selectFile(QString::fromStdString(pick));
            static_cast<QDialog*>(dialog)->accept();
        };
        QTimer::singleShot(0, &scope, answer);
        Panel().RunCommand(command);
        return start;
    }

    void Key(int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(timeline->View(), &press);
    }

    TempFolder home;
    std::optional<ScopedEnv> tmpFolder;
    CResourceBundle bundle;
    ui::MessageSink previousSink;
    std::vector<Message> messages;
    CNullSoundPlayback sound;
    RecordingDialogs dialogs;
    bool recordDialogs = false;  // set, then Connect(): the timeline's messages go to dialogs
    int64_t now = 0;
    std::unique_ptr<CTavrelMainFrame> frame;
    std::unique_ptr<RecordingMediator> mediator;
    CTimelineHost* timeline = nullptr;
    CGalleryHost* gallery = nullptr;
};

TEST_F(EditorWindowsTest, BothSidesAgreeOnTheDragDataAndADropInsertsAClip) {
    ASSERT_TRUE(mediator->OnCommand(command::kNewProject));
    const std::unique_ptr<QMimeData> data = DragOfFirstThumbnail();
    ASSERT_TRUE(data->hasFormat(CObjectGrid::kMotionFilesMime));
    EXPECT_STREQ(CObjectGrid::kMotionFilesMime, CThumbnailCtrl::kMotionFilesMime);
    ASSERT_TRUE(data->hasUrls());  // for other programs
    const std::string dragged = data->urls().first().toLocalFile().toStdString();

    ASSERT_TRUE(DropOnMotionTrack(*data, 40));
    const MotionClip* clip = Panel().Model().SelectedClip();
    ASSERT_NE(clip, nullptr) << (messages.empty() ? "" : messages.back().Text(ui::Lookup()));
    EXPECT_EQ(clip->firstFrame, 40);
    EXPECT_EQ(std::filesystem::path(clip->fileName).stem(), std::filesystem::path(dragged).stem());
    // The edit menu reaches the timeline once its frame is the active one.
    mediator->SetActiveColleague(mediator->Timeline());
    EXPECT_TRUE(mediator->OnCommand(command::kEditUndo));
    EXPECT_TRUE(Panel().Model().Project().motionClips.Count() == 0);
    EXPECT_TRUE(mediator->OnCommand(command::kEditRedo));
    EXPECT_EQ(Panel().Model().Project().motionClips.Count(), 1);
}

TEST_F(EditorWindowsTest, ACaptureOfAnotherSkeletonIsListedAndDroppedAsAClipOfOurs) {
    recordDialogs = true;
    Connect();
    ASSERT_TRUE(mediator->OnCommand(command::kNewProject));
    const std::string capture = home / "library/capture.bvh";
    std::ofstream(capture) << CaptureBvh(10);
    ASSERT_TRUE(Thumbnails().ShowFolder(QString::fromStdString(home / "library")));
    const auto& entries = Thumbnails().Entries();
    const auto listed = std::find(entries.begin(), entries.end(), "capture.bvh");
    ASSERT_NE(listed, entries.end());
    EXPECT_FALSE(Thumbnails()
                     .item(int(listed - entries.begin()))
                     ->data(CThumbnailCtrl::kUnreadableRole)
                     .toBool());

    QMimeData data;
    data.setData(CObjectGrid::kMotionFilesMime, QByteArray::fromStdString(capture));
    ASSERT_TRUE(DropOnMotionTrack(data, 40));
    const MotionClip* clip = Panel().Model().SelectedClip();
    ASSERT_NE(clip, nullptr) << (messages.empty() ? "" : messages.back().Text(ui::Lookup()));
    // 10 frames at 30 a second span 19 at the timeline's 60.
    EXPECT_EQ(clip->firstFrame, 40);
    EXPECT_EQ(clip->lastFrame, 58);
    CMotion imported(clip->fileName, 0);
    ASSERT_TRUE(imported.HasData());
    EXPECT_TRUE(imported.HasStandardSkeleton());
    EXPECT_EQ(imported.GetData()->GetFrameRate(), 60);
    EXPECT_NE(std::filesystem::path(clip->fileName).extension(), ".bvh");
    // The user is told which joints found no place; the capture itself is left as it was.
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const std::string told = dialogs.shown.back();
    EXPECT_EQ(told.rfind("capture.bvh was fitted to the avatar's skeleton", 0), 0u) << told;
    EXPECT_NE(told.find("Tail"), std::string::npos) << told;
    std::ifstream again(capture);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), CaptureBvh(10));
}

TEST_F(EditorWindowsTest, AProjectOpenedByNameShowsOnTheTimelineAndItsFramesReachThe3DWindow) {
    ASSERT_TRUE(mediator->OnCommand(command::kNewProject));
    ASSERT_TRUE(DropOnMotionTrack(*DragOfFirstThumbnail(), 10));
    const int last = Panel().Model().LastFrame();
    ASSERT_GT(last, 10);
    const std::string file = home / "saved.tvp";
    std::string error;
    ASSERT_TRUE(CProjectFileWriter::Write(Panel().Model().Project(), file, &error)) << error;

    // As the command line does it: through the main window once the mediator stands.
    frame->OpenDocumentByName(QString::fromStdString(file));
    ASSERT_TRUE(timeline->Project());
    EXPECT_EQ(Panel().Model().LastFrame(), last);
    EXPECT_EQ(Panel().Model().Project().motionClips.Count(), 1);
    EXPECT_EQ(mediator->ProjectPath(), file);
    // Opened again, the clips keep their names (the copies of the first opening are gone).
    const std::string clipFile = Panel().Model().ClipAtPosition(0)->fileName;
    ASSERT_TRUE(mediator->OpenFile(file));
    EXPECT_EQ(Panel().Model().ClipAtPosition(0)->fileName, clipFile);

    mediator->shown.clear();
    ASSERT_TRUE(Panel().SetCurrentFrame(12));
    ASSERT_FALSE(mediator->shown.empty());
    EXPECT_EQ(mediator->shown.back().frame, 12);
    EXPECT_FALSE(mediator->shown.back().clipFile.empty());
    Key(Qt::Key_Right);
    EXPECT_EQ(mediator->shown.back().frame, 13);
}

TEST_F(EditorWindowsTest, EnterPlaysAndTheGalleryIsGrayedUntilTheTimelineStops) {
    ASSERT_TRUE(mediator->OnCommand(command::kNewProject));
    const std::unique_ptr<QMimeData> data = DragOfFirstThumbnail();
    ASSERT_TRUE(DropOnMotionTrack(*data, 0));
    Thumbnails().item(0)->setSelected(true);
    QAction* copy = CopyButton();
    ASSERT_TRUE(copy);
    ASSERT_TRUE(copy->isEnabled());
    mediator->shown.clear();

    Key(Qt::Key_Return);
    ASSERT_TRUE(Panel().IsPlaying());
    EXPECT_TRUE(mediator->IsTimelineBusy());
    EXPECT_FALSE(copy->isEnabled());  // grayed at once, not at the next click
    EXPECT_FALSE(gallery->CanCopy());
    EXPECT_FALSE(mediator->IsCommandEnabled(command::kNewProject));
    EXPECT_FALSE(DropOnMotionTrack(*data, 200));  // no drops while playing
    // The clock moves on: the next tick shows a later frame on the avatar.
    now += 100;
    Panel().OnTimer(Panel().PlayAllTimer().Identifier());
    ASSERT_FALSE(mediator->shown.empty());
    EXPECT_GT(mediator->shown.back().frame, 0);

    Key(Qt::Key_Return);  // Enter again stops
    EXPECT_FALSE(Panel().IsPlaying());
    EXPECT_FALSE(mediator->IsTimelineBusy());
    EXPECT_TRUE(copy->isEnabled());
    EXPECT_TRUE(gallery->CanCopy());
}

// Motions and poses are added from the folder they were last added from (kept for the next
// run), else from the motion library; never from wherever the program was started.
TEST_F(EditorWindowsTest, AddDialogsStartWhereTheirKindWasLastAddedFrom) {
    const std::string walk = std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha";
    for (const char* folder : {"Motion", "moves", "poses"}) {
        std::filesystem::create_directories(home / folder);
        std::filesystem::copy_file(walk, home / (std::string(folder) + "/walk.cha"));
    }
    struct Step {
        int command;
        std::string pick;  // empty: cancelled
        std::string start, motionKept, poseKept;
    };
    const Step steps[] = {
        {commands::kAddMotion, "", home / "Motion", "", ""},
        {commands::kAddMotion, home / "moves/walk.cha", home / "Motion", home / "moves", ""},
        {commands::kAddPose, home / "poses/walk.cha", home / "Motion", home / "moves",
         home / "poses"},
        {commands::kAddMotion, "", home / "moves", home / "moves", home / "poses"},
        {commands::kAddPose, "", home / "poses", home / "moves", home / "poses"},
    };
    ASSERT_TRUE(mediator->OnCommand(command::kNewProject));
    for (const Step& step : steps) {
        EXPECT_EQ(AddThroughDialog(step.command, step.pick), step.start) << step.pick;
        EXPECT_EQ(mediator->GetMotionDirectory(), step.motionKept) << step.pick;
        EXPECT_EQ(mediator->GetPoseDirectory(), step.poseKept) << step.pick;
        Panel().SetCurrentFrame(Panel().Model().LastFrame() + 1);  // the next clip overlaps none
    }
    EXPECT_EQ(Panel().Model().Project().motionClips.Count(), 2);
    // The next run's timeline starts where this one left off.
    Connect();
    ASSERT_TRUE(mediator->OnCommand(command::kNewProject));
    EXPECT_EQ(AddThroughDialog(commands::kAddPose, ""), home / "poses");
}

}  // namespace
}  // namespace tavrel::testing
