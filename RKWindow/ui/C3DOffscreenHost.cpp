#include "RKWindow/ui/C3DOffscreenHost.h"

#include "RKWindow/ui/C3DViewContext.h"
#include "ZU2/rkEglHost.h"

namespace tavrel {

C3DOffscreenHost::C3DOffscreenHost(std::shared_ptr<C3DViewContext> context, int width,
                                   int height)
    : context_(std::move(context)), width_(width), height_(height) {}

C3DOffscreenHost::~C3DOffscreenHost() = default;

std::unique_ptr<rkHost> C3DOffscreenHost::Make(int width, int height) {
    if (std::shared_ptr<C3DViewContext> shared = C3DViewContext::Shared()) {
        auto host = std::make_unique<C3DOffscreenHost>(std::move(shared), width, height);
        if (host->MakeCurrent()) return host;
    }
    auto headless = std::make_unique<rkEglHost>();
    if (!headless->Create(width, height)) return nullptr;
    return headless;
}

bool C3DOffscreenHost::MakeCurrent() {
    return context_->MakeCurrent();
}

void C3DOffscreenHost::Size(int* width, int* height) const {
    *width = width_;
    *height = height_;
}

}  // namespace tavrel
