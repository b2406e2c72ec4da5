// The device's set-up: its GL objects made and freed, the current device of a thread, and the
// reports of GL's errors.
#include "ZU2/rkDevice.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkHost.h"
#include "ZU2/rkMessage.h"
#include "ZU2/rkTexture.h"

namespace {

constexpr const char* kSource = "ZU2\\rkDevice";
constexpr int kStride = sizeof(rkVertex);
// The streaming buffers' first sizes. Each device keeps its own, and a software renderer
// holds a full copy of each in memory: small rings that wrap several times a frame cost no
// measurable time there. A mesh larger than a ring grows it.
constexpr GLsizeiptr kVertexRing = 256 << 10;
constexpr GLsizeiptr kIndexRing = 64 << 10;

// A GL context is current per thread, and so is the device drawing through it.
thread_local rkDevice* g_current = nullptr;
// The device whose states this thread's context holds: devices may share a context.
thread_local rkDevice* g_lastDrawing = nullptr;

#define RK_CHECK() _rkCheckGL(kSource, __LINE__)

void ReportCode(uint32_t code, int line) { _rkReportCode(code, kSource, line); }

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
    _rkReleasePicture(&gl->background);
    _rkReleasePicture(&gl->foreground);
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
