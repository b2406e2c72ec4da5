#pragma once
// The render-state block a visual may carry, and the light parameters of an rkLight.
#include <cstdint>

#include "ZU2/rkMath.h"

struct rkStageState {
    int32_t blend, minFilter, magFilter, addressU, addressV;
};

struct rkState {
    int32_t lighting;
    int32_t texturing;
    int32_t shadeMode;
    int32_t fillMode;
    int32_t dither;
    int32_t specular;
    int32_t antialias;
    int32_t reserved0;  // kept for the block's layout; not applied
    int32_t zEnable;
    int32_t zFunc;
    int32_t alphaBlend;
    int32_t srcBlend;
    int32_t dstBlend;
    int32_t reserved1[3];  // kept for the block's layout; not applied
    int32_t fogTableMode;
    float fogStart, fogEnd, fogDensity;
    float fogColor[4];
    int32_t texturePerspective;
    rkStageState stage[2];
};

// The block applied after every visual that used its own.
extern const rkState rkDefaultState;

// The 80-byte parameter part of a light.
struct rkLightData {
    int32_t reserved;  // not interpreted
    int32_t type;      // 1 directional, 2 point, 3 spot
    uint32_t flags;    // 16 = changed: the render pass must place the light again
    float diffuse[4];
    rkVector position;
    rkVector direction;
    float attenuation[3];
    float phi;      // spot outer angle
    float theta;    // spot inner angle
    float falloff;  // spot falloff
    int32_t reserved2;
};
static_assert(sizeof(rkLightData) == 80);
