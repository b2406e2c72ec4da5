#pragma once
// Which of a scene's skeletons the motion is read on: the joints are the bones of meshes, the
// animated nodes, the nodes that join them and the nodes that hang below them, but no helper
// and no mesh; of the skeletons they make, the one rated best, then the largest, is taken.
#include <cstdint>
#include <vector>

#include "AnimRead/SceneFileRead/SceneFileRead.h"

namespace tavrel::scenefile {

struct SKELETON {
    std::vector<int32_t> joints;   // the scene's nodes, parents first, the root first of all
    std::vector<int32_t> parents;  // each joint's parent among the joints, -1 for the root
    int32_t count = 0;             // the scene's skeletons of more than one joint, at least 1
};

// Raises ERROBJ code 5 for a scene without bones and animated nodes.
SKELETON ChooseSkeleton(const SCENEFILEREAD::SCENE& scene, SCENEFILEREAD::SkeletonScore score);

}  // namespace tavrel::scenefile
