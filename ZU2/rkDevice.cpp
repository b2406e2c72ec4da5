#include "ZU2/rkDevice.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkHost.h"
#include "ZU2/rkMessage.h"
#include "ZU2/rkTexture.h"

namespace {

constexpr const char* kSource = "ZU2\\rkDevice";
constexpr int kStride = sizeof(rkVertex);
constexpr GLsizeiptr kVertexRing = 1 << 20;
constexpr GLsizeiptr kIndexRing = 256 << 10;

// A GL context is current per thread, and so is the device drawing through it.
thread_local rkDevice* g_current = nullptr;
// The device whose states this thread's context holds: devices may share a context.
thread_local rkDevice* g_lastDrawing = nullptr;

#define RK_CHECK() _rkCheckGL(kSource, __LINE__)

void ReportCode(uint32_t code, int line) { _rkReportCode(code, kSource, line); }

rkDevice* Current(const char* operation) { return _rkCurrent(operation); }

bool ValidLight(int index, const char* operation) {
    if (index >= 0 && index < kRkDeviceLights) return true;
    rkMessage("Invalid parameters (%s).", operation);
    return false;
}

// ---- Platform objects ------------------------------------------------------------------

bool CreateSurfaces(rkDevice* device) {
    rkDeviceGL* gl = device->gl;
    glGenRenderbuffers(1, &gl->colourBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, gl->colourBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, device->width, device->height);
    glGenRenderbuffers(1, &gl->depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, gl->depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT32F, device->width, device->height);
    glGenFramebuffers(1, &gl->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, gl->framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              gl->colourBuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              gl->depthBuffer);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        ReportCode(status, __LINE__);
        return false;
    }
    glGenFramebuffers(1, &gl->pictureFramebuffer);
    return RK_CHECK();
}

void SetVertexLayout() {
    const auto at = [](int offset) { return reinterpret_cast<const void*>(intptr_t{offset}); };
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, kStride, at(offsetof(rkVertex, position)));
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, kStride, at(offsetof(rkVertex, normal)));
    // 0xAARRGGBB in memory is B, G, R, A: exactly what GL_BGRA reads.
    glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, kStride,
                          at(offsetof(rkVertex, colour)));
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, kStride, at(offsetof(rkVertex, u0)));
    glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, kStride, at(offsetof(rkVertex, u1)));
    glEnableVertexAttribArray(0);
    // What a vertex without the component reads: no normal, white, texture origin.
    glVertexAttrib3f(1, 0.0f, 0.0f, 0.0f);
    glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);
    glVertexAttrib2f(3, 0.0f, 0.0f);
    glVertexAttrib2f(4, 0.0f, 0.0f);
}

bool CreateBuffers(rkDeviceGL* gl) {
    glGenVertexArrays(1, &gl->vertexArray);
    glBindVertexArray(gl->vertexArray);
    glGenBuffers(1, &gl->vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, gl->vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, kVertexRing, nullptr, GL_STREAM_DRAW);
    gl->vertexSize = kVertexRing;
    glGenBuffers(1, &gl->indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl->indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexRing, nullptr, GL_STREAM_DRAW);
    gl->indexSize = kIndexRing;
    SetVertexLayout();
    gl->boundFormat = gl->boundStages = -1;
    glGenSamplers(kRkStages, gl->samplers);
    for (int s = 0; s < kRkStages; ++s) glBindSampler(s, gl->samplers[s]);
    return RK_CHECK();
}

// The states a new device starts with: lighting on, identity transforms, z test
// less-or-equal with writes, clockwise triangles culled, stage 0 showing its texture.
void SetInitialStates(rkDevice* device) {
    rkDeviceGL* gl = device->gl;
    if (epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control")) {
        glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
        gl->clipControl = 1;
    }
    glViewport(0, 0, device->width, device->height);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    for (rkMatrix& m : device->transforms) rkIdentity(&m);
    rkSetState(RK_STATE_LIGHTING, 1);
    rkSetState(RK_RS_ZENABLE, 1);
    rkSetState(RK_RS_ZWRITEENABLE, 1);
    rkSetState(RK_RS_ZFUNC, 4);
    rkSetState(RK_RS_CULLMODE, 2);
    rkSetState(RK_RS_SHADEMODE, 2);
    rkSetState(RK_RS_FILLMODE, 3);
    rkSetState(RK_RS_SRCBLEND, 2);
    rkSetState(RK_RS_DESTBLEND, 1);
    rkSetState(RK_RS_ALPHAFUNC, 8);
    rkSetTextureStageState(0, RK_STAGE_BLEND, 2);
    rkSetTextureStageState(1, RK_STAGE_BLEND, 1);
    for (int s = 0; s < kRkStages; ++s) {
        rkSetTextureStageState(s, RK_STAGE_MAGFILTER, 1);
        rkSetTextureStageState(s, RK_STAGE_MINFILTER, 1);
        rkSetTextureStageState(s, RK_STAGE_ADDRESSU, 1);
        rkSetTextureStageState(s, RK_STAGE_ADDRESSV, 1);
    }
    gl->eye = {0, 0, 0};
    gl->dirty = RK_DIRTY_ALL;
}

void DescribeDevice() {
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    rkMessage("EnumDevice: %s (%s)", renderer ? renderer : "?", version ? version : "?");
    rkMessage("%d device found.", 1);
    rkMessage("Pick the 3D device : %s", renderer ? renderer : "?");
}

void ReleasePicture(rkPicture* picture) {
    if (picture->texture) glDeleteTextures(1, &picture->texture);
    *picture = {};
}

// ---- Pictures --------------------------------------------------------------------------

int SetPicture(rkPicture* picture, const void* pixels, int width, int height, int bits) {
    if (!pixels) {
        ReleasePicture(picture);
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
        ReleasePicture(picture);
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

// ---- Drawing ---------------------------------------------------------------------------

int PrimitiveCount(int primitive, int count) {
    switch (primitive) {
        case RK_POINTLIST:
            return count;
        case RK_LINELIST:
            return count / 2;
        case RK_LINESTRIP:
            return std::max(count - 1, 0);
        case RK_TRIANGLELIST:
            return count / 3;
        default:
            return std::max(count - 2, 0);
    }
}

GLenum PrimitiveMode(int primitive) {
    static const GLenum kModes[] = {GL_POINTS,    GL_LINES,          GL_LINE_STRIP,
                                    GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return kModes[primitive - 1];
}

// Turns on the attribute arrays the vertex format and the number of stages read.
void BindLayout(rkDeviceGL* gl, int format, int stages) {
    if (format != gl->boundFormat) {
        const bool normal = format != RK_VERTEX_UNLIT;  // format 3 keeps 1/w there
        const bool colour = format != RK_VERTEX_LIT;
        normal ? glEnableVertexAttribArray(1) : glDisableVertexAttribArray(1);
        colour ? glEnableVertexAttribArray(2) : glDisableVertexAttribArray(2);
        gl->boundFormat = format;
    }
    if (stages != gl->boundStages) {
        stages > 0 ? glEnableVertexAttribArray(3) : glDisableVertexAttribArray(3);
        stages > 1 ? glEnableVertexAttribArray(4) : glDisableVertexAttribArray(4);
        gl->boundStages = stages;
    }
}

// Appends bytes to a streaming buffer; the buffer is orphaned when it is full (or at the
// first write of a frame) so that draws still in flight keep their data. Returns the offset.
GLintptr Stream(GLenum target, GLsizeiptr* size, GLsizeiptr* used, const void* data,
                GLsizeiptr bytes, GLsizeiptr align) {
    GLintptr offset = (*used + align - 1) / align * align;
    GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
    if (bytes > *size) {
        *size = std::max(bytes, *size * 2);
        glBufferData(target, *size, nullptr, GL_STREAM_DRAW);
        offset = 0;
    } else if (offset + bytes > *size) {
        offset = 0;
    }
    access |= offset == 0 ? GL_MAP_INVALIDATE_BUFFER_BIT : GL_MAP_INVALIDATE_RANGE_BIT;
    void* mapped = glMapBufferRange(target, offset, bytes, access);
    if (!mapped) return -1;
    std::memcpy(mapped, data, static_cast<size_t>(bytes));
    glUnmapBuffer(target);
    *used = offset + bytes;
    return offset;
}

bool IndicesInRange(const rkMesh* mesh) {
    uint16_t highest = 0;
    for (int i = 0; i < mesh->indexCount; ++i) highest = std::max(highest, mesh->indices[i]);
    return mesh->indexCount == 0 || highest < mesh->vertexCount;
}

void BindStageTextures(rkDevice* device, const rkMesh* mesh) {
    for (int s = 0; s < kRkStages; ++s) {
        const uint32_t texture = device->texturingOn ? rkGetTextureSurface(mesh->textures[s]) : 0;
        if (texture == device->stageTexture[s]) continue;
        glActiveTexture(GL_TEXTURE0 + s);
        glBindTexture(GL_TEXTURE_2D, texture);
        device->stageTexture[s] = texture;
        ++device->stats.textureChanges;
    }
    glActiveTexture(GL_TEXTURE0);
}

int UsedStages(const rkDevice* device, const rkMesh* mesh) {
    int stages = 0;
    if (device->texturingOn) {
        while (stages < kRkStages && rkGetTextureSurface(mesh->textures[stages])) ++stages;
    }
    return stages;
}

bool Submit(rkDevice* device, const rkMesh* mesh, int stages) {
    rkDeviceGL* gl = device->gl;
    const bool indexed = (mesh->flags & RK_MESH_INDEXED) != 0;
    const GLintptr vertexOffset =
        Stream(GL_ARRAY_BUFFER, &gl->vertexSize, &gl->vertexUsed, mesh->vertices,
               GLsizeiptr{mesh->vertexCount} * kStride, kStride);
    if (vertexOffset < 0) return RK_CHECK() && false;
    BindLayout(gl, mesh->format, stages);
    _shFlush(device, mesh->format, stages);
    const GLint first = static_cast<GLint>(vertexOffset / kStride);
    const GLenum mode = PrimitiveMode(mesh->primitive);
    if (indexed) {
        const GLintptr indexOffset =
            Stream(GL_ELEMENT_ARRAY_BUFFER, &gl->indexSize, &gl->indexUsed, mesh->indices,
                   GLsizeiptr{mesh->indexCount} * 2, 4);
        if (indexOffset < 0) return RK_CHECK() && false;
        glDrawElementsBaseVertex(mode, mesh->indexCount, GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(indexOffset), first);
    } else {
        glDrawArrays(mode, first, mesh->vertexCount);
    }
    return RK_CHECK();
}

void FlipRows(void* pixels, int width, int height) {
    auto* words = static_cast<uint32_t*>(pixels);
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(words + size_t(top) * width, words + size_t(top + 1) * width,
                         words + size_t(bottom) * width);
    }
}

}  // namespace

rkDevice* _rkCurrent(const char* operation) {
    if (!g_current || !g_current->gl) {
        rkMessage("No current device (%s).", operation);
        return nullptr;
    }
    return g_current;
}

void _rkReportCode(uint32_t code, const char* source, int line) {
    rkMessage("ERROR:%s (%s:%d)", rkErrorText(code), source, line);
}

bool _rkCheckGL(const char* source, int line) {
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) return true;
    rkMessage("ERROR:%s (%s:%d)", rkErrorText(error), source, line);
    while (glGetError() != GL_NO_ERROR) {
    }
    return false;
}

// ---- Set-up ----------------------------------------------------------------------------

int rkCreateDevice(rkDevice* device, rkHost* window, int width, int height) {
    if (!device || !window || width <= 0 || height <= 0) {
        rkMessage("Invalid parameters (rkCreateDevice).");
        return 0;
    }
    device->lightingOn = device->texturingOn = 1;
    if (device->renderer == RK_RENDERER_DEFAULT) device->renderer = RK_RENDERER_HAL;
    switch (device->renderer) {
        case 3: case 4: case 5: case 6: case 7: case 8:
            break;
        default:
            rkMessage("Unsupported rendere in %s", "RK GL");
            return 0;
    }
    if (!window->MakeCurrent() || epoxy_gl_version() < 33) {
        rkMessage("No HAL found! This Renderer require a 3D accelerator");
        return 0;
    }
    DescribeDevice();
    device->hardware = 1;  // an OpenGL 3.3 context always transforms and lights itself
    device->window = window;
    device->width = width;
    device->height = height;
    device->gl = static_cast<rkDeviceGL*>(std::calloc(1, sizeof(rkDeviceGL)));
    if (!device->gl) return 0;
    rkDevice* previous = g_current;
    g_current = device;
    if (!CreateSurfaces(device) || !_shCreateProgram(device->gl) || !CreateBuffers(device->gl)) {
        rkDestroyDevice(device);
        g_current = previous == device ? nullptr : previous;
        return 0;
    }
    SetInitialStates(device);
    g_lastDrawing = device;  // the context holds what this device just set
    rkEnumTextureFormats();
    rkSetBackgroundColor(0, 0, 0);
    if (device->colourDepth == 0) {
        device->colourDepth = 32;
        rkMessage("Frame depth = %d", device->colourDepth);
    } else if (device->colourDepth != 32) {
        rkMessage("ERROR: Surface Depth = %d  require %d, not match!", 32, device->colourDepth);
    }
    return RK_CHECK() ? 1 : 0;
}

void rkDestroyDevice(rkDevice* device) {
    if (!device || !device->gl) return;
    rkDeviceGL* gl = device->gl;
    ReleasePicture(&gl->background);
    ReleasePicture(&gl->foreground);
    _shDestroyProgram(gl);
    glDeleteSamplers(kRkStages, gl->samplers);
    glDeleteBuffers(1, &gl->vertexBuffer);
    glDeleteBuffers(1, &gl->indexBuffer);
    glDeleteVertexArrays(1, &gl->vertexArray);
    glDeleteFramebuffers(1, &gl->pictureFramebuffer);
    glDeleteFramebuffers(1, &gl->framebuffer);
    glDeleteRenderbuffers(1, &gl->colourBuffer);
    glDeleteRenderbuffers(1, &gl->depthBuffer);
    std::free(gl);
    device->gl = nullptr;
    device->inScene = 0;
    if (g_current == device) g_current = nullptr;
    if (g_lastDrawing == device) g_lastDrawing = nullptr;
}

void rkSetCurrentDevice(rkDevice* device) {
    g_current = device;
    if (!device || !device->gl) return;
    // Another context may have drawn in between: take the pipeline back.
    rkDeviceGL* gl = device->gl;
    glBindFramebuffer(GL_FRAMEBUFFER, gl->framebuffer);
    glUseProgram(gl->program);
    glBindVertexArray(gl->vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, gl->vertexBuffer);
    for (int s = 0; s < kRkStages; ++s) glBindSampler(s, gl->samplers[s]);
    if (g_lastDrawing == device) return;
    // Another device of this thread may share the context: its states and textures go too.
    g_lastDrawing = device;
    for (uint32_t& bound : device->stageTexture) bound = ~0u;
    _rkRestoreContextStates(device);
}

rkDevice* rkGetCurrentDevice() { return g_current; }

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
            if (rkInvert(&inverse, matrix)) gl->eye = {inverse.m[12], inverse.m[13], inverse.m[14]};
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

// ---- Lights ----------------------------------------------------------------------------

int rkSetLight(int index, const rkLightData* data) {
    if (!ValidLight(index, "rkSetLight")) return 0;
    if (!data) {
        rkMessage("Invalid parameters (rkSetLight).");
        return 0;
    }
    rkDevice* device = Current("rkSetLight");
    if (!device) return 0;
    rkLightData& cached = device->lights[index].data;
    // The changed flag travels with the data but does not change the light itself.
    rkLightData incoming = *data;
    incoming.flags = cached.flags;
    const bool same = std::memcmp(&incoming, &cached, sizeof incoming) == 0;
    cached = *data;
    if (data->type < 1 || data->type > 3) {
        rkMessage("Unknown light type: %d", data->type);
        return 0;
    }
    if (!same) {
        device->gl->dirty |= RK_DIRTY_LIGHTS;
        ++device->stats.lightChanges;
    }
    return 1;
}

int rkEnableLight(int index) {
    if (!ValidLight(index, "rkEnableLight")) return 0;
    rkDevice* device = Current("rkEnableLight");
    if (!device) return 0;
    if (!device->lights[index].on) device->gl->dirty |= RK_DIRTY_LIGHTS;
    device->lights[index].on = 1;
    return 1;
}

int rkDisableLight(int index) {
    if (!ValidLight(index, "rkDisableLight")) return 0;
    rkDevice* device = Current("rkDisableLight");
    if (!device) return 0;
    if (device->lights[index].on) device->gl->dirty |= RK_DIRTY_LIGHTS;
    device->lights[index].on = 0;
    return 1;
}

int rkAllocLight(rkLight* light) {
    if (!light) return 0;
    const int slot = rkTakeLightSlot(light);
    if (slot < 0) {
        rkMessage("Too many lights. Light(%d) disabled", light->data.reserved);
        return 0;
    }
    return rkSetLight(slot, &light->data);
}

void rkReleaseLight(rkLight* light) {
    if (!light) return;
    // A slot given back must not keep shining with the old light's data.
    if (light->slot >= 0 && light->slot < kRkDeviceLights && g_current && g_current->gl) {
        rkDisableLight(light->slot);
    }
    rkReleaseLightSlot(light);
    light->slot = -1;
}

// ---- Materials and states --------------------------------------------------------------

int rkSetMaterial(const rkMaterial* material) {
    if (!material) {
        rkMessage("Invalid parameters (rkSetMaterial).");
        return 0;
    }
    rkDevice* device = Current("rkSetMaterial");
    if (!device) return 0;
    if (device->materialValid &&
        std::memcmp(&device->material, material, sizeof *material) == 0) {
        return 1;
    }
    device->material = *material;
    device->materialValid = 1;
    device->gl->dirty |= RK_DIRTY_MATERIAL;
    ++device->stats.materialChanges;
    return 1;
}

int rkDrawMesh(const rkMesh* mesh) {
    if (!mesh) {
        rkMessage("Invalid parameters (rkDrawMesh).");
        return 0;
    }
    rkDevice* device = Current("rkDrawMesh");
    if (!device) return 0;
    if (mesh->primitive < RK_POINTLIST || mesh->primitive > RK_TRIANGLEFAN) {
        rkMessage("Unknown primitive type = %d", mesh->primitive);
        return 0;
    }
    const bool indexed = (mesh->flags & RK_MESH_INDEXED) != 0;
    const int count = indexed ? mesh->indexCount : mesh->vertexCount;
    device->stats.primitives += PrimitiveCount(mesh->primitive, count);
    if (mesh->format < RK_VERTEX_LIT || mesh->format > RK_VERTEX_SCREEN) {
        rkMessage("Unknown vertex format : %d", mesh->format);
        return 0;
    }
    const int stages = UsedStages(device, mesh);
    if (mesh->flags & RK_MESH_MATERIAL) rkSetMaterial(&mesh->material);
    BindStageTextures(device, mesh);
    if (count <= 0 || !mesh->vertices || (indexed && !mesh->indices)) return 1;
    if (indexed && !IndicesInRange(mesh)) {
        rkMessage("Index out of range (rkDrawMesh).");
        return 0;
    }
    device->stats.vertices += mesh->vertexCount;
    ++device->stats.meshes;
    return Submit(device, mesh, stages) ? 1 : 0;
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

const char* rkErrorText(uint32_t code) {
    switch (code) {
        case 0:
            return "No error.";
        case GL_INVALID_ENUM:
            return "An unacceptable value is specified for an enumerated argument. The offending "
                   "command is ignored and has no other side effect than to set the error flag.";
        case GL_INVALID_VALUE:
            return "A numeric argument is out of range. The offending command is ignored and has "
                   "no other side effect than to set the error flag.";
        case GL_INVALID_OPERATION:
            return "The specified operation is not allowed in the current state. The offending "
                   "command is ignored and has no other side effect than to set the error flag.";
        case GL_STACK_OVERFLOW:
            return "An attempt has been made to perform an operation that would cause an internal "
                   "stack to overflow.";
        case GL_STACK_UNDERFLOW:
            return "An attempt has been made to perform an operation that would cause an internal "
                   "stack to underflow.";
        case GL_OUT_OF_MEMORY:
            return "There is not enough memory left to execute the command. The state of the GL "
                   "is undefined, except for the state of the error flags, after this error is "
                   "recorded.";
        case GL_INVALID_FRAMEBUFFER_OPERATION:
            return "The framebuffer object is not complete. The offending command is ignored and "
                   "has no other side effect than to set the error flag.";
        case GL_CONTEXT_LOST:
            return "The OpenGL context has been lost, due to a graphics card reset.";
        case GL_FRAMEBUFFER_UNDEFINED:
            return "The specified framebuffer is the default read or draw framebuffer, but the "
                   "default framebuffer does not exist.";
        case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT:
            return "Any of the framebuffer attachment points are framebuffer incomplete.";
        case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT:
            return "The framebuffer does not have at least one image attached to it.";
        case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER:
            return "The value of GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE is GL_NONE for any color "
                   "attachment point(s) named by GL_DRAW_BUFFERi.";
        case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER:
            return "GL_READ_BUFFER is not GL_NONE and the value of "
                   "GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE is GL_NONE for the color attachment "
                   "point named by GL_READ_BUFFER.";
        case GL_FRAMEBUFFER_UNSUPPORTED:
            return "The combination of internal formats of the attached images violates an "
                   "implementation-dependent set of restrictions.";
        case GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE:
            return "The value of GL_RENDERBUFFER_SAMPLES is not the same for all attached "
                   "renderbuffers.";
        case GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS:
            return "Any framebuffer attachment is layered, and any populated attachment is not "
                   "layered, or all populated color attachments are not from textures of the "
                   "same target.";
        default: {
            static thread_local char text[64];
            std::snprintf(text, sizeof text, "Unrecognized error value:%u(%X).", code & 0xFFFF,
                          code & 0xFFFF);
            return text;
        }
    }
}
