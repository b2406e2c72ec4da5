#include "RKWindow/ui/C3DViewContext.h"

#include <QGuiApplication>

namespace tavrel {

namespace {

// Qt's platforms that show nothing offer no OpenGL: there the 3D windows stay without views,
// as the window tests on them expect, though a headless context could be had.
bool PlatformShowsGL() {
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

}  // namespace

std::shared_ptr<C3DViewContext> C3DViewContext::Shared() {
    static std::weak_ptr<C3DViewContext> shared;
    if (std::shared_ptr<C3DViewContext> context = shared.lock()) return context;
    if (!PlatformShowsGL()) return nullptr;
    std::shared_ptr<C3DViewContext> context(new C3DViewContext);
    if (!context->Create()) return nullptr;
    shared = context;
    return context;
}

C3DViewContext::~C3DViewContext() {
    DoneCurrent();
}

// The views draw into framebuffer objects of their own: the surface is a single pixel.
bool C3DViewContext::Create() {
    return host_.Create(1, 1);
}

bool C3DViewContext::MakeCurrent() {
    // Always asked of the driver: a headless context used on this thread in between (the
    // gallery's hover pictures) changes what is current.
    return host_.MakeCurrent();
}

void C3DViewContext::DoneCurrent() {
    if (host_.IsCurrent()) host_.DoneCurrent();
}

}  // namespace tavrel
