#pragma once
// A skeleton's pose at a time of a take: each joint's local matrix relative to its parent
// joint, the nodes between and above the joints (pivots, pre-rotations, the scene's root)
// folded in, and scales left out so that bones stay rigid.
#include <cstdint>
#include <vector>

#include "AnimRead/SceneFileRead/Scene.h"
#include "ZU2/rkNode.h"

namespace tavrel::scenefile {

class POSESAMPLER {
public:
    // joints and parents as a SKELETON holds them.
    POSESAMPLER(const SCENEFILEREAD::SCENE& scene, const std::vector<int32_t>& joints,
                const std::vector<int32_t>& parents);

    // One matrix a joint at ticks of the take, or of the rest pose for none; false when one
    // is no number.
    bool Sample(const SCENEFILEREAD::SCENE::ANIM* take, double ticks, std::vector<rkMatrix>* pose);

private:
    void PlaceNodes(const SCENEFILEREAD::SCENE::ANIM* take, double ticks);

    const SCENEFILEREAD::SCENE& scene_;
    const std::vector<int32_t> joints_, parents_;
    std::vector<bool> needed_;  // the nodes whose matrices reach a joint
    std::vector<aiMatrix4x4> world_, rigid_;
};

}  // namespace tavrel::scenefile
