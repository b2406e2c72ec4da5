#pragma once
// A host without a window: an OpenGL 3.3 core context on Mesa's surfaceless EGL platform with
// a pbuffer as its framebuffer. Tests, benchmarks and command-line tools draw through it with
// no display server.
#include "ZU2/rkHost.h"

class rkEglHost : public rkHost {
public:
    rkEglHost() = default;
    ~rkEglHost() override;
    rkEglHost(const rkEglHost&) = delete;
    rkEglHost& operator=(const rkEglHost&) = delete;

    // Creates the display, context and a pbuffer of the given size; false (with a debug
    // line) when any of them cannot be had.
    bool Create(int width, int height);
    bool IsValid() const { return context_ != nullptr; }
    // True when this host's context is the calling thread's current one.
    bool IsCurrent() const;

    bool MakeCurrent() override;
    // Lets go of the context on this thread, so that another thread can make it current.
    void DoneCurrent();
    uint32_t Framebuffer() const override { return 0; }
    void Size(int* width, int* height) const override;
    bool Present() override;

private:
    void Release();

    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};
