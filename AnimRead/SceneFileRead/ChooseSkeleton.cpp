#include "AnimRead/SceneFileRead/ChooseSkeleton.h"

#include <algorithm>
#include <string>
#include <utility>

#include "AnimRead/SceneFileRead/Scene.h"

namespace tavrel::scenefile {
namespace {

using SCENE = SCENEFILEREAD::SCENE;

// Bones of meshes and animated nodes, but no helper.
std::vector<bool> KeyNodes(const SCENE& scene) {
    std::vector<bool> in(scene.nodes.size(), false);
    for (size_t i = 0; i < in.size(); ++i) in[i] = scene.nodes[i].bone;
    for (const auto& anim : scene.anims) {
        for (const auto& [node, track] : anim.tracks) in[size_t(node)] = !scene.nodes[node].helper;
    }
    return in;
}

// Nodes between two joints join them.
void JoinBetween(const SCENE& scene, std::vector<bool>& in) {
    std::vector<int32_t> path;
    for (size_t i = 0; i < in.size(); ++i) {
        if (!in[i]) continue;
        path.clear();
        for (int32_t at = scene.nodes[i].parent; at >= 0; at = scene.nodes[at].parent) {
            if (in[at]) {
                for (int32_t p : path) in[size_t(p)] = !scene.nodes[p].helper;
                break;
            }
            path.push_back(at);
        }
    }
}

// Nodes below a joint (ends, fingers without keys) belong to it; parents come first.
void AddEnds(const SCENE& scene, std::vector<bool>& in) {
    for (size_t i = 0; i < in.size(); ++i) {
        const auto& node = scene.nodes[i];
        if (in[i] || node.parent < 0 || node.helper || node.mesh) continue;
        for (int32_t at = node.parent; at >= 0; at = scene.nodes[at].parent) {
            if (in[at]) {
                in[i] = true;
                break;
            }
            if (!scene.nodes[at].helper) break;
        }
    }
}

// The nearest ancestor that is a joint, or -1.
int32_t JointParent(const SCENE& scene, const std::vector<bool>& in, int32_t node) {
    for (int32_t at = scene.nodes[node].parent; at >= 0; at = scene.nodes[at].parent) {
        if (in[at]) return at;
    }
    return -1;
}

// The scene's skeletons: per node the top joint of its skeleton (-1 for no joint), the tops.
struct SKELETONS {
    std::vector<bool> in;
    std::vector<int32_t> top, roots;

    explicit SKELETONS(const SCENE& scene) : in(KeyNodes(scene)), top(in.size(), -1) {
        JoinBetween(scene, in);
        AddEnds(scene, in);
        for (int32_t i = 0; i < int32_t(in.size()); ++i) {
            if (!in[size_t(i)]) continue;
            const int32_t parent = JointParent(scene, in, i);
            top[size_t(i)] = parent >= 0 ? top[size_t(parent)] : i;
            if (parent < 0) roots.push_back(i);
        }
    }
    // The joints of the skeleton under root, parents first.
    std::vector<int32_t> Joints(int32_t root) const {
        std::vector<int32_t> joints;
        for (int32_t i = root; i < int32_t(top.size()); ++i) {
            if (top[size_t(i)] == root) joints.push_back(i);
        }
        return joints;
    }
};

}  // namespace

SKELETON ChooseSkeleton(const SCENE& scene, SCENEFILEREAD::SkeletonScore score) {
    const SKELETONS skeletons(scene);
    if (skeletons.roots.empty())
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "no skeleton: no bones and no animated nodes");
    SKELETON chosen;
    std::pair<int, size_t> best{-1, 0};
    for (int32_t root : skeletons.roots) {
        std::vector<int32_t> joints = skeletons.Joints(root);
        std::vector<std::string> names;
        for (int32_t j : joints) names.push_back(scene.nodes[size_t(j)].name);
        if (names.size() > 1) ++chosen.count;
        const std::pair<int, size_t> rating{score ? score(names) : 0, names.size()};
        if (chosen.joints.empty() || rating > best)
            chosen.joints = std::move(joints), best = rating;
    }
    chosen.count = std::max(chosen.count, 1);
    std::vector<int32_t> jointOf(scene.nodes.size(), -1);
    for (size_t s = 0; s < chosen.joints.size(); ++s) {
        jointOf[size_t(chosen.joints[s])] = int32_t(s);
        const int32_t parent = s == 0 ? -1 : JointParent(scene, skeletons.in, chosen.joints[s]);
        chosen.parents.push_back(parent < 0 ? -1 : jointOf[size_t(parent)]);
    }
    return chosen;
}

}  // namespace tavrel::scenefile
