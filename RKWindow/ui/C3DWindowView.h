#pragma once
// The 3D window on screen: a widget that is the host its frame display (and the display's 3D
// system) draws for. The scene is drawn off screen in the GL context the views of the GUI
// thread share (C3DViewContext) and each frame is read back and painted like a picture, so it looks here exactly as it does
// headless, and the window around it keeps Qt's plain raster painting: a GL widget would make
// Qt compose the whole main window through another GL context, which on a software renderer
// costs memory and time on every repaint. It owns the window's tools, which take the mouse and
// keys unless another input is set, and plays a clip's motion by itself. Only the device's own
// header reaches GL from here: libepoxy and Qt's GL headers cannot meet in one file.
#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "RKWindow/RKGhosts.h"
#include "RKWindow/RKSystem.h"
#include "RKWindow/TimelineView.h"
#include "ZU2/rkHost.h"
#include "timeline/FrameSample.h"

namespace tavrel {

class C3DViewInput;
class C3DToolInput;
class CRKPreviewPlayer;
class CRKWindow;
class CRKWindowTools;
class CMotionManager;
class CRTimer;

class C3DViewContext;

class C3DWindowView : public QWidget, public rkHost {
    Q_OBJECT
public:
    // One wheel notch (120 units) asks for a zoom of 1.0.
    static constexpr float kWheelZoomFactor = 0.008333334f;

    // dataFolder holds the avatar's files (Init.chb, avatar.scx and its pictures).
    explicit C3DWindowView(std::string dataFolder, QWidget* parent = nullptr);
    ~C3DWindowView() override;

    // Asks the platform for an OpenGL 3.3 core context once, off screen: a view must not be
    // made where none can be had (some platforms crash instead of failing).
    static bool CanCreateContext();

    // The system once the GL context is up and the world is built; null before or on failure.
    CRKSystem* System();
    // The frame display and the tools, with the same lifetime as System().
    CRKWindow* Window() { return ready_ ? window_.get() : nullptr; }
    CRKWindowTools* Tools() { return ready_ ? tools_.get() : nullptr; }
    bool HasFailed() const { return failed_; }
    int FramesDrawn() const { return frames_; }
    // The last frame drawn, as it is painted (empty before the first).
    QImage LastFrame() const { return picture_; }

    // Who receives mouse and key events (none: they are dropped); the tools until another
    // is set. Not owned.
    void SetInput(C3DViewInput* input);
    // The view's size in the pixels its frames have (its points times the pixel ratio).
    int PixelWidth() const;
    int PixelHeight() const;
    // Rebuilds the device with the next frame (a display change, a lost device).
    void RebuildDevice();

    // One timeline frame on the avatar; stops a clip that plays. A sample given before the
    // world exists is shown once it does.
    void ShowFrameSample(const FrameSample& sample);
    // Plays a motion file's frames round and round; false (and nothing plays) when it gives
    // no pose.
    bool PlayClip(const std::string& motionPath);
    void StopClip();
    bool IsPlayingClip() const;
    // The avatar's pose as the tools left it (a turned body part) becomes the display's
    // current pose, the one pose clips are written from.
    void StorePose(const rkNode* avatar);
    // Forgets the cached motions (a new project: their files may change).
    void EmptyMotionCache();

    // Where the ghosts and motion paths find the timeline, and whether they show (kept until
    // the world exists); each redraws the view.
    void SetTimelineSource(TimelineSource source);
    void SetGhosts(const GhostSettings& ghosts);
    void ShowPaths(bool shown);

    // rkHost: the shared context on its off-screen surface. Frames are read back from the
    // device, never presented to a framebuffer.
    bool MakeCurrent() override;
    uint32_t Framebuffer() const override { return 0; }
    void Size(int* width, int* height) const override;
    bool Present() override { return true; }

signals:
    void zoomRequested(float amount);
    void glFailed();
    // The world is built: System(), Window() and Tools() are there from now on.
    void worldReady();
    void frameDrawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ForwardMouse(QMouseEvent* event);
    void ForwardKey(QKeyEvent* event);
    // Makes the context and builds the world, at the first paint.
    void Initialise();
    void Fail();
    // Draws the next frame and reads it into picture_.
    bool DrawFrame();
    // The ghosts' and paths' settings on the frame display, and the part picked for a path.
    void ApplyTimelineViews();
    void FollowPickedSegment();

    std::string dataFolder_;
    std::shared_ptr<C3DViewContext> context_;
    QImage picture_;
    std::unique_ptr<CMotionManager> manager_;
    std::unique_ptr<CRKWindow> window_;
    std::unique_ptr<CRKWindowTools> tools_;
    std::unique_ptr<C3DToolInput> toolInput_;
    std::unique_ptr<CRKPreviewPlayer> player_;
    std::unique_ptr<CRTimer> clipTimer_;
    std::optional<FrameSample> pendingSample_;
    TimelineSource timelineSource_;
    GhostSettings ghosts_;
    bool pathsShown_ = false;
    C3DViewInput* input_ = nullptr;
    bool inputSet_ = false;
    bool ready_ = false;
    bool failed_ = false;
    int frames_ = 0;
};

}  // namespace tavrel
