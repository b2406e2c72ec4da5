#pragma once
// Where a motion's feet are planted: runs of frames in which a foot is low and still. Found
// once per motion from its poses, with thresholds scaled to the figure's leg, and kept with the
// motion so that a frame's evaluation only looks them up.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "ZU2/rkNode.h"
#include "motion/Legs.h"

namespace tavrel {

// An inclusive run of frames (counted from 0) in which one foot is planted.
struct FootPlant {
    int32_t first = 0;
    int32_t last = 0;
    bool operator==(const FootPlant&) const = default;
};

class FootContacts {
public:
    // Seconds over which a lock eases in after a plant begins and out before it ends: a few
    // frames, whatever the rate the motion is made at.
    static constexpr float kEaseSeconds = 0.133f;
    // The rate the timeline's motions are made at, the rate assumed when none is given.
    static constexpr float kDefaultRate = 60.0f;

    FootContacts() = default;
    FootContacts(std::array<std::vector<FootPlant>, 2> plants, int frameCount,
                 float fps = kDefaultRate, float largestAnkleStep = kNoStep,
                 float largestJointStep = kNoStep);

    const std::vector<FootPlant>& Plants(int side) const { return plants_[side & 1]; }
    int FrameCount() const { return frameCount_; }
    // The plant of the foot containing the frame, or null.
    const FootPlant* PlantAt(int side, int frame) const;
    // How firmly the foot is held at the frame: 0 free, 1 planted, easing in between near a
    // plant's ends. A plant that touches the motion's first or last frame is held there in full.
    float LockWeight(int side, int frame) const;
    // The furthest an ankle moves from one frame to the next in the motion: a held foot moves
    // no faster. kNoStep when not known.
    float LargestAnkleStep() const { return largestAnkleStep_; }
    // The furthest any joint moves from one frame to the next; kNoStep when not known.
    float LargestJointStep() const { return largestJointStep_; }
    static constexpr float kNoStep = -1.0f;

private:
    std::array<std::vector<FootPlant>, 2> plants_;
    int frameCount_ = 0;
    int easeFrames_ = 1;
    float largestAnkleStep_ = kNoStep;
    float largestJointStep_ = kNoStep;
};

// The whole frames that last about `seconds` at `fps`, at least one.
int FramesOf(float seconds, float fps);

// The pose of frame i (0 to count - 1), or null when the motion has none.
using PoseAt = std::function<const rkNode*(int)>;

// The plants of a motion of `count` frames made at `fps`. A figure without the standard legs
// has none.
FootContacts FindFootContacts(int count, const PoseAt& poseAt,
                              float fps = FootContacts::kDefaultRate);

}  // namespace tavrel
