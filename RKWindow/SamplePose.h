#pragma once
// The pose the timeline shows at one frame: the rest pose where no clip lies, motion A's pose,
// or A mixed into B through A's transition curve. Each clip's motion stands where its place
// puts it, and through a mix the feet its clips have planted stay where they are. The 3D
// window shows it, bake and video write it, so all go through this one function.
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

// How clips are mixed: kPlain mixes the motions as they were captured, without places or held
// feet (for comparison).
enum class MixMode { kHoldFeet, kPlain };

// The rest pose comes from restPosePath (Init.chb) through the same cache as the clips.
SamplePose PoseOfSample(CMotionManager& manager, const FrameSample& sample,
                        const std::string& restPosePath, const WaitHook& wait = {},
                        MixMode mode = MixMode::kHoldFeet);

// Pose `local` of a cached motion file, or none (with a debug line) when it has no such pose.
std::unique_ptr<CHTR> CachedPose(CMotionManager& manager, const std::string& file, int local,
                                 const WaitHook& wait = {});

}  // namespace tavrel
