// The frame of a device: its background and foreground pictures, the scene begun and shown,
// the transforms, and the back surface read back.
#include <algorithm>
#include <cmath>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkHost.h"
#include "ZU2/rkMessage.h"

namespace {

constexpr const char* kSource = "ZU2\\rkDeviceFrame";

#define RK_CHECK() _rkCheckGL(kSource, __LINE__)

rkDevice* Current(const char* operation) { return _rkCurrent(operation); }

// ---- Pictures --------------------------------------------------------------------------

int SetPicture(rkPicture* picture, const void* pixels, int width, int height, int bits) {
    if (!pixels) {
        _rkReleasePicture(picture);
        return 1;
    }
    if (bits != 24 && bits != 32) {
        rkMessage("Unsupported image format : %d", bits);
        return 0;
    }
    if (width <= 0 || height <= 0) {
        rkMessage("Invalid parameters (rkSetPicture).");
        return 0;
    }
    if (!picture->texture) glGenTextures(1, &picture->texture);
    glActiveTexture(GL_TEXTURE0 + kRkStages);  // keep the stage bindings untouched
    glBindTexture(GL_TEXTURE_2D, picture->texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, bits == 32 ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glActiveTexture(GL_TEXTURE0);
    if (!RK_CHECK()) {
        rkMessage("Fatal Error: Cannot Create Background Surface from DDraw");
        _rkReleasePicture(picture);
        return 0;
    }
    picture->width = width;
    picture->height = height;
    return 1;
}

// Copies a picture over the whole back surface, stretched; its top row lands at the top.
bool BlitPicture(const rkDevice* device, const rkPicture& picture) {
    const rkDeviceGL* gl = device->gl;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, gl->pictureFramebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           picture.texture, 0);
    glBlitFramebuffer(0, 0, picture.width, picture.height, 0, device->height, device->width, 0,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, gl->framebuffer);
    return RK_CHECK();
}

// ---- Frame -----------------------------------------------------------------------------

void ClearDepth(rkDeviceGL* gl) {
    if (!gl->zWrite) glDepthMask(GL_TRUE);
    glClearDepth(1.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (!gl->zWrite) glDepthMask(GL_FALSE);
}

void ClearColour(const rkDevice* device) {
    const uint32_t c = device->backgroundColour;
    glClearColor(((c >> 16) & 255) / 255.0f, ((c >> 8) & 255) / 255.0f, (c & 255) / 255.0f,
                 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// The device view: BuildViewMatrix, then x negated in camera space.
void SetViewFrom(rkView* view) {
    rkMatrix projection, look;
    rkProjectionMatrix(&projection, view->nearPlane, view->farPlane, view->fieldOfView,
                       view->aspect);
    rkSetTransform(RK_PROJECTION, projection);
    rkBuildViewMatrix(&look, view->eye, &view->direction, view->up, kSource, __LINE__);
    for (int row = 0; row < 4; ++row) look.m[row * 4] = -look.m[row * 4];
    rkSetTransform(RK_VIEW, look);
}

bool DrawBackground(rkDevice* device) {
    rkDeviceGL* gl = device->gl;
    if (!gl->background.texture || gl->picturesHidden) {
        ClearColour(device);
        return true;
    }
    if (!gl->pictureReported) {
        rkMessage("Src width = %d  height = %d depth = %d", gl->background.width,
                  gl->background.height, 32);
        rkMessage("Dst width = %d  height = %d depth = %d", device->width, device->height,
                  device->colourDepth);
        gl->pictureReported = 1;
    }
    return BlitPicture(device, gl->background);
}

bool PresentTo(const rkDevice* device, rkHost* target) {
    int targetWidth = 0, targetHeight = 0;
    target->Size(&targetWidth, &targetHeight);
    // The frame goes to the top-left corner of the target, unscaled.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, device->gl->framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target->Framebuffer());
    glBlitFramebuffer(0, 0, device->width, device->height, 0, targetHeight - device->height,
                      device->width, targetHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, device->gl->framebuffer);
    if (!RK_CHECK()) return false;
    return target->Present();
}

void FlipRows(void* pixels, int width, int height) {
    auto* words = static_cast<uint32_t*>(pixels);
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(words + size_t(top) * width, words + size_t(top + 1) * width,
                         words + size_t(bottom) * width);
    }
}

}  // namespace

void _rkReleasePicture(rkPicture* picture) {
    if (picture->texture) glDeleteTextures(1, &picture->texture);
    *picture = {};
}

// ---- Frame -----------------------------------------------------------------------------

int rkNewScene(rkView* view) {
    rkDevice* device = Current("rkNewScene");
    if (!device) return 0;
    rkDeviceGL* gl = device->gl;
    if (view) SetViewFrom(view);
    glBindFramebuffer(GL_FRAMEBUFFER, gl->framebuffer);
    glViewport(0, 0, device->width, device->height);
    ClearDepth(gl);
    if (!DrawBackground(device)) return 0;
    gl->vertexUsed = gl->indexUsed = 0;
    device->inScene = 1;
    device->stats = {};
    return RK_CHECK() ? 1 : 0;
}

int rkShowScene(rkHost* target) {
    rkDevice* device = Current("rkShowScene");
    if (!device) return 0;
    device->inScene = 0;
    const rkDeviceGL* gl = device->gl;
    if (gl->foreground.texture && !gl->picturesHidden && !BlitPicture(device, gl->foreground))
        return 0;
    if (target && device->window) return PresentTo(device, target) ? 1 : 0;
    return 1;
}

int rkClear(int flags) {
    rkDevice* device = Current("rkClear");
    if (!device) return 0;
    glBindFramebuffer(GL_FRAMEBUFFER, device->gl->framebuffer);
    if (flags & RK_CLEAR_COLOR) ClearColour(device);
    if (flags & RK_CLEAR_DEPTH) ClearDepth(device->gl);
    return RK_CHECK() ? 1 : 0;
}

void rkSetBackgroundColor(float r, float g, float b) {
    rkDevice* device = Current("rkSetBackgroundColor");
    if (!device) return;
    const auto channel = [](float v) {
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    device->backgroundColour = channel(r) << 16 | channel(g) << 8 | channel(b);
}

int rkSetBackgroundPicture(const void* pixels, int width, int height, int bits) {
    rkDevice* device = Current("rkSetBackgroundPicture");
    if (!device) return 0;
    device->gl->pictureReported = 0;
    return SetPicture(&device->gl->background, pixels, width, height, bits);
}

int rkShowPictures(int shown) {
    rkDevice* device = Current("rkShowPictures");
    if (!device) return 0;
    const int was = device->gl->picturesHidden ? 0 : 1;
    device->gl->picturesHidden = shown ? 0 : 1;
    return was;
}

int rkSetForegroundPicture(const void* pixels, int width, int height, int bits) {
    rkDevice* device = Current("rkSetForegroundPicture");
    if (!device) return 0;
    return SetPicture(&device->gl->foreground, pixels, width, height, bits);
}

int rkSetTransform(int kind, const rkMatrix& matrix) {
    rkDevice* device = Current("rkSetTransform");
    if (!device) return 0;
    rkDeviceGL* gl = device->gl;
    switch (kind) {
        case RK_WORLD:
            device->transforms[0] = matrix;
            gl->dirty |= RK_DIRTY_WORLD;
            return 1;
        case RK_VIEW: {
            device->transforms[1] = matrix;
            rkMatrix inverse;
            if (rkInvert(&inverse, matrix)) gl->eye = rkOrigin(inverse);
            gl->dirty |= RK_DIRTY_VIEW;
            return 1;
        }
        case RK_PROJECTION:
            device->transforms[2] = matrix;
            gl->dirty |= RK_DIRTY_PROJECTION;
            return 1;
        default:
            rkMessage("Invalid parameters (rkSetTransform).");
            return 0;
    }
}

int rkGetTransform(int kind, rkMatrix* matrix) {
    rkDevice* device = Current("rkGetTransform");
    if (!device || !matrix) return 0;
    switch (kind) {
        case RK_WORLD: *matrix = device->transforms[0]; return 1;
        case RK_VIEW: *matrix = device->transforms[1]; return 1;
        case RK_PROJECTION: *matrix = device->transforms[2]; return 1;
        default:
            rkMessage("Invalid parameters (rkGetTransform).");
            return 0;
    }
}

int rkReadFrame(int flags, void* destination) {
    rkDevice* device = Current("rkReadFrame");
    if (!device) return 0;
    if (!destination || (flags != RK_READ_COLOR && flags != RK_READ_DEPTH)) {
        rkMessage("Invalid parameters (rkReadFrame).");
        return 0;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, device->gl->framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (flags == RK_READ_COLOR) {
        glReadPixels(0, 0, device->width, device->height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     destination);
    } else {
        glReadPixels(0, 0, device->width, device->height, GL_DEPTH_COMPONENT, GL_FLOAT,
                     destination);
    }
    if (!RK_CHECK()) return 0;
    FlipRows(destination, device->width, device->height);  // GL keeps the bottom row first
    return 1;
}

int rkSetScissor(int x, int y, int width, int height) {
    rkDevice* device = Current("rkSetScissor");
    if (!device) return 0;
    int32_t* scissor = device->gl->scissor;
    if (width <= 0 || height <= 0) {
        scissor[2] = 0;
        glDisable(GL_SCISSOR_TEST);
    } else {
        // GL counts from the bottom.
        scissor[0] = x, scissor[1] = device->height - y - height;
        scissor[2] = width, scissor[3] = height;
        glEnable(GL_SCISSOR_TEST);
        glScissor(scissor[0], scissor[1], scissor[2], scissor[3]);
    }
    return RK_CHECK() ? 1 : 0;
}

int rkReadPixel(int x, int y, uint32_t* colour) {
    rkDevice* device = Current("rkReadPixel");
    if (!device) return 0;
    if (!colour || x < 0 || y < 0 || x >= device->width || y >= device->height) {
        rkMessage("Invalid parameters (rkReadPixel).");
        return 0;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, device->gl->framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    // GL counts rows from the bottom.
    glReadPixels(x, device->height - 1 - y, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, colour);
    return RK_CHECK() ? 1 : 0;
}
