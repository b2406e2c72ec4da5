// The 3D window on screen and the whole editor, on an X server (xvfb-run -a).
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QTest>
#include <QWheelEvent>
#include <malloc.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "RKWindow/RKSystem.h"
#include "RKWindow/RKWindow.h"
#include "RKWindow/RKWindowTools.h"
#include "RKWindow/ui/C3DOffscreenHost.h"
#include "RKWindow/ui/C3DViewInput.h"
#include "RKWindow/ui/C3DWindowView.h"
#include "ZU2/rkEglHost.h"
#include "app/APSystemColleague.h"
#include "app/C3DWindowColleague.h"
#include "app/FixedChildFrame.h"
#include "app/GalleryColleague.h"
#include "app/EditorWindows.h"
#include "app/GalleryHost.h"
#include "app/PreviewDialog.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "motion/Motion.h"
#include "browse/ChildFrame.h"
#include "browse/GalleryServices.h"
#include "browse/ThumbnailCtrl.h"
#include "tests/support/EditorStartOptions.h"
#include "tests/support/TempFolder.h"
#include "uikit/UiText.h"

namespace tavrel::testing {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

bool HaveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

// The instances of the software GL driver in this process: each runs its own set of
// rasterizer threads, the first named llvmpipe-0. None under another driver.
int SoftwareDriverInstances() {
    int instances = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        instances += std::getline(comm, name) && name == "llvmpipe-0";
    }
    return instances;
}

bool WaitForFrames(const C3DWindowView& view, int frames) {
    for (int i = 0; i < 400 && view.FramesDrawn() < frames; ++i) QTest::qWait(25);
    return view.FramesDrawn() >= frames;
}

// A redraw is asked for; waits until it is on screen.
QImage Redrawn(C3DWindowView& view) {
    const int drawn = view.FramesDrawn();
    view.update();
    EXPECT_TRUE(WaitForFrames(view, drawn + 1));
    return view.LastFrame();
}

// The same world drawn headless through EGL, on a thread of its own as the gallery's worker
// draws.
QImage DrawHeadless(int width, int height) {
    QImage image;
    std::thread worker([&] {
        rkEglHost host;
        if (!host.Create(width, height)) return;
        CRKSystem system;
        if (!system.Initialise(&host, width, height)) return;
        system.SetBackgroundColor(92, 100, 116, true);
        system.SetUpWorld(TAVREL_SHARE_DIR);
        QImage frame(width, height, QImage::Format_RGB32);
        if (system.DrawScene(nullptr) && rkReadFrame(RK_READ_COLOR, frame.bits())) image = frame;
    });
    worker.join();
    return image;
}

// Mean difference of the colour channels, 0-255.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// The share of pixels of the avatar's shirt: clearly blue.
double ShirtShare(const QImage& image) {
    int blue = 0;
    for (int row = 0; row < image.height(); ++row) {
        for (int col = 0; col < image.width(); ++col) {
            const QRgb p = image.pixel(col, row);
            if (qBlue(p) > qRed(p) + 60 && qBlue(p) > qGreen(p) + 30) ++blue;
        }
    }
    return static_cast<double>(blue) / (image.width() * image.height());
}

class CountingInput : public C3DViewInput {
public:
    bool MouseEvent(QMouseEvent*) override { return ++mouse, true; }
    bool KeyEvent(QKeyEvent*) override { return ++keys, true; }
    int mouse = 0;
    int keys = 0;
};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run -a)";
        ASSERT_TRUE(C3DWindowView::CanCreateContext());
        view = std::make_unique<C3DWindowView>(TAVREL_SHARE_DIR);
        view->resize(kWidth, kHeight);
        view->show();
        ASSERT_TRUE(WaitForFrames(*view, 1));
        ASSERT_NE(view->System(), nullptr);
    }
    std::unique_ptr<C3DWindowView> view;
};

TEST_F(ViewTest, DrawsWhatTheHeadlessSystemDraws) {
    ASSERT_EQ(view->size(), QSize(kWidth, kHeight));
    const QImage onScreen = view->LastFrame();
    const QImage headless = DrawHeadless(kWidth, kHeight);
    ASSERT_FALSE(headless.isNull());
    ASSERT_EQ(onScreen.size(), headless.size());
    EXPECT_LT(MeanDifference(onScreen, headless), 1.0);
    EXPECT_GT(ShirtShare(onScreen), 0.01);  // the avatar stands there, not only the ground
}

// The gallery's hover pictures are made headless on the window's thread, between the view's
// frames: each side gets its own context current, and both draw.
TEST_F(ViewTest, AThumbnailBesideTheViewPlaysItsMotionOnHover) {
    TempFolder library;
    std::filesystem::copy_file(std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha",
                               library / "walk.cha");
    CGalleryServices services;
    CChildFrame gallery(services, QString::fromStdString(library.Path()), TAVREL_SHARE_DIR);
    CThumbnailCtrl* thumbnails = gallery.Thumbnails();
    QSignalSpy pictured(thumbnails, &CThumbnailCtrl::WorkerFinished);
    ASSERT_TRUE(thumbnails->ShowFolder(QString::fromStdString(library.Path())));
    ASSERT_EQ(thumbnails->count(), 1);
    // A hover step is skipped while the worker makes a picture: it has made its one first.
    ASSERT_TRUE(!pictured.isEmpty() || pictured.wait(10000));
    thumbnails->HoverOver(0);
    ASSERT_EQ(thumbnails->HoveredRow(), 0);
    QList<QImage> shown;
    for (int step = 0; step < 3; ++step) {
        Redrawn(*view);
        thumbnails->StepHover();
        shown.push_back(thumbnails->item(0)->icon().pixmap(64, 64).toImage());
    }
    EXPECT_NE(shown[0], shown[1]);  // the motion moves
    EXPECT_NE(shown[1], shown[2]);
    EXPECT_LT(MeanDifference(Redrawn(*view), DrawHeadless(kWidth, kHeight)), 1.0);
    // The view, the worker and the hover draw through one instance of the driver: a second
    // one would hold its own copy of its state and threads for the editor's life.
    if (const int instances = SoftwareDriverInstances()) {
        EXPECT_EQ(instances, 1);
    }
}

// A video export draws off screen on the window thread between the view's frames.
TEST_F(ViewTest, AnOffscreenDrawingBesideTheViewDrawsAndLeavesTheViewDrawing) {
    const std::unique_ptr<rkHost> host = C3DOffscreenHost::Make(160, 120);
    ASSERT_NE(host, nullptr);
    CMotionManager manager;
    CRKWindow window(manager, TAVREL_SHARE_DIR);
    ASSERT_TRUE(window.Initialise(host.get(), 160, 120));
    for (int step = 0; step < 2; ++step) {
        ASSERT_EQ(window.ShowCurrentFrame(), 1);
        QImage frame(160, 120, QImage::Format_RGB32);
        ASSERT_EQ(rkReadFrame(RK_READ_COLOR, frame.bits()), 1);
        EXPECT_GT(ShirtShare(frame), 0.01);
        EXPECT_LT(MeanDifference(Redrawn(*view), DrawHeadless(kWidth, kHeight)), 1.0);
    }
}

TEST_F(ViewTest, ANewSizeRebuildsTheDeviceAtThatSize) {
    const int drawn = view->FramesDrawn();
    view->resize(200, 150);
    ASSERT_TRUE(WaitForFrames(*view, drawn + 1));
    EXPECT_EQ(view->System()->Device().width, 200);
    EXPECT_EQ(view->System()->Device().height, 150);
    EXPECT_EQ(view->LastFrame().size(), QSize(200, 150));
}

TEST_F(ViewTest, AWheelTheInputLeavesAsksForZoomInNotches) {
    CountingInput input;  // takes mouse and keys, not the wheel
    view->SetInput(&input);
    QSignalSpy zoom(view.get(), &C3DWindowView::zoomRequested);
    const QPointF at(50, 50);
    for (int delta : {120, -240, 60}) {
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view.get(), &wheel);
    }
    ASSERT_EQ(zoom.size(), 3);
    EXPECT_FLOAT_EQ(zoom[0][0].toFloat(), 1.0f);
    EXPECT_FLOAT_EQ(zoom[1][0].toFloat(), -2.0f);
    EXPECT_FLOAT_EQ(zoom[2][0].toFloat(), 0.5f);
    view->SetInput(nullptr);
}

TEST_F(ViewTest, MouseAndKeysGoThroughTheInput) {
    QTest::mouseClick(view.get(), Qt::LeftButton);  // dropped: no input yet
    CountingInput input;
    view->SetInput(&input);
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(12, 10));
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_EQ(input.mouse, 2);
    EXPECT_EQ(input.keys, 2);  // press and release
    view->SetInput(nullptr);
}

// The started editor as a user sees it; the picture is kept for a person to look at.
TEST(EditorTest, StartsWithThreeFramesAndTheAvatarInView) {
    if (!HaveDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run -a)";
    TempFolder home;
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    const CStartOptions options = EditorStartOptions(home.Path());
    CTavrelApp app;
    ASSERT_EQ(app.Start({}, options), CTavrelApp::StartResult::Running);
    C3DWindowView* view = app.Mediator()->Window3D()->View();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitForFrames(*view, 1));
    QTest::qWait(100);

    // The video, picture and sound libraries wait until a file needs them.
    const std::string mapped = ReadFile("/proc/self/maps");
    for (const char* library : {"libavformat", "libMagickCore", "libportaudio"}) {
        EXPECT_EQ(mapped.find(library), std::string::npos) << library;
    }

    const QImage picture = app.MainFrame()->grab().toImage();
    QDir().mkpath(TAVREL_TEST_OUTPUT);
    picture.save(QString(TAVREL_TEST_OUTPUT) + "/editor.png");

    const QList<QMdiSubWindow*> frames = app.MainFrame()->MdiArea()->subWindowList();
    ASSERT_EQ(frames.size(), 3);
    for (QMdiSubWindow* frame : frames) {
        EXPECT_TRUE(frame->isVisible());
        EXPECT_GT(frame->width(), 100);
        EXPECT_FALSE(frame->windowTitle().isEmpty());
    }
    // The 3D frame in the picture shows the avatar; the gallery's empty pane shows none.
    const QPoint viewAt = view->mapTo(app.MainFrame(), QPoint(0, 0));
    const QImage inView = picture.copy(QRect(viewAt, view->size()));
    EXPECT_GT(ShirtShare(inView), 0.01);
    // Above the avatar's shoulders, at the side, lies the window's background, opaque.
    EXPECT_EQ(inView.pixel(8, 8) & 0xFFFFFFu, qRgb(92, 100, 116) & 0xFFFFFFu);
    QWidget* gallery = app.Mediator()->Gallery()->Frame();
    EXPECT_LT(ShirtShare(picture.copy(gallery->geometry().translated(
                  gallery->parentWidget()->mapTo(app.MainFrame(), QPoint(0, 0))))),
              0.001);

    // A wheel notch brings the camera closer to the avatar.
    CRKSystem* system = view->System();
    auto distance = [&] {
        const rkVector eye = system->Camera().GetEye();
        const float* root = system->AvatarRoot()->world.m;
        return std::hypot(eye.x - root[12], eye.y - root[13], eye.z - root[14]);
    };
    const float before = distance();
    app.Mediator()->Zoom(1.0f);
    EXPECT_LT(distance(), before);
}

// The started editor, driven through its 3D window as a user drives it.
class Window3DTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDisplay()) GTEST_SKIP() << "needs an X server (run under xvfb-run -a)";
        // Freed memory is filled with a pattern, so that a use after free (the editor torn
        // down in the fixture's destructor) fails every time instead of now and then.
        mallopt(M_PERTURB, 0xA5);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        CStartOptions options = EditorStartOptions(home.Path());
        options.connectWindows = connectWindows;
        ASSERT_EQ(app.Start({}, options), CTavrelApp::StartResult::Running);
        colleague = app.Mediator()->Window3D();
        view = colleague->View();
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(WaitForFrames(*view, 1));
        ASSERT_NE(view->Tools(), nullptr);
        app.MainFrame()->MdiArea()->setActiveSubWindow(colleague->Frame());
        view->setFocus();
        QTest::qWait(20);
    }

    QImage Picture() { return Redrawn(*view); }
    rkVector Eye() { return view->System()->Camera().GetEye(); }
    float TargetDistance() {
        const rkVector eye = Eye(), target = view->System()->TargetPosition();
        return std::hypot(eye.x - target.x, eye.y - target.y, eye.z - target.z);
    }
    static float Apart(const rkVector& a, const rkVector& b) {
        return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
    }
    void Drag(Qt::MouseButton button, QPoint from, QPoint to,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mousePress(view, button, modifiers, from);
        for (int step = 1; step <= 4; ++step) Move(from + (to - from) * step / 4, button, modifiers);
        QTest::mouseRelease(view, button, modifiers, to);
    }
    void Move(QPoint at, Qt::MouseButton held, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, held,
                         modifiers);
        QApplication::sendEvent(view, &move);
    }
    // Where the avatar's shirt (its chest) is in the view, in the view's own (logical)
    // coordinates as the mouse gives them, or (-1, -1). The picture has the screen's pixels,
    // more than the view has points on a high-density screen.
    QPoint ShirtPoint(const QImage& image) const {
        for (int row = image.height() / 2; row > 0; --row) {
            const int col = image.width() / 2;
            const QRgb p = image.pixel(col, row);
            if (qBlue(p) > qRed(p) + 60 && qBlue(p) > qGreen(p) + 30) {
                return (QPointF(col, row) / view->devicePixelRatioF()).toPoint();
            }
        }
        return {-1, -1};
    }
    std::string SampleMotion(const char* name) const {
        return std::string(TAVREL_SHARE_DIR) + "/Motion/" + name;
    }

    TempFolder home;
    CTavrelApp app;
    std::function<void(CTavrelMediator*)> connectWindows;  // none: empty gallery and timeline
    C3DWindowColleague* colleague = nullptr;
    C3DWindowView* view = nullptr;
};

TEST_F(Window3DTest, ASampleFromTheTimelinePutsItsPoseOnTheAvatar) {
    const QImage rest = Picture();
    tavrel::CMotion squat(SampleMotion("Sports/squat.htr"), 0);
    ASSERT_GT(squat.GetLength(), 2);
    tavrel::FrameSample sample;
    sample.frame = 5;
    sample.fileA = sample.clipFile = squat.GetPath();
    sample.localA = squat.GetLength() / 2;
    colleague->ShowFrameSample(sample);
    const QImage posed = Picture();
    EXPECT_GT(MeanDifference(rest, posed), 0.3);
    EXPECT_EQ(view->Window()->GetCurrentFrame(), 5);

    // No clip at the frame: the rest pose again, the same picture as before.
    colleague->ShowFrameSample(tavrel::FrameSample{});
    EXPECT_LT(MeanDifference(rest, Picture()), 0.1);

    // Only B named: the previous pose stays.
    sample.localA = -1;
    sample.localB = 1;
    sample.fileB = sample.fileA;
    colleague->ShowFrameSample(sample);
    EXPECT_LT(MeanDifference(rest, Picture()), 0.1);
}

TEST_F(Window3DTest, AClipPlaysUntilTheNextSample) {
    colleague->ShowClip(SampleMotion("Gestures/bow.chb"));
    ASSERT_TRUE(view->IsPlayingClip());
    for (int i = 0; i < 200 && view->Window()->GetCurrentFrame() < 2; ++i) QTest::qWait(10);
    EXPECT_GE(view->Window()->GetCurrentFrame(), 2);
    colleague->ShowFrameSample(tavrel::FrameSample{});
    EXPECT_FALSE(view->IsPlayingClip());
    EXPECT_EQ(view->Window()->GetCurrentFrame(), 0);

    colleague->ShowClip(home / "missing.chb");  // nothing to play, no crash
    EXPECT_FALSE(view->IsPlayingClip());
}

TEST_F(Window3DTest, MouseDragsMoveTheCamera) {
    const QPoint middle(view->width() / 2, view->height() / 2);
    const float distance = TargetDistance();
    // Middle-drag orbits, whatever the tool: the eye moves round the target.
    rkVector before = Eye();
    Drag(Qt::MiddleButton, middle, middle + QPoint(view->width() / 4, 0));
    EXPECT_GT(Apart(before, Eye()), 1.0f);
    EXPECT_NEAR(TargetDistance(), distance, distance * 0.01f);

    // The rotate tool, chosen by its key, turns on a left drag and sets its cursor.
    QTest::keyClick(view, Qt::Key_R);
    EXPECT_EQ(view->Tools()->CurrentTool(), CRKWindowTools::CameraRotate);
    EXPECT_NE(view->cursor().shape(), Qt::ArrowCursor);
    before = Eye();
    Drag(Qt::LeftButton, middle, middle - QPoint(view->width() / 4, 0));
    EXPECT_GT(Apart(before, Eye()), 1.0f);
    EXPECT_NEAR(TargetDistance(), distance, distance * 0.01f);

    // Shift held: the left drag belongs to something else.
    before = Eye();
    Drag(Qt::LeftButton, middle, middle + QPoint(40, 0), Qt::ShiftModifier);
    EXPECT_LT(Apart(before, Eye()), 1e-4f);

    // A wheel notch zooms in.
    QWheelEvent wheel(middle, view->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_LT(TargetDistance(), distance);
}

TEST_F(Window3DTest, TheMoveAfterATimelineFrameCountsForNothing) {
    QTest::keyClick(view, Qt::Key_R);
    const QPoint from(view->width() / 2, view->height() / 2);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    const auto moveTo = [&](QPoint at) { Move(at, Qt::LeftButton); };
    moveTo(from + QPoint(10, 0));
    colleague->ShowFrameSample(tavrel::FrameSample{});
    const rkVector before = Eye();
    moveTo(from + QPoint(60, 0));
    EXPECT_LT(Apart(before, Eye()), 1e-4f);
    moveTo(from + QPoint(110, 0));
    EXPECT_GT(Apart(before, Eye()), 1.0f);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, from + QPoint(110, 0));
}

// The File menu's option shows and hides the floor: the picture loses the grid and gets it back.
TEST_F(Window3DTest, TheFloorOptionHidesAndShowsTheGround) {
    const QImage withFloor = Picture();
    QAction* option = app.MainFrame()->Action(command::kOption);
    option->trigger();
    EXPECT_FALSE(option->isChecked());
    EXPECT_FALSE(view->System()->GroundShown());
    const QImage bare = Picture();
    EXPECT_GT(MeanDifference(withFloor, bare), 1.0);
    // Below the avatar's feet lies only the background now.
    const int row = bare.height() - 3;
    for (int col = 0; col < bare.width(); col += 7)
        EXPECT_EQ(bare.pixel(col, row) & 0xFFFFFFu, qRgb(92, 100, 116) & 0xFFFFFFu) << col;
    option->trigger();
    EXPECT_TRUE(view->System()->GroundShown());
    EXPECT_LT(MeanDifference(withFloor, Picture()), 0.01);
}

TEST_F(Window3DTest, HotkeysFromTheSettingsFileChoosePresets) {
    // Start-up gave the user the shipped settings file.
    EXPECT_TRUE(std::filesystem::exists(home / "data/Tavrel.ini"));
    QTest::keyClick(view, Qt::Key_2);
    const rkVector back = Eye();
    QAction* backButton = app.MainFrame()->Action(command::kCameraBack);
    ASSERT_NE(backButton, nullptr);
    EXPECT_TRUE(backButton->isChecked());
    EXPECT_FALSE(app.MainFrame()->Action(command::kCameraFront)->isChecked());

    QTest::keyClick(view, Qt::Key_Home);  // the front again
    const rkVector front = Eye();
    EXPECT_GT(Apart(front, back), 1.0f);
    EXPECT_TRUE(app.MainFrame()->Action(command::kCameraFront)->isChecked());
    EXPECT_FALSE(backButton->isChecked());
    // The menu's preset command and the key agree.
    ASSERT_TRUE(app.MainFrame()->OnCommand(command::kCameraBack));
    EXPECT_LT(Apart(Eye(), back), 1e-3f);
}

TEST_F(Window3DTest, APickedPartTurnsAndUndoPutsItBack) {
    ASSERT_TRUE(app.MainFrame()->OnCommand(command::kManipulation));
    ASSERT_TRUE(colleague->IsManipulating());
    EXPECT_FALSE(app.Mediator()->System()->TryLock());  // held by the 3D window
    EXPECT_TRUE(app.MainFrame()->Action(command::kManipulation)->isChecked());

    const QPoint chest = ShirtPoint(Picture());
    ASSERT_GE(chest.x(), 0);
    Drag(Qt::LeftButton, chest, chest + QPoint(0, 40));
    rkNode* part = view->Tools()->Selection();
    ASSERT_NE(part, nullptr);
    ASSERT_TRUE(colleague->CanEdit(EditCommand::Undo));

    // The turned pose is what a pose clip of the pose on screen holds.
    const std::string clip = home / "turned.chb";
    ASSERT_TRUE(colleague->PoseWriter()(13, clip));
    tavrel::CMotion written(clip, 0);
    ASSERT_EQ(written.GetLength(), 1);
    const std::string name = part->name;
    float w1, x1, y1, z1, w0, x0, y0, z0;
    ASSERT_TRUE(written.GetPose(0)->GetQuatByName(name.c_str(), w1, x1, y1, z1));
    const rkMatrix turned = part->local;

    ASSERT_TRUE(colleague->Edit(EditCommand::Undo));
    EXPECT_FALSE(std::equal(turned.m, turned.m + 16, part->local.m));
    ASSERT_TRUE(colleague->PoseWriter()(13, clip));
    tavrel::CMotion undone(clip, 0);
    ASSERT_TRUE(undone.GetPose(0)->GetQuatByName(name.c_str(), w0, x0, y0, z0));
    EXPECT_GT(std::abs(w1 - w0) + std::abs(x1 - x0) + std::abs(y1 - y0) + std::abs(z1 - z0), 1e-3f);
    ASSERT_TRUE(colleague->Edit(EditCommand::Redo));
    EXPECT_TRUE(std::equal(turned.m, turned.m + 16, part->local.m));

    // Another frame becomes active: manipulation mode ends and the mutex is free.
    app.MainFrame()->MdiArea()->setActiveSubWindow(app.Mediator()->Gallery()->Frame());
    EXPECT_FALSE(colleague->IsManipulating());
    EXPECT_FALSE(app.MainFrame()->Action(command::kManipulation)->isChecked());
    ASSERT_TRUE(app.Mediator()->System()->TryLock());
    app.Mediator()->System()->Unlock();
}

TEST_F(Window3DTest, ManipulationWaitsForNoOneWhenTheMutexIsTaken) {
    CAPSystemColleague* system = app.Mediator()->System();
    ASSERT_TRUE(system->TryLock());  // the preview plays
    colleague->ToggleManipulation();
    EXPECT_FALSE(colleague->IsManipulating());
    EXPECT_EQ(app.MainFrame()->statusBar()->currentMessage(), ui::Text(62280));  // and why
    system->Unlock();
    colleague->ToggleManipulation();
    EXPECT_TRUE(colleague->IsManipulating());
    colleague->ToggleManipulation();
    EXPECT_FALSE(colleague->IsManipulating());
    ASSERT_TRUE(system->TryLock());
    system->Unlock();
}

class EditorWithGalleryTest : public Window3DTest {
protected:
    EditorWithGalleryTest() { connectWindows = ConnectEditorWindows; }
};

// Manipulation mode and the preview hold the shared mutex on the window thread while the
// gallery stops and restarts its worker (a watched folder changed, another folder chosen) and
// while the windows go. Ctrl+M takes effect while pictures are drawn, and no wait freezes:
// a frozen editor is ended by the alarm instead of hanging the test.
TEST_F(EditorWithGalleryTest, TheWindowThreadNeverWaitsOnTheMutexItHolds) {
    alarm(120);
    auto* host = dynamic_cast<CGalleryHost*>(app.Mediator()->Gallery()->Operations());
    ASSERT_NE(host, nullptr);
    CThumbnailCtrl* thumbnails = host->Frame()->Thumbnails();
    const QString folders[] = {QString::fromStdString(home / "data/Motion/Sports"),
                               QString::fromStdString(home / "data/Motion/Gestures")};
    CAPSystemColleague* system = app.Mediator()->System();
    auto manipulation = [&] { return app.MainFrame()->OnCommand(command::kManipulation); };
    for (int round = 0; round < 6; ++round) {
        thumbnails->Cache().Clear();  // the worker draws the folder afresh as the mode starts
        ASSERT_TRUE(thumbnails->ShowFolder(folders[round % 2]));
        ASSERT_TRUE(manipulation());
        ASSERT_TRUE(colleague->IsManipulating()) << "refused in round " << round;
        thumbnails->Refill();
        ASSERT_TRUE(thumbnails->ShowFolder(folders[1 - round % 2]));
        EXPECT_FALSE(system->TryLock());
        ASSERT_TRUE(manipulation());
    }
    ASSERT_TRUE(manipulation());
    bool previewHeldTheMutex = false;
    QTimer::singleShot(50, [&] {
        previewHeldTheMutex = !system->TryLock();
        thumbnails->Refill();
        thumbnails->ShowFolder(folders[0]);
        app.Mediator()->Preview()->reject();
    });
    ASSERT_TRUE(app.Mediator()->PreviewFile(SampleMotion("Gestures/bow.chb")));
    EXPECT_TRUE(previewHeldTheMutex);
    // Once the mutex is free the worker finishes the folder.
    for (int i = 0; i < 400 && thumbnails->IsWorkerRunning(); ++i) QTest::qWait(25);
    EXPECT_FALSE(thumbnails->IsWorkerRunning());
    ASSERT_TRUE(manipulation());
    app.Mediator()->DestroyColleagues();  // the gallery's preview takes the mutex as it goes
    alarm(0);
}

// The object tools' choices come from the settings file, are made with the toolbar's buttons
// and go back into the file; an object move outlasts the next frame shown.
class ObjectToolsTest : public Window3DTest {
protected:
    ObjectToolsTest() {
        std::filesystem::create_directories(home / "data");
        std::ofstream(home / "data/Tavrel.ini")
            << "[Object Tools]\nMove Constraint=2\nRotation Axis=1\n";
    }
    bool Checked(int id) { return app.MainFrame()->Action(id)->isChecked(); }
};

TEST_F(ObjectToolsTest, ChoicesComeFromTheButtonsAndAreKept) {
    CRKWindowTools* tools = view->Tools();
    EXPECT_EQ(tools->MoveConstraint(), CRKWindowTools::OnlyZ);
    EXPECT_EQ(tools->RotationAxis(), 1);
    const struct {
        int id, first, last;
        const char* stored;
    } clicks[] = {{command::kConstraintFirst + 4, command::kConstraintFirst,
                   command::kConstraintLast, "Move Constraint=4"},
                  {command::kAxisFirst + 2, command::kAxisFirst, command::kAxisLast,
                   "Rotation Axis=2"},
                  {command::kToolFirst + 2, command::kToolFirst, command::kToolLast, ""}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.id);
        app.MainFrame()->Action(c.id)->trigger();
        for (int id = c.first; id <= c.last; ++id) EXPECT_EQ(Checked(id), id == c.id) << id;
        EXPECT_NE(ReadFile(home / "data/Tavrel.ini").find(c.stored), std::string::npos);
    }
    EXPECT_EQ(tools->MoveConstraint(), CRKWindowTools::AllAxes);
    EXPECT_EQ(tools->RotationAxis(), 2);
    EXPECT_EQ(tools->CurrentTool(), CRKWindowTools::CameraRotate);

    // The object tools wait for manipulation mode.
    const int objectMove = command::kToolFirst + 3;
    EXPECT_FALSE(app.MainFrame()->OnCommand(objectMove));
    ASSERT_TRUE(app.MainFrame()->OnCommand(command::kManipulation));
    ASSERT_TRUE(app.MainFrame()->OnCommand(objectMove));
    EXPECT_TRUE(Checked(objectMove));
    const rkNode* root = view->System()->AvatarRoot();
    auto place = [&] { return rkVector{root->local.m[12], root->local.m[13], root->local.m[14]}; };
    const rkVector rest = place();
    const QPoint middle(view->width() / 2, view->height() / 2);
    Drag(Qt::LeftButton, middle, middle + QPoint(40, -30));
    const rkVector moved = place();
    EXPECT_GT(Apart(rest, moved), 1.0f);
    colleague->ShowFrameSample(tavrel::FrameSample{});  // the next frame shown: the rest pose
    EXPECT_LT(Apart(place(), moved), 1e-3f);
}

TEST(SettingsFileTest, AUserWithoutOneGetsTheShippedFileAndKeepsTheirOwn) {
    TempFolder folder;
    const QString data = QString::fromStdString(folder.Path());
    ASSERT_TRUE(CTavrelApp::CopySettingsFile(TAVREL_SHARE_DIR, data));
    EXPECT_NE(ReadFile(folder / "Tavrel.ini").find("Default Camera Front=1"), std::string::npos);

    std::ofstream(folder / "Tavrel.ini", std::ios::trunc) << "[Hotkey]\nCamera Move=Q\n";
    ASSERT_TRUE(CTavrelApp::CopySettingsFile(TAVREL_SHARE_DIR, data));
    EXPECT_EQ(ReadFile(folder / "Tavrel.ini"), "[Hotkey]\nCamera Move=Q\n");

    // Nothing shipped, nothing copied, and no empty file left behind.
    TempFolder empty;
    EXPECT_FALSE(CTavrelApp::CopySettingsFile(QString::fromStdString(empty / "none"),
                                              QString::fromStdString(empty.Path())));
    EXPECT_FALSE(std::filesystem::exists(empty / "Tavrel.ini"));
}

}  // namespace
}  // namespace tavrel::testing
