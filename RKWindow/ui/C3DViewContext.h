#pragma once
// The GL context every 3D view of the GUI thread draws in, on an off-screen surface. One
// context serves them all: on a software renderer each context costs its own compiled shaders
// and buffers, and the device of each view sets back what it needs when it draws (devices may
// share a context). Made for the first view that asks and gone with the last one.
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <memory>

class C3DViewContext {
public:
    // The context the views share; null when no OpenGL 3.3 core context can be had.
    static std::shared_ptr<C3DViewContext> Shared();
    ~C3DViewContext();

    bool MakeCurrent();
    void DoneCurrent();

private:
    C3DViewContext() = default;
    bool Create();

    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOffscreenSurface> surface_;
};
