#pragma once
// The mannequin: one SCN geometry chunk per body segment of the standard skeleton, named
// after the segment and modelled in world space around the rest pose.
#include <string>

#include "tools/assets/ScnWriter.h"

namespace tavrel::assets {

// Height of the floor under the rest pose: the soles of the shoes rest on it. The world's
// ground grid lies at the same height.
constexpr float kGroundZ = 0.0f;
constexpr float kSoleClearance = 2.5f;

// Where the sole touches the floor under the heel and under the toes, in rest-world space.
rkVector HeelPoint(bool left);
rkVector ToePoint(bool left);

// File name (inside the folder of avatar.scx) of the head's picture.
constexpr const char* kFaceTextureFile = "AvatarFace.bmp";

ScnWriter AvatarScene();

}  // namespace tavrel::assets
