#pragma once
// Drawing off screen on the window thread, between the 3D views' frames (a video export). The
// drawing shares the views' context rather than making one more (each device sets back its own
// state), and has a headless context of its own only where the views have none.
#include <memory>

#include "ZU2/rkHost.h"

namespace tavrel {

class C3DViewContext;

class C3DOffscreenHost : public rkHost {
public:
    C3DOffscreenHost(std::shared_ptr<C3DViewContext> context, int width, int height);
    ~C3DOffscreenHost() override;

    // The host for width x height on this thread; null when no OpenGL 3.3 context can be had.
    static std::unique_ptr<rkHost> Make(int width, int height);

    bool MakeCurrent() override;
    // Frames are read back from the device, never presented.
    uint32_t Framebuffer() const override { return 0; }
    void Size(int* width, int* height) const override;
    bool Present() override { return true; }

private:
    std::shared_ptr<C3DViewContext> context_;
    int width_;
    int height_;
};

}  // namespace tavrel
