#include "RKWindow/ui/C3DViewContext.h"

namespace {

// The device draws with OpenGL 3.3 core functions.
bool IsCore33(const QSurfaceFormat& format) {
    return format.version() >= qMakePair(3, 3);
}

}  // namespace

std::shared_ptr<C3DViewContext> C3DViewContext::Shared() {
    static std::weak_ptr<C3DViewContext> shared;
    if (std::shared_ptr<C3DViewContext> context = shared.lock()) return context;
    std::shared_ptr<C3DViewContext> context(new C3DViewContext);
    if (!context->Create()) return nullptr;
    shared = context;
    return context;
}

C3DViewContext::~C3DViewContext() {
    DoneCurrent();
}

bool C3DViewContext::Create() {
    context_ = std::make_unique<QOpenGLContext>();
    context_->setFormat(QSurfaceFormat::defaultFormat());
    if (!context_->create() || !IsCore33(context_->format())) return false;
    surface_ = std::make_unique<QOffscreenSurface>();
    surface_->setFormat(context_->format());
    surface_->create();
    return surface_->isValid() && MakeCurrent();
}

bool C3DViewContext::MakeCurrent() {
    // Always asked of the driver: a headless context used on this thread in between (the
    // gallery's hover pictures) changes what is current without Qt knowing.
    return context_->makeCurrent(surface_.get());
}

void C3DViewContext::DoneCurrent() {
    if (QOpenGLContext::currentContext() == context_.get()) context_->doneCurrent();
}
