#pragma once
// The GL context every 3D view of the GUI thread draws in, on an off-screen surface. One
// context serves them all: on a software renderer each context costs its own compiled shaders
// and buffers, and the device of each view sets back what it needs when it draws (devices may
// share a context). Made for the first view that asks and gone with the last one.
// The views only read their frames back, so the context is a headless EGL one, as the
// gallery's thumbnail worker's is: the process keeps one instance of the GL driver, not one for
// the window system and another for the worker.
#include <memory>

#include "ZU2/rkEglHost.h"

namespace tavrel {

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

    rkEglHost host_;
};

}  // namespace tavrel
