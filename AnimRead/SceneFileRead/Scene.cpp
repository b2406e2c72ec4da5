#include "AnimRead/SceneFileRead/Scene.h"

#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <unordered_set>

#include "AnimRead/SceneFileRead/Printable.h"

namespace tavrel {

using namespace scenefile;

namespace {

// Node trees larger than this are no skeleton we would read; it bounds the copy we make.
constexpr size_t kMaxNodes = 65536;

// Copies count keys; false when one is no number. Keys out of time order are sorted.
template <typename T, typename AiKey>
bool CopyKeys(const AiKey* keys, unsigned count, std::vector<KEY<T>>* out) {
    if (count > 0 && !keys) THROW_ERROBJ(ERR_CORRUPTED, "a channel's keys are missing");
    out->reserve(count);
    for (unsigned k = 0; k < count; ++k) {
        if (!std::isfinite(keys[k].mTime) || !Finite(keys[k].mValue)) return false;
        out->push_back({keys[k].mTime, keys[k].mValue});
    }
    std::stable_sort(out->begin(), out->end(),
                     [](const KEY<T>& a, const KEY<T>& b) { return a.time < b.time; });
    if constexpr (std::is_same_v<T, aiQuaternion>) {
        for (auto& key : *out) key.value.Normalize();
    }
    return true;
}

}  // namespace

SCENEFILEREAD::SCENE::SCENE(const aiScene& scene) {
    CopyNodes(scene.mRootNode);
    MarkBones(scene);
    if (scene.mNumAnimations > 0 && !scene.mAnimations)
        THROW_ERROBJ(ERR_CORRUPTED, "the animations are missing");
    for (unsigned a = 0; a < scene.mNumAnimations; ++a) {
        if (!scene.mAnimations[a]) THROW_ERROBJ(ERR_CORRUPTED, "animation %u is missing", a);
        CopyAnimation(*scene.mAnimations[a], a);
    }
}

int32_t SCENEFILEREAD::SCENE::Find(const std::string& name) const {
    const auto found = byName_.find(name);
    return found == byName_.end() ? -1 : found->second;
}

void SCENEFILEREAD::SCENE::AddTake(const std::string& name, const SCENE& part) {
    ANIM& anim = anims.emplace_back();
    anim.take.name = Printable(name, 200);
    if (anim.take.name.empty()) anim.take.name = "Take " + std::to_string(anims.size());
    for (size_t a = 0; a < part.anims.size(); ++a) {
        const ANIM& from = part.anims[a];
        if (a == 0) anim.ticksPerSecond = from.ticksPerSecond;
        if (from.ticksPerSecond != anim.ticksPerSecond) continue;
        anim.take.seconds = std::max(anim.take.seconds, from.take.seconds);
        if (anim.badKey.empty()) anim.badKey = from.badKey;
        for (const auto& [node, track] : from.tracks) {
            const auto found = byName_.find(part.nodes[node].name);
            if (found != byName_.end()) anim.tracks.emplace(found->second, track);
        }
    }
}

void SCENEFILEREAD::SCENE::Rename(const std::unordered_map<std::string, std::string>& names) {
    byName_.clear();
    for (size_t i = 0; i < nodes.size(); ++i) {
        const auto found = names.find(nodes[i].name);
        if (found != names.end()) nodes[i].name = Printable(found->second, 200);
        byName_.emplace(nodes[i].name, static_cast<int32_t>(i));
    }
}

void SCENEFILEREAD::SCENE::CopyNodes(const aiNode* root) {
    if (!root) THROW_ERROBJ(ERR_NOT_SUPPORTED, "no skeleton: the file holds no nodes");
    std::unordered_set<const aiNode*> seen;
    std::vector<std::pair<const aiNode*, int32_t>> open{{root, -1}};
    while (!open.empty()) {
        const auto [node, parent] = open.back();
        open.pop_back();
        if (!seen.insert(node).second) THROW_ERROBJ(ERR_CORRUPTED, "a node is its own ancestor");
        CopyNode(*node, parent);
        const auto self = static_cast<int32_t>(nodes.size() - 1);
        // Pushed last to first, so that children come out in the file's order.
        for (unsigned c = node->mNumChildren; c-- > 0;) {
            if (!node->mChildren[c]) {
                THROW_ERROBJ(ERR_CORRUPTED, "node %s lost a child",
                             Printable(nodes.back().name).c_str());
            }
            open.emplace_back(node->mChildren[c], self);
        }
    }
    for (int32_t i = static_cast<int32_t>(nodes.size()); i-- > 0;) byName_[nodes[i].name] = i;
}

void SCENEFILEREAD::SCENE::CopyNode(const aiNode& node, int32_t parent) {
    if (nodes.size() >= kMaxNodes)
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "more than %zu nodes", kMaxNodes);
    NODE& copy = nodes.emplace_back();
    copy.name.assign(node.mName.C_Str(), std::min<size_t>(node.mName.length, 1023));
    copy.parent = parent;
    copy.local = node.mTransformation;
    if (!Finite(copy.local)) {
        THROW_ERROBJ(ERR_CORRUPTED, "node %s has a matrix that is not a number",
                     Printable(copy.name).c_str());
    }
    copy.local.Decompose(copy.scale, copy.rotation, copy.position);
    copy.helper = copy.name.find(kHelperMark) != std::string::npos;
    copy.mesh = node.mNumMeshes > 0;
    if (node.mNumChildren > 0 && !node.mChildren)
        THROW_ERROBJ(ERR_CORRUPTED, "node %s lost its children", Printable(copy.name).c_str());
}

void SCENEFILEREAD::SCENE::MarkBones(const aiScene& scene) {
    if (scene.mNumMeshes > 0 && !scene.mMeshes)
        THROW_ERROBJ(ERR_CORRUPTED, "the meshes are missing");
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh* mesh = scene.mMeshes[m];
        if (!mesh) THROW_ERROBJ(ERR_CORRUPTED, "mesh %u is missing", m);
        if (mesh->mNumBones > 0 && !mesh->mBones)
            THROW_ERROBJ(ERR_CORRUPTED, "the bones of mesh %u are missing", m);
        for (unsigned b = 0; b < mesh->mNumBones; ++b) {
            if (!mesh->mBones[b]) THROW_ERROBJ(ERR_CORRUPTED, "a bone of mesh %u is missing", m);
            const auto found = byName_.find(mesh->mBones[b]->mName.C_Str());
            if (found != byName_.end() && !nodes[found->second].helper)
                nodes[found->second].bone = true;
        }
    }
}

void SCENEFILEREAD::SCENE::CopyAnimation(const aiAnimation& animation, unsigned index) {
    ANIM& anim = anims.emplace_back();
    anim.take.name = Printable(animation.mName.C_Str(), 200);
    if (anim.take.name.empty()) anim.take.name = "Take " + std::to_string(index + 1);
    if (animation.mTicksPerSecond > 0) anim.ticksPerSecond = animation.mTicksPerSecond;
    anim.take.seconds = animation.mDuration / anim.ticksPerSecond;
    if (!std::isfinite(anim.take.seconds)) anim.badKey = "its length";
    if (animation.mNumChannels > 0 && !animation.mChannels)
        THROW_ERROBJ(ERR_CORRUPTED, "the channels of take %s are missing", anim.take.name.c_str());
    for (unsigned c = 0; c < animation.mNumChannels; ++c) {
        if (!animation.mChannels[c])
            THROW_ERROBJ(ERR_CORRUPTED, "a channel of take %s is missing", anim.take.name.c_str());
        CopyChannel(*animation.mChannels[c], anim);
    }
}

// The first channel of a node counts; keys that are no numbers are named as the take's.
void SCENEFILEREAD::SCENE::CopyChannel(const aiNodeAnim& channel, ANIM& anim) {
    const auto found = byName_.find(channel.mNodeName.C_Str());
    if (found == byName_.end() || anim.tracks.count(found->second)) return;
    TRACK& track = anim.tracks[found->second];
    const bool numbers =
        CopyKeys(channel.mPositionKeys, channel.mNumPositionKeys, &track.positions) &&
        CopyKeys(channel.mRotationKeys, channel.mNumRotationKeys, &track.rotations) &&
        CopyKeys(channel.mScalingKeys, channel.mNumScalingKeys, &track.scales);
    if (!numbers && anim.badKey.empty()) anim.badKey = Printable(nodes[found->second].name);
}

}  // namespace tavrel
