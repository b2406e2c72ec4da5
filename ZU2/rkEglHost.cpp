#include "ZU2/rkEglHost.h"

#include <epoxy/egl.h>

#include "ZU2/rkMessage.h"

namespace {

EGLDisplay OpenSurfacelessDisplay() {
    if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        rkMessage("rkEglHost::Create failed: no surfaceless EGL platform");
        return EGL_NO_DISPLAY;
    }
    EGLDisplay display =
        eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        rkMessage("rkEglHost::Create failed: cannot initialise EGL (0x%X)", eglGetError());
        return EGL_NO_DISPLAY;
    }
    return display;
}

}  // namespace

rkEglHost::~rkEglHost() {
    Release();
}

bool rkEglHost::Create(int width, int height) {
    Release();
    EGLDisplay display = OpenSurfacelessDisplay();
    if (display == EGL_NO_DISPLAY) return false;
    display_ = display;

    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1 ||
        !eglBindAPI(EGL_OPENGL_API)) {
        rkMessage("rkEglHost::Create failed: no RGBA8 pbuffer configuration");
        Release();
        return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                        3,
                                        EGL_CONTEXT_MINOR_VERSION,
                                        3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (context_ == EGL_NO_CONTEXT || surface_ == EGL_NO_SURFACE) {
        rkMessage("rkEglHost::Create failed: cannot create context or surface (0x%X)",
                  eglGetError());
        Release();
        return false;
    }
    width_ = width;
    height_ = height;
    return MakeCurrent();
}

bool rkEglHost::MakeCurrent() {
    if (!context_) return false;
    return eglMakeCurrent(display_, surface_, surface_, context_) == EGL_TRUE;
}

bool rkEglHost::IsCurrent() const {
    return context_ && eglGetCurrentContext() == context_;
}

void rkEglHost::DoneCurrent() {
    if (display_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void rkEglHost::Size(int* width, int* height) const {
    *width = width_;
    *height = height_;
}

// Nobody looks at a pbuffer: presenting means the frame is complete and can be read.
bool rkEglHost::Present() {
    return surface_ && eglWaitClient() == EGL_TRUE;
}

void rkEglHost::Release() {
    if (display_) {
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (surface_) eglDestroySurface(display_, surface_);
        if (context_) eglDestroyContext(display_, context_);
        // The display is shared by every host of the process; terminating it would pull the
        // contexts of the others away, so it stays initialised.
    }
    display_ = context_ = surface_ = nullptr;
    width_ = height_ = 0;
}
