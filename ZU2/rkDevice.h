#pragma once
// The render device: one context per 3D window, drawn through OpenGL 3.3 core while keeping
// the meanings of the fixed-function device the kit was designed for: row-vector matrices,
// depth 0..1, clockwise triangles culled, render states addressed by their classic numbers,
// per-vertex lighting with eight lights and two texture stages.
// All operations work on the current context (rkSetCurrentDevice) and report failures
// through rkMessage, returning 0.
#include <cstdint>

#include "ZU2/rkMath.h"
#include "ZU2/rkMesh.h"
#include "ZU2/rkObject.h"
#include "ZU2/rkState.h"
#include "ZU2/rkUtil.h"

class rkHost;
struct rkDeviceGL;  // platform objects, private to the device files

// Renderer kinds; all select the same OpenGL device here, the number is kept for callers.
enum rkRenderer : int32_t {
    RK_RENDERER_DEFAULT = 0,
    RK_RENDERER_HAL = 3,
    RK_RENDERER_RGB = 4,
    RK_RENDERER_MMX = 5,
    RK_RENDERER_HAL2 = 6,
    RK_RENDERER_REFERENCE = 7,
    RK_RENDERER_TNL_HAL = 8,
};

enum rkTransformKind : int32_t { RK_WORLD = 1, RK_VIEW = 2, RK_PROJECTION = 4 };
enum rkClearFlags : int32_t { RK_CLEAR_COLOR = 1, RK_CLEAR_DEPTH = 2 };
enum rkReadFlags : int32_t { RK_READ_COLOR = 1, RK_READ_DEPTH = 2 };

// The kit's own states beside the classic render-state numbers.
constexpr uint32_t RK_STATE_TEXTURING = 0x10000001;
constexpr uint32_t RK_STATE_LIGHTING = 0x10000002;

// Classic render-state numbers the device understands.
enum rkRenderState : uint32_t {
    RK_RS_ANTIALIAS = 2,
    RK_RS_TEXTUREPERSPECTIVE = 4,
    RK_RS_ZENABLE = 7,
    RK_RS_FILLMODE = 8,
    RK_RS_SHADEMODE = 9,
    RK_RS_ZWRITEENABLE = 14,
    RK_RS_ALPHATESTENABLE = 15,
    RK_RS_SRCBLEND = 19,
    RK_RS_DESTBLEND = 20,
    RK_RS_CULLMODE = 22,
    RK_RS_ZFUNC = 23,
    RK_RS_ALPHAREF = 24,
    RK_RS_ALPHAFUNC = 25,
    RK_RS_DITHERENABLE = 26,
    RK_RS_ALPHABLENDENABLE = 27,
    RK_RS_FOGENABLE = 28,
    RK_RS_SPECULARENABLE = 29,
    RK_RS_FOGCOLOR = 34,
    RK_RS_FOGTABLEMODE = 35,
    RK_RS_FOGSTART = 36,
    RK_RS_FOGEND = 37,
    RK_RS_FOGDENSITY = 38,
    RK_RS_LIGHTING = 137,
    RK_RS_AMBIENT = 139,
    RK_RS_COLORVERTEX = 141,
    RK_RS_NORMALIZENORMALS = 143,
};

// Kit texture settings of rkSetTextureStageState.
enum rkStageSetting : int32_t {
    RK_STAGE_BLEND = 1,
    RK_STAGE_MAGFILTER = 2,
    RK_STAGE_MINFILTER = 3,
    RK_STAGE_ADDRESSU = 4,
    RK_STAGE_ADDRESSV = 5,
};

// Counters cleared by every rkNewScene.
struct rkFrameStats {
    int32_t primitives;
    int32_t vertices;
    int32_t meshes;
    int32_t textureChanges;
    int32_t materialChanges;
    int32_t lightChanges;
};

struct rkLightCacheEntry {
    rkLightData data;
    int32_t on;
};

constexpr int kRkDeviceLights = 8;
constexpr int kRkStages = 2;

struct rkDevice {
    int32_t renderer;
    int32_t width, height;
    int32_t colourDepth;  // 0 = take it from the back surface
    int32_t fullscreen;
    rkHost* window;
    int32_t hardware;
    int32_t lightingOn;
    int32_t texturingOn;
    int32_t inScene;
    rkFrameStats stats;
    uint32_t backgroundColour;  // 0x00RRGGBB
    rkLightCacheEntry lights[kRkDeviceLights];
    rkMaterial material;
    int32_t materialValid;
    uint32_t stageTexture[kRkStages];  // device textures bound to the stages, 0 = none, ~0 = unknown
    rkMatrix transforms[3];            // world, view, projection
    rkDeviceGL* gl;
};

// Creates the platform objects of a zero-filled context whose renderer and colour depth the
// caller may have preset, drawing into width x height surfaces for the given window (which
// must have its GL context current). Makes the context current. 1 on success, 0 on failure.
int rkCreateDevice(rkDevice* device, rkHost* window, int width, int height);
// Releases the platform objects (the window's GL context must be current).
void rkDestroyDevice(rkDevice* device);
void rkSetCurrentDevice(rkDevice* device);
rkDevice* rkGetCurrentDevice();

int rkNewScene(rkView* view);
int rkShowScene(rkHost* target);
int rkClear(int flags);
void rkSetBackgroundColor(float r, float g, float b);
// Pictures stretched behind (background) or over (foreground) every frame: top row first,
// 24-bit RGB or 32-bit RGBA. Null pixels remove the picture.
int rkSetBackgroundPicture(const void* pixels, int width, int height, int bits);
int rkSetForegroundPicture(const void* pixels, int width, int height, int bits);
// Leaves both pictures out of the frames drawn until they are shown again (a picking frame
// must hold nothing but the objects); the pictures stay set. Returns whether they were shown.
int rkShowPictures(int shown);
int rkSetTransform(int kind, const rkMatrix& matrix);
int rkGetTransform(int kind, rkMatrix* matrix);

int rkSetLight(int index, const rkLightData* data);
int rkEnableLight(int index);
int rkDisableLight(int index);
int rkAllocLight(rkLight* light);
void rkReleaseLight(rkLight* light);

int rkSetMaterial(const rkMaterial* material);
int rkSetState(uint32_t state, uint32_t value);
int rkApplyState(const rkState* block);
int rkSetTextureStageState(int stage, int setting, int value);
int rkDrawMesh(const rkMesh* mesh);

// Colour: width x height 0xAARRGGBB words; depth: width x height floats (0..1). Top row first.
int rkReadFrame(int flags, void* destination);
// Limits clearing and drawing to a rectangle of the back surface ((x, y) its top left
// corner; no area: the whole surface again). Presenting is limited too: switch it off first.
int rkSetScissor(int x, int y, int width, int height);
// One 0xAARRGGBB pixel of the back surface, (0, 0) being the top left corner; 0 outside it.
int rkReadPixel(int x, int y, uint32_t* colour);

// Description of a device result code.
const char* rkErrorText(uint32_t code);
