#include "AnimRead/StandardSkeleton.h"

#include <cmath>

#include "ZU2/rkMath.h"

namespace tavrel {

const StandardSegment kStandardSkeleton[kStandardSegmentCount] = {
    {"LowerTorso", -1, 173.615f, {1, 0, 0, 0, -0.026f, 1, 0, -1, -0.026f, 0, -14.924f, 998.126f}},
    {"UpperTorso", 0, 220.593f, {1, 0, 0, 0, 0.986f, -0.165f, 0, 0.165f, 0.986f, 0, 173.615f, 0}},
    {"LPelvis",
     0,
     132.739f,
     {-0.391f, -0.910f, 0.137f, 0.913f, -0.402f, -0.065f, 0.115f, 0.100f, 0.988f, 0.502f, 0.713f,
      -6.467f}},
    {"RPelvis",
     0,
     120.855f,
     {-0.418f, 0.898f, -0.138f, -0.900f, -0.430f, -0.075f, -0.127f, 0.093f, 0.988f, 0.502f, 0.713f,
      -6.467f}},
    {"LThigh",
     2,
     399.242f,
     {0.333f, -0.937f, -0.103f, 0.929f, 0.345f, -0.132f, 0.159f, -0.052f, 0.986f, 0, 132.739f, 0}},
    {"RThigh",
     3,
     403.295f,
     {0.390f, 0.910f, 0.140f, -0.905f, 0.407f, -0.123f, -0.168f, -0.079f, 0.983f, 0, 120.855f, 0}},
    {"LLowLeg",
     4,
     450.94f,
     {0.997f, 0.073f, 0.016f, -0.073f, 0.997f, 0.003f, -0.015f, -0.004f, 1.000f, 0, 399.242f, 0}},
    {"RLowLeg",
     5,
     445.968f,
     {0.999f, -0.033f, -0.022f, 0.034f, 0.999f, 0.004f, 0.022f, -0.004f, 1.000f, 0, 403.295f, 0}},
    {"LFoot",
     6,
     171.852f,
     {0.999f, -0.052f, 0.003f, 0.025f, 0.540f, 0.841f, -0.045f, -0.840f, 0.541f, 0, 450.94f, 0}},
    {"RFoot",
     7,
     173.085f,
     {0.999f, 0.041f, -0.022f, -0.003f, 0.539f, 0.842f, 0.047f, -0.841f, 0.538f, 0, 445.968f, 0}},
    {"Neck", 1, 103.514f, {1, 0, 0, 0, 0.949f, 0.315f, 0, -0.315f, 0.949f, 0, 220.593f, 0}},
    {"LCollar",
     10,
     136.839f,
     {-0.324f, -0.889f, 0.324f, 0.916f, -0.380f, -0.128f, 0.237f, 0.255f, 0.937f, -0.181f, 1.315f,
      0.315f}},
    {"RCollar",
     10,
     144.234f,
     {-0.311f, 0.894f, -0.321f, -0.923f, -0.365f, -0.122f, -0.227f, 0.258f, 0.939f, -0.181f, 1.315f,
      0.315f}},
    {"LUpArm",
     11,
     282.178f,
     {0.964f, 0.264f, 0.018f, -0.261f, 0.937f, 0.231f, 0.044f, -0.228f, 0.973f, 0, 136.839f, 0}},
    {"RUpArm",
     12,
     281.135f,
     {0.963f, -0.269f, -0.001f, 0.263f, 0.938f, 0.225f, -0.059f, -0.217f, 0.974f, 0, 144.234f, 0}},
    {"LLowArm",
     13,
     254.473f,
     {0.995f, 0.096f, 0.014f, -0.096f, 0.995f, -0.017f, -0.015f, 0.015f, 1.000f, 0, 282.178f, 0}},
    {"RLowArm",
     14,
     247.716f,
     {0.998f, -0.065f, -0.021f, 0.065f, 0.998f, -0.024f, 0.023f, 0.023f, 0.999f, 0, 281.135f, 0}},
    {"LHand",
     15,
     96.866f,
     {0.998f, -0.065f, -0.006f, 0.065f, 0.998f, -0.016f, 0.008f, 0.016f, 1.000f, 0, 254.473f, 0}},
    {"RHand",
     16,
     91.533f,
     {0.998f, 0.059f, -0.023f, -0.059f, 0.998f, -0.006f, 0.023f, 0.008f, 1.000f, 0, 247.716f, 0}},
    {"Head", 10, 587.42f, {1, 0, 0, 0, 0.992f, -0.128f, 0, 0.128f, 0.992f, 0, 103.514f, 0}},
};

const float FirstStandardSkeleton::kLengths[kStandardSegmentCount] = {
    55.734f, 70.815f, 42.612f, 38.797f, 128.165f, 129.466f, 144.761f, 143.165f, 55.168f, 55.564f,
    33.230f, 43.928f, 46.302f, 90.585f, 90.250f,  81.691f,  79.522f,  31.096f,  29.384f, 188.574f};

bool FirstStandardSkeleton::Matches(const float* lengths, int count) {
    if (count != kStandardSegmentCount) return false;
    for (int i = 0; i < count; ++i) {
        if (!(std::fabs(lengths[i] - kLengths[i]) < 0.01f)) return false;
    }
    return true;
}

float StandardMetresPerUnit() {
    // World positions of the left hip, knee and ankle joints down the rest pose's chain.
    rkVector world[kStandardSegmentCount];
    rkMatrix turns[kStandardSegmentCount];
    for (int i = 0; i < kStandardSegmentCount; ++i) {
        const float* e = kStandardSkeleton[i].pose;
        const rkMatrix local{
            {e[0], e[1], e[2], 0, e[3], e[4], e[5], 0, e[6], e[7], e[8], 0, e[9], e[10], e[11], 1}};
        const int parent = kStandardSkeleton[i].parent;
        turns[i] = local;
        if (parent >= 0) rkMultiply(&turns[i], local, turns[parent]);
        world[i] = rkOrigin(turns[i]);
    }
    const rkVector thigh = world[kLLowLeg] - world[kLThigh];
    const rkVector shin = world[kLFoot] - world[kLLowLeg];
    return 0.85f / (rkLength(thigh) + rkLength(shin));
}

}  // namespace tavrel
