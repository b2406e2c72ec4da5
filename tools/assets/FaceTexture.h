#pragma once
// The picture wrapped round the mannequin's head: hair, eyes, brows, nose, mouth and ears on
// skin, laid out for the head's mapping (u around the head with the face at 0.5, top row at
// the crown).
#include "tools/assets/BmpWriter.h"

namespace tavrel::assets {

struct Colour {
    float r, g, b;
};

constexpr Colour kSkin{0.93f, 0.76f, 0.63f};

Picture FaceTexture(int width = 256, int height = 128);

}  // namespace tavrel::assets
