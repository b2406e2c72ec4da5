#pragma once
// Bake: the whole timeline written as one motion file, frame for frame as playback shows it
// (the poses of the one evaluation; the rest pose where no clip lies; the previous pose where a
// frame's motions give none), at the timeline's 60 frames a second.
#include <functional>
#include <string>

#include "compose/PoseEvaluator.h"
#include "motion/MotionManager.h"
#include "timeline/TimelineProject.h"

namespace tavrel {

struct BakeOutcome {
    bool ok = false;
    int frames = 0;
    std::string error;  // why nothing was written; empty when ok or cancelled
    bool cancelled = false;
};

// What a glTF file carries: the avatar's body as a skin on the skeleton, or the skeleton alone.
enum class GltfFigure { kSkinnedAvatar, kBareSkeleton };

// Called after each frame with the frames done and the total; false cancels.
using BakeProgress = std::function<bool(int done, int total)>;

// Writes frames 0 to the timeline's last frame to outPath (.cha, .chb, .bvh, or glTF: .glb or
// .gltf) under a temporary name that is renamed at the end: the target is untouched unless all
// went well. Refuses an output that is the project file or one of the files it plays. glTF
// files are in metres with the 3D window's ground at zero, bound in the rest pose of
// restPosePath; the avatar's body comes from avatar.scx beside it.
BakeOutcome BakeTimeline(const CTimelineProject& project, CMotionManager& manager,
                         const std::string& restPosePath, const std::string& outPath,
                         const BakeProgress& progress = {}, MixMode mode = MixMode::kHoldFeet,
                         GltfFigure figure = GltfFigure::kSkinnedAvatar);

// Whether path names the project file or a file the project plays (its copy in the working
// folder or the original beside the project file).
bool IsProjectInput(const CTimelineProject& project, const std::string& path);

}  // namespace tavrel
