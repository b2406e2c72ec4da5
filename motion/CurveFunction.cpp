#include "motion/CurveFunction.h"

#include <cmath>
#include <cstring>

#include "base/DebugOutput.h"

namespace tavrel {
namespace {

struct Bezier {
    const char* name;
    float p1x, p1y, p2x, p2y;
};

// By index; Linear's control points are unused.
constexpr Bezier kCurves[] = {
    {"Linear", 0.0f, 0.0f, 1.0f, 1.0f},   {"EaseIn", 0.5f, 0.2f, 0.5f, 0.2f},
    {"EaseOut", 0.5f, 0.8f, 0.5f, 0.8f},  {"Curve", 0.5f, 0.0f, 0.5f, 1.0f},
    {"Inertial", 0.0f, 0.0f, 1.0f, 1.0f},
};
static_assert(sizeof(kCurves) / sizeof(kCurves[0]) == kCurveCount);

float CubicAt(float u, float p1, float p2) {
    const float v = 1.0f - u;
    return 3.0f * u * v * v * p1 + 3.0f * u * u * v * p2 + u * u * u;
}

// Finds u with X(u) = x by bisection, then returns Y(u).
float BezierValue(const Bezier& c, float x) {
    float u = x, low = 0.0f, high = 1.0f;
    // The interval halves each step, so float precision is exhausted long before 64 steps.
    for (int step = 0; step < 64; ++step) {
        const float error = CubicAt(u, c.p1x, c.p2x) - x;
        if (std::fabs(error) <= 0.0001f) break;
        if (error <= 0.0f) {
            low = u;
            u = (u + high) / 2.0f;
        } else {
            high = u;
            u = (low + u) / 2.0f;
        }
    }
    return CubicAt(u, c.p1y, c.p2y);
}

}  // namespace

float CCurveFunction::GetValue(const char* name, float x) {
    uint32_t index = 0;
    while (index < kCurveCount && !(name && std::strcmp(name, kCurves[index].name) == 0)) ++index;
    return GetValue(CurveType(index), x);
}

float CCurveFunction::GetValue(CurveType curve, float x) {
    if (!(x >= 0.0f && x <= 1.0f)) {  // also refuses NaN
        DebugOutput("CCurveFunction::GetValue() failed: fInValue not valid.\n");
        return 0.0f;
    }
    if (curve == kCurveLinear) return x;
    if (curve == kCurveInertial) return x * x * (3.0f - 2.0f * x);
    if (curve < kCurveCount) return BezierValue(kCurves[curve], x);
    DebugOutput("CCurveFunction::GetValue() failed: sTypeName not support.\n");
    return 0.0f;
}

}  // namespace tavrel
