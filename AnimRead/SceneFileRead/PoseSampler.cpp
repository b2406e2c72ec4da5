#include "AnimRead/SceneFileRead/PoseSampler.h"

namespace tavrel::scenefile {
namespace {

rkMatrix ToRk(const aiMatrix4x4& m) {
    // Assimp's matrices take column vectors, ours row vectors: one is the other transposed.
    rkMatrix out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out.m[r * 4 + c] = m[c][r];
    }
    return out;
}

// The matrix without its scale: a rotation and the position.
aiMatrix4x4 Rigid(const aiMatrix4x4& m) {
    aiVector3D scale, position;
    aiQuaternion rotation;
    m.Decompose(scale, rotation, position);
    rotation.Normalize();
    return aiMatrix4x4(aiVector3D(1, 1, 1), rotation, position);
}

const TRACK* TrackOf(const SCENEFILEREAD::SCENE::ANIM* take, int32_t node) {
    if (!take) return nullptr;
    const auto found = take->tracks.find(node);
    return found == take->tracks.end() ? nullptr : &found->second;
}

}  // namespace

POSESAMPLER::POSESAMPLER(const SCENEFILEREAD::SCENE& scene, const std::vector<int32_t>& joints,
                         const std::vector<int32_t>& parents)
    : scene_(scene),
      joints_(joints),
      parents_(parents),
      needed_(scene.nodes.size(), false),
      world_(scene.nodes.size()),
      rigid_(joints.size()) {
    // The joints and everything above them.
    for (int32_t j : joints) {
        for (int32_t at = j; at >= 0 && !needed_[size_t(at)]; at = scene.nodes[size_t(at)].parent)
            needed_[size_t(at)] = true;
    }
}

bool POSESAMPLER::Sample(const SCENEFILEREAD::SCENE::ANIM* take, double ticks,
                         std::vector<rkMatrix>* pose) {
    PlaceNodes(take, ticks);
    for (size_t s = 0; s < joints_.size(); ++s) {
        rigid_[s] = Rigid(world_[size_t(joints_[s])]);
        const int32_t parent = parents_[s];
        const aiMatrix4x4 local =
            parent >= 0 ? aiMatrix4x4(rigid_[size_t(parent)]).Inverse() * rigid_[s] : rigid_[s];
        if (!Finite(local)) return false;
        (*pose)[s] = ToRk(local);
    }
    return true;
}

// The world matrices of the needed nodes; parents come before their children.
void POSESAMPLER::PlaceNodes(const SCENEFILEREAD::SCENE::ANIM* take, double ticks) {
    for (size_t i = 0; i < needed_.size(); ++i) {
        if (!needed_[i]) continue;
        const SCENEFILEREAD::SCENE::NODE& node = scene_.nodes[i];
        aiMatrix4x4 local = node.local;
        if (const TRACK* track = TrackOf(take, int32_t(i)))
            local = track->LocalAt(ticks, node.scale, node.rotation, node.position);
        world_[i] = node.parent >= 0 ? world_[size_t(node.parent)] * local : local;
    }
}

}  // namespace tavrel::scenefile
