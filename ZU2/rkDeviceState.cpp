// Render states, texture stage settings and the render-state block of a visual, mapped onto
// GL state and the shader's uniforms.
#include <algorithm>
#include <bit>
#include <cmath>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkMessage.h"

namespace {

constexpr const char* kSource = "ZU2\\rkDeviceState";

#define RK_CHECK() _rkCheckGL(kSource, __LINE__)

rkDevice* Current(const char* operation) { return _rkCurrent(operation); }

void ReportCode(uint32_t code, int line) { _rkReportCode(code, kSource, line); }

GLenum CompareFunction(uint32_t value) {
    static const GLenum kFunctions[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                        GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return value >= 1 && value <= 8 ? kFunctions[value - 1] : GL_NONE;
}

GLenum BlendFactor(uint32_t value) {
    static const GLenum kFactors[] = {GL_ZERO,
                                      GL_ONE,
                                      GL_SRC_COLOR,
                                      GL_ONE_MINUS_SRC_COLOR,
                                      GL_SRC_ALPHA,
                                      GL_ONE_MINUS_SRC_ALPHA,
                                      GL_DST_ALPHA,
                                      GL_ONE_MINUS_DST_ALPHA,
                                      GL_DST_COLOR,
                                      GL_ONE_MINUS_DST_COLOR,
                                      GL_SRC_ALPHA_SATURATE};
    return value >= 1 && value <= 11 ? kFactors[value - 1] : GL_NONE;
}

// Source and destination factors as set; the two "both" factors set the pair at once.
bool SetBlend(rkDeviceGL* gl, uint32_t state, uint32_t value) {
    if (value < 1 || value > 13) return false;
    (state == RK_RS_SRCBLEND ? gl->srcBlend : gl->dstBlend) = static_cast<int32_t>(value);
    GLenum s = BlendFactor(gl->srcBlend), d = BlendFactor(gl->dstBlend);
    if (gl->srcBlend == 12) s = GL_SRC_ALPHA, d = GL_ONE_MINUS_SRC_ALPHA;
    if (gl->srcBlend == 13) s = GL_ONE_MINUS_SRC_ALPHA, d = GL_SRC_ALPHA;
    glBlendFunc(s == GL_NONE ? GL_ONE : s, d == GL_NONE ? GL_ZERO : d);
    return true;
}

bool SetCull(uint32_t value) {
    // Both keep x to the right with y down (kit) or up (GL) as the picture is seen, so a
    // triangle clockwise on the kit's screen is clockwise in GL's window too: GL's back face.
    switch (value) {
        case 1:
            glDisable(GL_CULL_FACE);
            return true;
        case 2:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            return true;
        case 3:
            glEnable(GL_CULL_FACE);
            glCullFace(GL_FRONT);
            return true;
        default:
            return false;
    }
}

bool SetFillMode(uint32_t value) {
    static const GLenum kModes[] = {GL_POINT, GL_LINE, GL_FILL};
    if (value < 1 || value > 3) return false;
    glPolygonMode(GL_FRONT_AND_BACK, kModes[value - 1]);
    return true;
}

// Applies one classic render state; false for a state or value the device does not know.
bool ApplyRenderState(rkDevice* device, uint32_t state, uint32_t value) {
    rkDeviceGL* gl = device->gl;
    rkShaderState& s = gl->shader;
    const float f = std::bit_cast<float>(value);
    switch (state) {
        case RK_RS_ANTIALIAS:
        case RK_RS_TEXTUREPERSPECTIVE:
        case RK_RS_NORMALIZENORMALS:
        case RK_RS_COLORVERTEX:
            return true;  // normals are always normalised, perspective always correct
        case RK_RS_DITHERENABLE:
            value ? glEnable(GL_DITHER) : glDisable(GL_DITHER);
            return true;
        case RK_RS_ZENABLE:
            if (value > 2) return false;
            value ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
            return true;
        case RK_RS_ZWRITEENABLE:
            gl->zWrite = value != 0;
            glDepthMask(value ? GL_TRUE : GL_FALSE);
            return true;
        case RK_RS_ZFUNC:
            if (CompareFunction(value) == GL_NONE) return false;
            glDepthFunc(CompareFunction(value));
            return true;
        case RK_RS_FILLMODE:
            return SetFillMode(value);
        case RK_RS_SHADEMODE:
            if (value < 1 || value > 3) return false;
            s.flat = value == 1;
            break;
        case RK_RS_CULLMODE:
            return SetCull(value);
        case RK_RS_SRCBLEND:
        case RK_RS_DESTBLEND:
            return SetBlend(gl, state, value);
        case RK_RS_ALPHABLENDENABLE:
            value ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
            return true;
        case RK_RS_ALPHATESTENABLE:
            s.alphaTest = value != 0;
            break;
        case RK_RS_ALPHAFUNC:
            if (CompareFunction(value) == GL_NONE) return false;
            s.alphaFunc = static_cast<int32_t>(value);
            break;
        case RK_RS_ALPHAREF:
            s.alphaRef = value;
            break;
        case RK_RS_FOGENABLE:
            s.fogEnable = value != 0;
            break;
        case RK_RS_FOGTABLEMODE:
            if (value > 3) return false;
            s.fogMode = static_cast<int32_t>(value);
            break;
        case RK_RS_FOGCOLOR:
            s.fogColour = value;
            break;
        case RK_RS_FOGSTART:
            s.fogStart = f;
            break;
        case RK_RS_FOGEND:
            s.fogEnd = f;
            break;
        case RK_RS_FOGDENSITY:
            s.fogDensity = f;
            break;
        case RK_RS_SPECULARENABLE:
            s.specular = value != 0;
            break;
        case RK_RS_LIGHTING:
            s.lighting = value != 0;
            break;
        case RK_RS_AMBIENT:
            s.ambient = value;
            break;
        default:
            return false;
    }
    gl->dirty |= RK_DIRTY_STATES;
    return true;
}

// Remembers a state GL's context keeps, for _rkRestoreContextStates.
void RememberContextState(rkDeviceGL* gl, uint32_t state, uint32_t value) {
    for (int i = 0; i < kRkContextStateCount; ++i) {
        if (kRkContextStates[i] != state) continue;
        gl->contextStates[i] = value;
        gl->contextStatesSet |= 1u << i;
    }
}

}  // namespace

void _rkRestoreContextStates(rkDevice* device) {
    rkDeviceGL* gl = device->gl;
    for (int i = 0; i < kRkContextStateCount; ++i) {
        if (gl->contextStatesSet & (1u << i)) {
            ApplyRenderState(device, kRkContextStates[i], gl->contextStates[i]);
        }
    }
    if (gl->scissor[2] > 0) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(gl->scissor[0], gl->scissor[1], gl->scissor[2], gl->scissor[3]);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
}

int rkSetState(uint32_t state, uint32_t value) {
    rkDevice* device = Current("rkSetState");
    if (!device) return 0;
    if (state == RK_STATE_TEXTURING) {
        device->texturingOn = static_cast<int32_t>(value);
        return 1;
    }
    if (state == RK_STATE_LIGHTING) {
        // Lighting off means the vertex colours show; on means the material does.
        device->lightingOn = static_cast<int32_t>(value);
        device->gl->shader.lighting = value != 0;
        device->gl->dirty |= RK_DIRTY_STATES;
        return 1;
    }
    if (!ApplyRenderState(device, state, value) || !_rkCheckGL(kSource, __LINE__)) {
        rkMessage("SetState FAIL! state=%d(%x) value=%d(%x) : %s", static_cast<int>(state), state,
                  static_cast<int>(value), value, rkErrorText(GL_INVALID_ENUM));
        return 0;
    }
    RememberContextState(device->gl, state, value);
    return 1;
}

int rkApplyState(const rkState* block) {
    if (!block) {
        rkMessage("Invalid parameters (rkApplyState).");
        return 0;
    }
    const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    const auto bits = [](float v) { return std::bit_cast<uint32_t>(v); };
    int ok = 1;
    ok &= rkSetState(RK_STATE_LIGHTING, u(block->lighting));
    ok &= rkSetState(RK_STATE_TEXTURING, u(block->texturing));
    ok &= rkSetState(RK_RS_SHADEMODE, u(block->shadeMode));
    ok &= rkSetState(RK_RS_FILLMODE, u(block->fillMode));
    ok &= rkSetState(RK_RS_DITHERENABLE, u(block->dither));
    ok &= rkSetState(RK_RS_ANTIALIAS, u(block->antialias));
    ok &= rkSetState(RK_RS_SPECULARENABLE, u(block->specular));
    ok &= rkSetState(RK_RS_TEXTUREPERSPECTIVE, u(block->texturePerspective));
    ok &= rkSetState(RK_RS_ZENABLE, u(block->zEnable));
    ok &= rkSetState(RK_RS_ZFUNC, u(block->zFunc));
    if (block->fogTableMode != 0) {
        const auto channel = [&](int i) {
            return static_cast<uint32_t>(std::lround(std::clamp(block->fogColor[i], 0.0f, 1.0f) * 255));
        };
        ok &= rkSetState(RK_RS_FOGENABLE, 1);
        ok &= rkSetState(RK_RS_FOGTABLEMODE, u(block->fogTableMode));
        ok &= rkSetState(RK_RS_FOGCOLOR,
                         channel(3) << 24 | channel(0) << 16 | channel(1) << 8 | channel(2));
        ok &= rkSetState(RK_RS_FOGSTART, bits(block->fogStart));
        ok &= rkSetState(RK_RS_FOGEND, bits(block->fogEnd));
        ok &= rkSetState(RK_RS_FOGDENSITY, bits(block->fogDensity));
    } else {
        ok &= rkSetState(RK_RS_FOGENABLE, 0);
    }
    if (block->alphaBlend) {
        ok &= rkSetState(RK_RS_ALPHABLENDENABLE, 1);
        ok &= rkSetState(RK_RS_SRCBLEND, u(block->srcBlend));
        ok &= rkSetState(RK_RS_DESTBLEND, u(block->dstBlend));
    } else {
        ok &= rkSetState(RK_RS_ALPHABLENDENABLE, 0);
    }
    for (int s = 0; s < kRkStages; ++s) {
        const rkStageState& stage = block->stage[s];
        ok &= rkSetTextureStageState(s, RK_STAGE_BLEND, stage.blend);
        ok &= rkSetTextureStageState(s, RK_STAGE_MINFILTER, stage.minFilter);
        ok &= rkSetTextureStageState(s, RK_STAGE_MAGFILTER, stage.magFilter);
        ok &= rkSetTextureStageState(s, RK_STAGE_ADDRESSU, stage.addressU);
        ok &= rkSetTextureStageState(s, RK_STAGE_ADDRESSV, stage.addressV);
    }
    return ok;
}

int rkSetTextureStageState(int stage, int setting, int value) {
    if (stage < 0 || stage >= kRkStages) {
        rkMessage("Invalid parameters (rkSetTextureStageState).");
        return 0;
    }
    rkDevice* device = Current("rkSetTextureStageState");
    if (!device) return 0;
    rkDeviceGL* gl = device->gl;
    const GLuint sampler = gl->samplers[stage];
    static const GLenum kMinFilters[] = {GL_NEAREST,
                                         GL_LINEAR,
                                         GL_NEAREST_MIPMAP_NEAREST,
                                         GL_LINEAR_MIPMAP_NEAREST,
                                         GL_NEAREST_MIPMAP_LINEAR,
                                         GL_LINEAR_MIPMAP_LINEAR};
    static const GLenum kAddress[] = {GL_REPEAT, GL_MIRRORED_REPEAT, GL_CLAMP_TO_EDGE,
                                      GL_CLAMP_TO_BORDER};
    bool known = true;
    switch (setting) {
        case RK_STAGE_BLEND:
            known = value >= 1 && value <= 24;
            if (known) gl->shader.stageOp[stage] = value;
            gl->dirty |= RK_DIRTY_STATES;
            break;
        case RK_STAGE_MAGFILTER:  // cubic and anisotropic filters fall back to linear
            known = value >= 1 && value <= 5;
            if (known) glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, value == 1 ? GL_NEAREST : GL_LINEAR);
            break;
        case RK_STAGE_MINFILTER:
            known = value >= 1 && value <= 6;
            if (known) glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, kMinFilters[value - 1]);
            break;
        case RK_STAGE_ADDRESSU:
        case RK_STAGE_ADDRESSV:
            known = value >= 1 && value <= 4;
            if (known) {
                glSamplerParameteri(sampler, setting == RK_STAGE_ADDRESSU ? GL_TEXTURE_WRAP_S : GL_TEXTURE_WRAP_T,
                                    kAddress[value - 1]);
            }
            break;
        default:
            known = false;
    }
    if (!known) {
        ReportCode(GL_INVALID_ENUM, __LINE__);
        return 0;
    }
    return RK_CHECK() ? 1 : 0;
}

