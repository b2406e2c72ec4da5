#pragma once
// The 3D window on screen: a Qt OpenGL widget that is the host its 3D system draws for, so
// the system renders here exactly as it does headless. Only the device's own header reaches
// GL from here: libepoxy and Qt's GL headers cannot meet in one file.
#include <QOpenGLWidget>
#include <memory>
#include <string>

#include "RKWindow/RKSystem.h"
#include "ZU2/rkHost.h"

class C3DViewInput;

class C3DWindowView : public QOpenGLWidget, public rkHost {
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
    CRKSystem* System() { return ready_ ? system_.get() : nullptr; }
    bool HasFailed() const { return failed_; }
    int FramesDrawn() const { return frames_; }

    // Who receives mouse and key events (none: they are dropped). Not owned.
    void SetInput(C3DViewInput* input) { input_ = input; }
    // Rebuilds the device with the next frame (a display change, a lost device).
    void RebuildDevice();

    // rkHost: the widget's own context and framebuffer object.
    bool MakeCurrent() override;
    uint32_t Framebuffer() const override;
    void Size(int* width, int* height) const override;
    bool Present() override { return true; }  // Qt shows the framebuffer object

signals:
    void zoomRequested(float amount);
    void glFailed();
    void frameDrawn();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void ForwardMouse(QMouseEvent* event);
    void ForwardKey(QKeyEvent* event);
    void Fail();
    void MakeOpaque();
    int PixelWidth() const;
    int PixelHeight() const;

    std::string dataFolder_;
    std::unique_ptr<CRKSystem> system_;
    C3DViewInput* input_ = nullptr;
    bool ready_ = false;
    bool failed_ = false;
    int frames_ = 0;
};
