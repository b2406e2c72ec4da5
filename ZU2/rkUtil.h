#pragma once
// Camera helpers of the kit: the view record a frame starts from, the view and projection
// matrices built from it, and a general 4x4 inverse.
#include <cstdint>

#include "ZU2/rkMath.h"

// What a frame needs to know about its camera.
struct rkView {
    rkVector eye;
    rkVector direction;  // viewing direction, normalised when the view matrix is built
    rkVector up;
    float nearPlane;
    float farPlane;
    float fieldOfView;  // horizontal opening angle in radians
    float aspect;       // viewport height / width
    int32_t viewport[4];  // x, y, width, height in pixels
};

// The view matrix looking from eye along *direction (normalised in place) with up as a hint.
// On failure writes "BuildViewMatrix fail. (source:line)", leaves out as identity and returns
// false; source and line name the caller's file for that report.
bool rkBuildViewMatrix(rkMatrix* out, const rkVector& eye, rkVector* direction,
                       const rkVector& up, const char* source = "ZU2\\rkUtil",
                       int line = __builtin_LINE());

// Perspective projection with depth mapped to 0..1 and w = camera-space z; fieldOfView is
// the horizontal angle and aspect = height / width; pixels stay square at any aspect.
void rkProjectionMatrix(rkMatrix* out, float nearPlane, float farPlane, float fieldOfView,
                        float aspect);

// out = inverse of m; false (out untouched) when m is singular.
bool rkInvert(rkMatrix* out, const rkMatrix& m);
