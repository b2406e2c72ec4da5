#include "AnimRead/SceneFileRead/SceneFileRead.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "AnimRead/SceneFileRead/FollowCollada.h"
#include "AnimRead/SceneFileRead/FollowFbx.h"
#include "AnimRead/SceneFileRead/FollowGltf.h"
#include "AnimRead/SceneFileRead/Imported.h"
#include "AnimRead/SceneFileRead/Printable.h"
#include "AnimRead/SceneFileRead/Scene.h"

namespace {

using namespace tavrel::scenefile;
using SCENE = SCENEFILEREAD::SCENE;

rkMatrix ToRk(const aiMatrix4x4& m) {
    // Assimp's matrices take column vectors, ours row vectors: one is the other transposed.
    rkMatrix out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out.m[r * 4 + c] = m[c][r];
    }
    return out;
}

// The matrix without its scale: a rotation and the position, so that bones stay rigid.
aiMatrix4x4 Rigid(const aiMatrix4x4& m) {
    aiVector3D scale, position;
    aiQuaternion rotation;
    m.Decompose(scale, rotation, position);
    rotation.Normalize();
    return aiMatrix4x4(aiVector3D(1, 1, 1), rotation, position);
}

// The joints a scene's skeletons are made of: bones of meshes, animated nodes, the nodes that
// join them and the nodes that hang below them, but no helper and no mesh.
std::vector<bool> SkeletonNodes(const SCENE& scene) {
    const size_t n = scene.nodes.size();
    std::vector<bool> in(n, false);
    for (size_t i = 0; i < n; ++i) in[i] = scene.nodes[i].bone;
    for (const auto& anim : scene.anims) {
        for (const auto& [node, track] : anim.tracks) in[node] = !scene.nodes[node].helper;
    }
    // Nodes between two joints join them.
    std::vector<int32_t> path;
    for (size_t i = 0; i < n; ++i) {
        if (!in[i]) continue;
        path.clear();
        for (int32_t at = scene.nodes[i].parent; at >= 0; at = scene.nodes[at].parent) {
            if (in[at]) {
                for (int32_t p : path) in[p] = !scene.nodes[p].helper;
                break;
            }
            path.push_back(at);
        }
    }
    // Nodes below a joint (ends, fingers without keys) belong to it; parents come first.
    for (size_t i = 0; i < n; ++i) {
        const auto& node = scene.nodes[i];
        if (!in[i] && node.parent >= 0 && !node.helper && !node.mesh) {
            for (int32_t at = node.parent; at >= 0; at = scene.nodes[at].parent) {
                if (in[at]) {
                    in[i] = true;
                    break;
                }
                if (!scene.nodes[at].helper) break;
            }
        }
    }
    return in;
}

// The nearest ancestor that is a joint, or -1.
int32_t JointParent(const SCENE& scene, const std::vector<bool>& in, int32_t node) {
    for (int32_t at = scene.nodes[node].parent; at >= 0; at = scene.nodes[at].parent) {
        if (in[at]) return at;
    }
    return -1;
}

// Each format's repairs of what its importer forgets or mistakes, read from the file itself.
void FollowFile(SCENE& scene, const IMPORTED& imported, const char* path) {
    const std::string& extension = imported.Extension();
    if (extension == "gltf" || extension == "glb") FollowGltf(scene, path, extension == "glb");
    if (extension == "dae") FollowCollada(scene, path);
    if (extension == "fbx") FollowFbx(scene, path);
}

}  // namespace

SCENEFILEREAD::SCENEFILEREAD(const char* path, const std::string& take, SkeletonScore score) {
    SetPath(path);
    const IMPORTED imported(path);
    try {
        SCENE scene(imported.Scene());
        FollowFile(scene, imported, path);
        Build(scene, take, score);
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
}

SCENEFILEREAD::SCENEFILEREAD(const aiScene& scene, const std::string& take, SkeletonScore score) {
    try {
        Build(SCENE(scene), take, score);
    } catch (const std::bad_alloc&) {
        THROW_ERROBJ(ERR_MEMORY);
    } catch (const std::length_error&) {
        THROW_ERROBJ(ERR_MEMORY);
    }
}

std::vector<SCENEFILEREAD::TAKE> SCENEFILEREAD::ListTakes(const char* path) {
    const IMPORTED imported(path);
    SCENE scene(imported.Scene());
    if (imported.Extension() == "dae") FollowCollada(scene, path);
    if (scene.anims.empty()) THROW_ERROBJ(ERR_NOT_SUPPORTED, "no animation: the file holds no take");
    std::vector<TAKE> takes;
    for (const auto& anim : scene.anims) takes.push_back(anim.take);
    return takes;
}

void SCENEFILEREAD::Build(const SCENE& scene, const std::string& take, SkeletonScore score) {
    const std::vector<bool> in = SkeletonNodes(scene);
    const auto n = static_cast<int32_t>(scene.nodes.size());
    // Each joint's skeleton is named by its top joint; parents come first.
    std::vector<int32_t> top(n, -1);
    std::vector<int32_t> roots;
    for (int32_t i = 0; i < n; ++i) {
        if (!in[i]) continue;
        const int32_t parent = JointParent(scene, in, i);
        top[i] = parent >= 0 ? top[parent] : i;
        if (parent < 0) roots.push_back(i);
    }
    if (roots.empty())
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "no skeleton: no bones and no animated nodes");
    if (scene.anims.empty()) THROW_ERROBJ(ERR_NOT_SUPPORTED, "no animation: the file holds no take");

    // The skeleton rated best, then the largest.
    int32_t chosen = -1;
    std::pair<int, size_t> best{-1, 0};
    for (int32_t root : roots) {
        std::vector<std::string> names;
        for (int32_t i = root; i < n; ++i) {
            if (top[i] == root) names.push_back(scene.nodes[i].name);
        }
        if (names.size() > 1) ++skeletonCount_;
        const std::pair<int, size_t> rating{score ? score(names) : 0, names.size()};
        if (chosen < 0 || rating > best) chosen = root, best = rating;
    }
    skeletonCount_ = std::max(skeletonCount_, 1);
    skeletonRoot_ = scene.nodes[chosen].name;
    if (best.second > static_cast<size_t>(kMaxJoints))
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "more than %d joints", kMaxJoints);

    for (const auto& anim : scene.anims) takes_.push_back(anim.take);
    if (!take.empty()) {
        const auto found = std::find_if(takes_.begin(), takes_.end(),
                                        [&](const TAKE& t) { return t.name == take; });
        if (found == takes_.end())
            THROW_ERROBJ(ERR_NOT_SUPPORTED, "no take named %s", Printable(take).c_str());
        take_ = static_cast<size_t>(found - takes_.begin());
    }
    const SCENE::ANIM& anim = scene.anims[take_];
    const char* takeName = anim.take.name.c_str();
    if (!anim.badKey.empty())
        THROW_ERROBJ(ERR_CORRUPTED, "take %s: a key of %s is not a number", takeName, anim.badKey.c_str());
    if (!(anim.take.seconds > 0))
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "take %s has no length", takeName);
    const double frames = std::floor(anim.take.seconds * kSampleRate + 1e-6) + 1;
    if (frames > kMaxFrames ||
        frames * static_cast<double>(best.second) > static_cast<double>(kMaxMatrices))
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "take %s is too long: %.0f s of %zu joints", takeName,
                     anim.take.seconds, best.second);

    // Segments in the file's order, parents first; names made to fit and unique.
    std::vector<int32_t> joints, segmentOf(n, -1);
    for (int32_t i = chosen; i < n; ++i) {
        if (top[i] == chosen) joints.push_back(i);
    }
    CreateSegments(static_cast<int32_t>(joints.size()));
    for (size_t s = 0; s < joints.size(); ++s) {
        segmentOf[joints[s]] = static_cast<int32_t>(s);
        std::string name = scene.nodes[joints[s]].name.substr(0, kRkNameSize - 1);
        if (name.empty()) name = "joint" + std::to_string(s);
        for (int k = 2; FindSegment(name.c_str()) >= 0; ++k) {
            const std::string tail = "~" + std::to_string(k);
            name = name.substr(0, kRkNameSize - 1 - tail.size()) + tail;
        }
        ANIMSEG& segment = *segments_[s];
        segment.SetName(name.data(), name.size());
        const int32_t parent = s == 0 ? -1 : segmentOf[JointParent(scene, in, joints[s])];
        if (parent < 0) {
            root_ = segment.node;
            continue;
        }
        segment.parent = parent;
        segments_[parent]->children.push_back(static_cast<int32_t>(s));
        rkLinkNode(segments_[parent]->node, segment.node);
    }

    // The nodes whose matrices reach a joint: the joints and everything above them.
    std::vector<bool> needed(n, false);
    for (int32_t j : joints) {
        for (int32_t at = j; at >= 0 && !needed[at]; at = scene.nodes[at].parent) needed[at] = true;
    }
    std::vector<aiMatrix4x4> world(n);
    std::vector<aiMatrix4x4> rigid(joints.size());
    const auto pose = [&](double ticks, bool keyed, auto&& store) {
        for (int32_t i = 0; i < n; ++i) {
            if (!needed[i]) continue;
            const SCENE::NODE& node = scene.nodes[i];
            aiMatrix4x4 local = node.local;
            const auto track = keyed ? anim.tracks.find(i) : anim.tracks.end();
            if (track != anim.tracks.end())
                local = track->second.LocalAt(ticks, node.scale, node.rotation, node.position);
            world[i] = node.parent >= 0 ? world[node.parent] * local : local;
        }
        for (size_t s = 0; s < joints.size(); ++s) {
            rigid[s] = Rigid(world[joints[s]]);
            const int32_t parent = segments_[s]->parent;
            aiMatrix4x4 local = parent >= 0 ? aiMatrix4x4(rigid[parent]).Inverse() * rigid[s] : rigid[s];
            if (!Finite(local)) return false;
            store(s, ToRk(local));
        }
        return true;
    };

    rest_.resize(joints.size());
    if (!pose(0, false, [&](size_t s, const rkMatrix& m) { rest_[s] = m; }))
        THROW_ERROBJ(ERR_CORRUPTED, "the rest pose is not finite");
    const auto count = static_cast<int32_t>(frames);
    for (auto& segment : segments_) segment->frames.reserve(static_cast<size_t>(count));
    for (int32_t f = 0; f < count; ++f) {
        const double ticks = std::min(double(f) / kSampleRate, anim.take.seconds) * anim.ticksPerSecond;
        if (!pose(ticks, true, [&](size_t s, const rkMatrix& m) { segments_[s]->frames.push_back(m); }))
            THROW_ERROBJ(ERR_CORRUPTED, "take %s: the pose of frame %d is not finite", takeName, f);
    }
    for (size_t s = 0; s < joints.size(); ++s) {
        ANIMSEG& segment = *segments_[s];
        rkSetNodeMatrix(segment.node, rest_[s]);
        if (!segment.children.empty()) {
            const rkMatrix& child = rest_[segment.children.front()];
            segment.length = std::sqrt(child.m[12] * child.m[12] + child.m[13] * child.m[13] +
                                       child.m[14] * child.m[14]);
        }
    }
    frameRate_ = kSampleRate;
    beginFrame_ = 0;
    endFrame_ = count - 1;
}
