// The 3D window on screen and the whole editor, on an X server (xvfb-run -a).
#include <gtest/gtest.h>

#include <QDir>
#include <QMdiArea>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <thread>

#include "RKWindow/RKSystem.h"
#include "RKWindow/ui/C3DViewInput.h"
#include "RKWindow/ui/C3DWindowView.h"
#include "ZU2/rkEglHost.h"
#include "app/FixedChildFrame.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "tests/support/TempFolder.h"

namespace tavrel::testing {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

bool HaveDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

bool WaitForFrames(const C3DWindowView& view, int frames) {
    for (int i = 0; i < 400 && view.FramesDrawn() < frames; ++i) QTest::qWait(25);
    return view.FramesDrawn() >= frames;
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
    const QImage onScreen = view->grabFramebuffer();
    const QImage headless = DrawHeadless(kWidth, kHeight);
    ASSERT_FALSE(headless.isNull());
    ASSERT_EQ(onScreen.size(), headless.size());
    EXPECT_LT(MeanDifference(onScreen, headless), 1.0);
    EXPECT_GT(ShirtShare(onScreen), 0.01);  // the avatar stands there, not only the ground
}

TEST_F(ViewTest, ANewSizeRebuildsTheDeviceAtThatSize) {
    const int drawn = view->FramesDrawn();
    view->resize(200, 150);
    ASSERT_TRUE(WaitForFrames(*view, drawn + 1));
    EXPECT_EQ(view->System()->Device().width, 200);
    EXPECT_EQ(view->System()->Device().height, 150);
    EXPECT_EQ(view->grabFramebuffer().size(), QSize(200, 150));
}

TEST_F(ViewTest, TheWheelAsksForZoomInNotches) {
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
    ::setenv("TAVREL_HOME", (home / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    CStartOptions options;
    options.bundlePath = TAVREL_VESK_RCC;
    options.programFolder = TAVREL_SHARE_DIR;
    options.instanceName = QString::fromStdString(home / "instance");
    CTavrelApp app;
    ASSERT_EQ(app.Start({}, options), CTavrelApp::StartResult::Running);
    C3DWindowView* view = app.Mediator()->Window3D()->View();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitForFrames(*view, 1));
    QTest::qWait(100);

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

}  // namespace
}  // namespace tavrel::testing
