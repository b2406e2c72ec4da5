#pragma once
// The sample motion library: short motions on the standard skeleton, each made from
// joint-angle curves over time, then set on the floor.
#include <functional>
#include <string>
#include <vector>

#include "tools/assets/PoseBuilder.h"

namespace tavrel::assets {

// How a motion keeps its feet on the floor (beyond the lowest contact touching it).
enum class Grounding {
    kPlanted,  // whichever contact is lowest stays where it is: no sliding, the body travels
               // by stepping
    kSteady,   // as kPlanted, but the travel is spread evenly over the motion (running)
    kInPlace,  // the root stays over the same spot
};

struct MotionRecipe {
    std::string folder;  // inside the library
    std::string name;    // file name without extension
    std::string extension;
    float seconds;
    Grounding grounding;
    bool seated = false;  // the seat may rest on the floor too
    // Sets the joint angles for time t (seconds) and says how far the figure is off the floor.
    std::function<void(float t, PoseBuilder& pose, float* lift)> pose;
};

constexpr int kMotionFrameRate = 60;  // the timeline's rate: samples play frame for frame

std::vector<MotionRecipe> MotionLibrary();
// Local matrices of every frame, standing on the floor as the motion's grounding says.
std::vector<SkeletonMatrices> BakeMotion(const MotionRecipe& recipe);

}  // namespace tavrel::assets
