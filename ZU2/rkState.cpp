#include "ZU2/rkState.h"

const rkState rkDefaultState = {
    .lighting = 1,
    .texturing = 1,
    .shadeMode = 2,  // Gouraud
    .fillMode = 3,   // solid
    .dither = 0,
    .specular = 1,
    .antialias = 0,
    .reserved0 = 2,
    .zEnable = 1,
    .zFunc = 2,  // less
    .alphaBlend = 0,
    .srcBlend = 2,  // one
    .dstBlend = 1,  // zero
    .reserved1 = {0, 0, 8},
    .fogTableMode = 0,
    .fogStart = 0.0f,
    .fogEnd = 1.0f,
    .fogDensity = 100.0f,
    .fogColor = {1.0f, 1.0f, 1.0f, 1.0f},
    .texturePerspective = 1,
    .stage = {{4, 1, 1, 1, 1}, {4, 1, 1, 1, 1}},
};
