#pragma once
// The pose the timeline shows at one frame: the rest pose where no clip lies, motion A's pose,
// or A mixed into B through A's transition curve. The 3D window shows it and bake writes it,
// so both go through this one function.
#include <functional>
#include <memory>
#include <string>

#include "motion/Chtr.h"
#include "motion/MotionManager.h"
#include "timeline/FrameSample.h"

namespace tavrel {

// Called with true before a motion file may be read and with false after it.
using WaitHook = std::function<void(bool)>;

struct SamplePose {
    std::unique_ptr<CHTR> pose;  // none: a named motion gives no pose, or only B is named
    bool rest = false;           // no clip at the frame: the pose is the rest pose
};

// The rest pose comes from restPosePath (Init.chb) through the same cache as the clips.
SamplePose PoseOfSample(CMotionManager& manager, const FrameSample& sample,
                        const std::string& restPosePath, const WaitHook& wait = {});

// Pose `local` of a cached motion file, or none (with a debug line) when it has no such pose.
std::unique_ptr<CHTR> CachedPose(CMotionManager& manager, const std::string& file, int local,
                                 const WaitHook& wait = {});

}  // namespace tavrel
