#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTimer>

#include "app/AboutBox.h"
#include "app/AppVersion.h"
#include "app/DisplayCheck.h"
#include "app/FixedChildFrame.h"
#include "app/HelpWindow.h"
#include "app/PreviewDialog.h"
#include "app/WindowLayout.h"
#include "tests/app/ShellFixture.h"

namespace tavrel::testing {
namespace {

TEST(WindowLayoutTest, SplitsTheClientAreaIntoThreeFrames) {
    const CWindowLayout layout = ComputeWindowLayout(1000, 700);
    EXPECT_EQ(layout.view3D, QRect(0, 0, 599, 483));
    EXPECT_EQ(layout.gallery, QRect(600, 0, 397, 483));
    EXPECT_EQ(layout.timeline, QRect(0, 483, 997, 216));
    // An odd width: the upper frames round down, each on its own.
    const CWindowLayout odd = ComputeWindowLayout(1281, 900);
    EXPECT_EQ(odd.view3D.width(), 767);
    EXPECT_EQ(odd.gallery.x(), 768);
    EXPECT_EQ(odd.gallery.width(), 1278 - 768);
    // A short client area (a scale factor of 2): the strip shrinks, down to its own minimum,
    // before an upper frame would have to reach over it.
    const struct {
        int height, upper, strip;
    } shortAreas[] = {
        {700, 483, 216}, {360, 191, 168}, {330, 161, 168}, {340, 171, 168}, {380, 200, 179}};
    for (const auto& c : shortAreas) {
        const CWindowLayout layout = ComputeWindowLayout(640, c.height, 200);
        EXPECT_EQ(layout.gallery.height(), c.upper) << c.height;
        EXPECT_EQ(layout.timeline.height(), c.strip) << c.height;
        EXPECT_EQ(layout.timeline.top(), layout.gallery.bottom() + 1) << c.height;
    }
}

TEST(DisplayCheckTest, NeedsSixteenBitsAndEightHundredBySixHundred) {
    EXPECT_TRUE(IsDisplayAccepted(16, 800, 600));
    EXPECT_TRUE(IsDisplayAccepted(32, 1920, 1080));
    EXPECT_FALSE(IsDisplayAccepted(15, 800, 600));
    EXPECT_FALSE(IsDisplayAccepted(16, 799, 600));
    EXPECT_FALSE(IsDisplayAccepted(16, 800, 599));
}

using MediatorTest = ShellFixture;

TEST_F(MediatorTest, ArrangesTheFramesOnEveryResizeAndOnCommand) {
    SetClientSize(1000, 700);
    EXPECT_EQ(mediator->Window3D()->Frame()->geometry(), QRect(0, 0, 599, 483));
    EXPECT_EQ(mediator->Gallery()->Frame()->geometry(), QRect(600, 0, 397, 483));
    EXPECT_EQ(mediator->Timeline()->Frame()->geometry(), QRect(0, 483, 997, 216));

    EXPECT_TRUE(frame->OnCommand(command::kFill3D));
    EXPECT_EQ(mediator->Window3D()->Frame()->geometry(), QRect(0, 0, 1000, 700));
    EXPECT_EQ(frame->MdiArea()->activeSubWindow(), mediator->Window3D()->Frame());

    EXPECT_TRUE(frame->OnCommand(command::kArrange));
    EXPECT_EQ(mediator->Window3D()->Frame()->geometry(), QRect(0, 0, 599, 483));

    SetClientSize(1200, 800);
    EXPECT_EQ(mediator->Timeline()->Frame()->geometry(), QRect(0, 583, 1197, 216));
}

TEST_F(MediatorTest, FramesCannotBeClosedMinimisedOrMaximised) {
    for (CFixedChildFrame* child : {mediator->Window3D()->Frame(), mediator->Gallery()->Frame(),
                                    mediator->Timeline()->Frame()}) {
        const Qt::WindowFlags flags = child->windowFlags();
        EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(child->systemMenu(), nullptr);
        EXPECT_FALSE(child->close());
        EXPECT_TRUE(child->isVisible());
        child->showMaximized();
        EXPECT_FALSE(child->isMaximized());
        child->showMinimized();
        EXPECT_FALSE(child->isMinimized());
    }
    EXPECT_EQ(frame->MdiArea()->subWindowList().size(), 3);
    EXPECT_EQ(mediator->Window3D()->Frame()->minimumHeight(), 150);
    EXPECT_EQ(mediator->Gallery()->Frame()->minimumHeight(), 150);
    EXPECT_EQ(mediator->Timeline()->Frame()->minimumHeight(), 168);
}

TEST_F(MediatorTest, TheTimelineFrameKeepsWithinItsHeights) {
    CFixedChildFrame* timeline = mediator->Timeline()->Frame();
    const QRect placed = timeline->geometry();
    for (const auto& [asked, kept] : {std::pair{400, 216}, {217, 216}, {100, 168}, {200, 200}}) {
        timeline->resize(placed.width(), asked);
        EXPECT_EQ(timeline->height(), kept) << asked;
    }
    mediator->ArrangeWindows();
    EXPECT_EQ(timeline->geometry(), placed);
}

TEST_F(MediatorTest, CaptionDoubleClickLeavesTheFrameAlone) {
    SetClientSize(1000, 700);
    CFixedChildFrame* gallery3 = mediator->Gallery()->Frame();
    const QRect before = gallery3->geometry();
    QTest::mouseDClick(gallery3, Qt::LeftButton, Qt::NoModifier, QPoint(before.width() / 2, 8));
    EXPECT_EQ(gallery3->geometry(), before);
    EXPECT_FALSE(gallery3->isMaximized());
    EXPECT_FALSE(gallery3->isShaded());
}

TEST_F(MediatorTest, EditCommandsFollowTheActiveColleague) {
    // The timeline is active at first.
    EXPECT_EQ(mediator->ActiveColleague(), mediator->Timeline());
    EXPECT_TRUE(frame->OnCommand(command::kEditCut));
    EXPECT_EQ(log.Joined(), "timeline.copy,timeline.delete");

    log.calls.clear();
    mediator->SetActiveColleague(mediator->Window3D());
    for (int id : {command::kEditCut, command::kEditCopy, command::kEditPaste, command::kDelete,
                   command::kEditSelectAll}) {
        EXPECT_FALSE(frame->OnCommand(id)) << id;
        EXPECT_FALSE(mediator->IsCommandEnabled(id)) << id;
    }
    EXPECT_TRUE(frame->OnCommand(command::kEditUndo));
    EXPECT_TRUE(frame->OnCommand(command::kEditRedo));
    EXPECT_EQ(log.Joined(), "3d.undo,3d.redo");

    log.calls.clear();
    mediator->SetActiveColleague(mediator->Gallery());
    EXPECT_FALSE(frame->OnCommand(command::kEditUndo));
    EXPECT_FALSE(frame->OnCommand(command::kEditRedo));
    EXPECT_FALSE(mediator->IsCommandEnabled(command::kEditUndo));
    frame->OnCommand(command::kEditCut);
    frame->OnCommand(command::kEditCopy);
    frame->OnCommand(command::kEditPaste);
    frame->OnCommand(command::kDelete);
    EXPECT_EQ(log.Joined(), "gallery.cut,gallery.copy,gallery.paste,gallery.delete");
}

TEST_F(MediatorTest, ACutWhoseCopyFailsKeepsTheClip) {
    timeline.copyWorks = false;
    EXPECT_FALSE(frame->OnCommand(command::kEditCut));
    EXPECT_EQ(log.Joined(), "timeline.copy");
}

TEST_F(MediatorTest, ActivatingAFrameMakesItsColleagueActive) {
    frame->MdiArea()->setActiveSubWindow(mediator->Gallery()->Frame());
    EXPECT_EQ(mediator->ActiveColleague(), mediator->Gallery());
    frame->MdiArea()->setActiveSubWindow(mediator->Window3D()->Frame());
    EXPECT_EQ(mediator->ActiveColleague(), mediator->Window3D());
    // The 3D window's activation lets the timeline show its frame again.
    EXPECT_NE(log.Joined().find("timeline.refresh"), std::string::npos);
    frame->MdiArea()->setActiveSubWindow(mediator->Timeline()->Frame());
    EXPECT_EQ(mediator->ActiveColleague(), mediator->Timeline());
}

TEST_F(MediatorTest, MenuCommandsReachTheirColleague) {
    for (int id :
         {32784, 32785, 32820, 32821, 32823, 32824, 32885, 32886, 32887, 40008, 40010, 40011}) {
        EXPECT_TRUE(frame->OnCommand(id)) << id;
    }
    EXPECT_TRUE(frame->OnCommand(command::kGalleryCommand));
    EXPECT_EQ(log.Joined(),
              "timeline.32784,timeline.32785,timeline.32820,timeline.32821,timeline.32823,"
              "timeline.32824,timeline.32885,timeline.32886,timeline.32887,timeline.40008,"
              "timeline.40010,timeline.40011,gallery.40015");
    EXPECT_TRUE(frame->OnCommand(command::kNothing3D));
    EXPECT_FALSE(frame->OnCommand(12345));
}

TEST_F(MediatorTest, NewProjectEmptiesTheMotionCacheOnlyWhenItWorked) {
    EXPECT_TRUE(frame->OnCommand(command::kNewProject));
    EXPECT_EQ(log.Joined(), "timeline.new,3d.emptycache");
    log.calls.clear();
    timeline.newWorks = false;
    EXPECT_FALSE(frame->OnCommand(command::kNewProject));
    EXPECT_EQ(log.Joined(), "timeline.new");
}

TEST_F(MediatorTest, OpenProjectAsksTheTimelineAndRemembersTheFile) {
    EXPECT_TRUE(frame->OnCommand(command::kOpenProject));
    ASSERT_EQ(timeline.opened.size(), 1u);
    EXPECT_EQ(timeline.opened[0], "");  // the timeline asks the user for a file

    for (int i = 0; i < 6; ++i) {
        const std::string path = home.Write("p" + std::to_string(i) + ".tvp", "x");
        EXPECT_TRUE(mediator->OpenFile(path));
    }
    const QStringList recent = frame->RecentFiles();
    ASSERT_EQ(recent.size(), 4);
    EXPECT_EQ(recent.first().toStdString(), home / "p5.tvp");
    EXPECT_EQ(recent.last().toStdString(), home / "p2.tvp");
}

TEST_F(MediatorTest, AMissingFileIsReportedAndNotHandedOn) {
    EXPECT_FALSE(mediator->OpenFile(home / "nowhere.tvp"));
    EXPECT_TRUE(timeline.opened.empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 62267);
    EXPECT_NE(ui::MessageText(messages[0]).toStdString().find("nowhere.tvp"), std::string::npos);
}

TEST_F(MediatorTest, ABusyTimelineDisablesNewOpenAndExit) {
    frame->UpdateCommandStates();
    EXPECT_TRUE(frame->Action(command::kNewProject)->isEnabled());
    timeline.busy = true;
    frame->UpdateCommandStates();
    // Nor may manipulation mode start while the timeline plays: its button says so.
    for (int id : {command::kNewProject, command::kOpenProject, command::kExit,
                   command::kManipulation}) {
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(frame->Action(command::kArrange)->isEnabled());
    EXPECT_FALSE(frame->OnCommand(command::kManipulation));
}

TEST_F(MediatorTest, TheOptionTogglesTwiceBackToItsMark) {
    QAction* option = frame->Action(command::kOption);
    ASSERT_NE(option, nullptr);
    EXPECT_TRUE(option->isChecked());
    EXPECT_TRUE(mediator->System()->Option());
    option->trigger();  // as a click on the menu item
    EXPECT_FALSE(option->isChecked());
    EXPECT_FALSE(mediator->System()->Option());
    frame->OnCommand(command::kOption);
    EXPECT_TRUE(option->isChecked());
    EXPECT_TRUE(mediator->System()->Option());
}

TEST_F(MediatorTest, ManipulationModeHoldsTheSharedMutex) {
    EXPECT_TRUE(frame->OnCommand(command::kManipulation));
    EXPECT_TRUE(mediator->Window3D()->IsManipulating());
    EXPECT_FALSE(mediator->System()->TryLock());
    // Another frame becoming active ends the mode and frees the mutex.
    frame->MdiArea()->setActiveSubWindow(mediator->Gallery()->Frame());
    EXPECT_FALSE(mediator->Window3D()->IsManipulating());
    ASSERT_TRUE(mediator->System()->TryLock());
    mediator->System()->Unlock();
}

TEST_F(MediatorTest, ProjectTitleAndGalleryFocusSetTheCaption) {
    mediator->SetProjectTitle("/tmp/dance.tvp");
    EXPECT_EQ(frame->windowTitle(), "Tavrel - /tmp/dance.tvp");
    frame->setWindowTitle("other");
    mediator->GalleryFocused();
    EXPECT_EQ(frame->windowTitle(), "Tavrel - /tmp/dance.tvp");
}

TEST_F(MediatorTest, CloseAsksTheTimelineFirst) {
    timeline.mayClose = false;
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(log.Joined(), "timeline.windup");
    EXPECT_TRUE(frame->isVisible());
    log.calls.clear();
    timeline.mayClose = true;
    EXPECT_TRUE(mediator->CanClose());
    EXPECT_EQ(log.Joined(), "timeline.windup,gallery.shutdown");
}

TEST_F(MediatorTest, DisplayChangeRebuildsWhatDependsOnIt) {
    EXPECT_TRUE(mediator->DisplayChanged(true));
    EXPECT_EQ(log.Joined(), "gallery.rebuild");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MediatorTest, ARefusedDisplayModeIsReported) {
    EXPECT_FALSE(mediator->DisplayChanged(false));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 61257);
    EXPECT_TRUE(log.calls.empty());  // nothing rebuilt
    EXPECT_EQ(programEnds, 1);
    // The tests' own event loops still turn afterwards.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] { loop.exit(7); });
    EXPECT_EQ(loop.exec(), 7);
}

// The offscreen platform has no OpenGL: the 3D window says so instead of showing a view.
TEST_F(MediatorTest, WithoutOpenGLThe3DWindowShowsANotice) {
    CTavrelMainFrame otherFrame;
    CTavrelMediator withGL(&otherFrame, CShellOptions{home.Path(), home / "program", true});
    ASSERT_TRUE(withGL.IsCreated());
    EXPECT_EQ(withGL.Window3D()->View(), nullptr);
    auto* notice = qobject_cast<QLabel*>(withGL.Window3D()->Frame()->widget());
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), ui::Text(62260));
    EXPECT_FALSE(withGL.Window3D()->SelectCamera(0));
    withGL.Zoom(1.0f);  // nothing to zoom, and no crash
}

TEST_F(MediatorTest, DocumentsAndHelpOpenFromTheProgramFolder) {
    std::vector<QUrl> opened;
    mediator->System()->SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    // No help file yet: the message names it.
    EXPECT_TRUE(frame->OnCommand(command::kHelp));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 61262);
    const std::string text = ui::MessageText(messages[0]).toStdString();
    EXPECT_NE(text.find("help/index.html"), std::string::npos) << text;
    EXPECT_EQ(text.find("%HelpFilename"), std::string::npos);
    EXPECT_TRUE(opened.empty());

    // Help opens in the program's own window, no browser needed; its links stay there.
    home.Write("program/help/index.html", "<html><a href=\"keys.html\">Keys</a></html>");
    home.Write("program/help/keys.html", "<html><p>Space plays</p></html>");
    EXPECT_TRUE(frame->OnCommand(command::kHelp));
    ASSERT_NE(mediator->Help(), nullptr);
    EXPECT_TRUE(mediator->Help()->isVisible());
    EXPECT_EQ(mediator->Help()->Page().toLocalFile().toStdString(), home / "program/help/index.html");
    mediator->Help()->Browser()->setSource(QUrl("keys.html"));
    EXPECT_TRUE(mediator->Help()->Browser()->toPlainText().contains("Space plays"));
    EXPECT_TRUE(frame->OnCommand(command::kDocument1));
    EXPECT_TRUE(frame->OnCommand(command::kDocument2));
    EXPECT_TRUE(frame->OnCommand(command::kDocument3));
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].fileName(), ui::Text(61259).section('/', -1));
    EXPECT_EQ(opened[1].fileName(), ui::Text(61258).section('/', -1));
    EXPECT_EQ(opened[2].fileName(), ui::Text(61349).section('/', -1));
}

TEST_F(MediatorTest, ThePreviewHoldsTheMutexWhileItRuns) {
    const std::string motion = std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha";
    bool heldWhileOpen = false;
    QObject scope;  // a timer left unfired must not run into a later test
    QTimer::singleShot(0, &scope, [&] {
        heldWhileOpen = !mediator->System()->TryLock();
        if (!heldWhileOpen) mediator->System()->Unlock();
        const int before = mediator->Preview()->CurrentFrame();
        mediator->Preview()->Step();
        EXPECT_EQ(mediator->Preview()->CurrentFrame(), before + 1);
        EXPECT_EQ(mediator->Preview()->windowTitle(), "walk.cha");
        mediator->Preview()->reject();
    });
    EXPECT_TRUE(mediator->PreviewFile(motion));
    EXPECT_TRUE(heldWhileOpen);
    ASSERT_TRUE(mediator->System()->TryLock());
    mediator->System()->Unlock();

    // A file that is no motion is refused with a message, and nothing runs.
    EXPECT_FALSE(mediator->PreviewFile(home.Write("bad.cha", "not a motion")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 62268);
    // So is one cut short, before its frames would run out while it plays.
    const std::string whole = ReadFile(motion);
    EXPECT_FALSE(mediator->PreviewFile(home.Write("cut.cha", whole.substr(0, whole.size() / 2))));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].id, 62268);
}

TEST_F(MediatorTest, TheAboutBoxFillsInTheVersion) {
    const QStringList lines = CAboutBox::Lines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_FALSE(lines.join('\n').contains('%'));
    EXPECT_TRUE(lines.join('\n').contains(TAVREL_VERSION));
    EXPECT_TRUE(lines.join('\n').contains(TAVREL_BUILD));
}

TEST_F(MediatorTest, MenusAndToolbarComeFromTheBundle) {
    for (int id : {command::kNewProject, command::kOpenProject, command::kOption, command::kDelete,
                   command::kManipulation, command::kCameraFront, command::kCameraDown,
                   command::kArrange, command::kFill3D, command::kUpdateCheck, command::kHelp,
                   command::kAbout, command::kExit}) {
        QAction* action = frame->Action(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_FALSE(action->text().isEmpty()) << id;
    }
    EXPECT_FALSE(frame->Action(command::kCameraLeft)->icon().isNull());
    EXPECT_EQ(frame->Action(command::kNewProject)->shortcut(), QKeySequence("Ctrl+N"));
}

}  // namespace
}  // namespace tavrel::testing
