#pragma once
// Private to the device files: the OpenGL objects of a device context and the shadow of the
// fixed-function state that the shader program reproduces.
#include <epoxy/gl.h>

#include "ZU2/rkDevice.h"

// Which uniforms must be sent before the next draw.
enum rkDirty : uint32_t {
    RK_DIRTY_WORLD = 1,
    RK_DIRTY_VIEW = 2,
    RK_DIRTY_PROJECTION = 4,
    RK_DIRTY_LIGHTS = 8,
    RK_DIRTY_MATERIAL = 16,
    RK_DIRTY_STATES = 32,
    RK_DIRTY_ALL = 63,
};

// Render states that live in the shader rather than in GL's own state.
struct rkShaderState {
    int32_t lighting;
    int32_t specular;
    int32_t flat;
    int32_t fogEnable;
    int32_t fogMode;
    float fogStart, fogEnd, fogDensity;
    uint32_t fogColour;  // 0xAARRGGBB
    int32_t alphaTest;
    int32_t alphaFunc;
    uint32_t alphaRef;  // 0..255
    uint32_t ambient;   // global ambient 0xAARRGGBB
    int32_t stageOp[kRkStages];
};

struct rkUniforms {
    GLint world, view, projection, eye, viewport, remapDepth;
    GLint format, lighting, specular, ambient;
    GLint matDiffuse, matAmbient, matSpecular, matPower;
    GLint lightCount, lightType, lightDiffuse, lightPosition, lightDirection, lightAttenuation, lightSpot;
    GLint flat, stageCount, stageOp, texture0, texture1;
    GLint fogMode, fog, fogColour, alphaFunc, alphaRef;
};

// The render states kept by GL's context rather than by the device's own program. A context
// may be shared by several devices (the 3D views of one thread), so each device remembers the
// values it set and sets them again when it becomes current.
constexpr uint32_t kRkContextStates[] = {RK_RS_DITHERENABLE, RK_RS_ZENABLE,  RK_RS_ZWRITEENABLE,
                                         RK_RS_ZFUNC,        RK_RS_FILLMODE, RK_RS_CULLMODE,
                                         RK_RS_SRCBLEND,     RK_RS_DESTBLEND,
                                         RK_RS_ALPHABLENDENABLE};
constexpr int kRkContextStateCount = sizeof kRkContextStates / sizeof kRkContextStates[0];

struct rkPicture {
    GLuint texture;
    int32_t width, height;
};

struct rkDeviceGL {
    GLuint framebuffer, colourBuffer, depthBuffer;
    GLuint program;
    rkUniforms u;
    GLuint vertexArray, vertexBuffer, indexBuffer;
    GLsizeiptr vertexSize, vertexUsed, indexSize, indexUsed;
    GLuint samplers[kRkStages];
    GLuint pictureFramebuffer;
    rkPicture background, foreground;
    int32_t pictureReported;
    int32_t picturesHidden;  // frames drawn without the background and foreground pictures
    int32_t clipControl;
    int32_t zWrite;
    int32_t srcBlend, dstBlend;
    int32_t boundFormat;  // vertex layout currently enabled on the attributes
    int32_t boundStages;
    int32_t drawFormat;  // what the uniforms were last told
    int32_t drawStages;
    rkShaderState shader;
    uint32_t contextStates[kRkContextStateCount];
    uint32_t contextStatesSet;  // bit i: contextStates[i] holds a value
    int32_t scissor[4];         // x, y, width, height in GL's terms; width 0: no scissor
    uint32_t dirty;
    rkVector eye;  // camera position in world space, for specular highlights
};

// rkShader.cpp
bool _shCreateProgram(rkDeviceGL* gl);
void _shDestroyProgram(rkDeviceGL* gl);
// Sends the uniforms marked dirty and the per-draw format and stage count.
void _shFlush(rkDevice* device, int format, int stages);

// Reports a pending GL error as "ERROR:%s (source:line)"; false when there was one.
bool _rkCheckGL(const char* source, int line);
void _rkReportCode(uint32_t code, const char* source, int line);
// The current device, or null with "No current device (operation)." written.
rkDevice* _rkCurrent(const char* operation);
// rkDeviceFrame.cpp: frees a background or foreground picture.
void _rkReleasePicture(rkPicture* picture);
// rkDeviceState.cpp: sets GL's context state back to what the device last set.
void _rkRestoreContextStates(rkDevice* device);
