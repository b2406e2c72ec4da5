#pragma once
// What the device needs from the window (or off-screen target) it draws for: a GL context to
// make current, the framebuffer a finished frame is copied to, its size, and a way to show it.
// The windowed implementations live with the application shell; rkEglHost runs without one.
#include <cstdint>

class rkHost {
public:
    virtual ~rkHost() = default;
    virtual bool MakeCurrent() = 0;
    // GL name of the framebuffer that receives presented frames (0 = the default one).
    virtual uint32_t Framebuffer() const = 0;
    virtual void Size(int* width, int* height) const = 0;
    virtual bool Present() = 0;
};
