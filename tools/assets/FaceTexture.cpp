#include "tools/assets/FaceTexture.h"

#include <algorithm>
#include <cmath>

namespace tavrel::assets {
namespace {

constexpr Colour kHair{0.26f, 0.16f, 0.10f};
constexpr Colour kEyeWhite{0.97f, 0.97f, 0.95f};
constexpr Colour kIris{0.20f, 0.32f, 0.50f};
constexpr Colour kPupil{0.05f, 0.05f, 0.06f};
constexpr Colour kLip{0.72f, 0.32f, 0.30f};
constexpr Colour kShade{0.80f, 0.60f, 0.48f};

// Inside an ellipse about (cu, cv) with half-axes (ru, rv), in texture units.
bool InEllipse(float u, float v, float cu, float cv, float ru, float rv) {
    const float du = (u - cu) / ru, dv = (v - cv) / rv;
    return du * du + dv * dv <= 1.0f;
}

// The colour at (u, v): u around the head (face at 0.5), v down from the crown (0) to the
// chin (1).
Colour Sample(float u, float v) {
    const float front = std::abs(u - 0.5f);  // 0 at the face centre, 0.5 at the back
    // Hair: the crown, and down to the nape at the back, framing the face.
    const float hairline = 0.30f + 0.42f * std::clamp((front - 0.14f) / 0.2f, 0.0f, 1.0f);
    if (v < hairline) return kHair;
    for (float side : {-1.0f, 1.0f}) {
        const float eu = 0.5f + side * 0.058f;
        if (InEllipse(u, v, eu, 0.435f, 0.030f, 0.014f)) return kHair;  // brow
        if (InEllipse(u, v, eu, 0.50f, 0.028f, 0.045f)) {
            if (InEllipse(u, v, eu, 0.505f, 0.008f, 0.018f)) return kPupil;
            if (InEllipse(u, v, eu, 0.505f, 0.015f, 0.032f)) return kIris;
            return kEyeWhite;
        }
        if (InEllipse(u, v, 0.5f + side * 0.25f, 0.53f, 0.022f, 0.09f)) return kShade;  // ear
    }
    if (InEllipse(u, v, 0.5f, 0.60f, 0.016f, 0.06f) && u > 0.5f) return kShade;  // nose side
    if (InEllipse(u, v, 0.5f, 0.715f, 0.055f, 0.018f)) return kLip;
    return kSkin;
}

}  // namespace

Picture FaceTexture(int width, int height) {
    Picture picture(width, height);
    constexpr int kSub = 4;  // samples per pixel edge, for smooth outlines
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Colour sum{0, 0, 0};
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const Colour c =
                        Sample((x + (sx + 0.5f) / kSub) / width, (y + (sy + 0.5f) / kSub) / height);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            }
            uint8_t* p = picture.At(x, y);
            const float n = kSub * kSub;
            p[0] = static_cast<uint8_t>(std::lround(sum.r / n * 255));
            p[1] = static_cast<uint8_t>(std::lround(sum.g / n * 255));
            p[2] = static_cast<uint8_t>(std::lround(sum.b / n * 255));
        }
    }
    return picture;
}

}  // namespace tavrel::assets
