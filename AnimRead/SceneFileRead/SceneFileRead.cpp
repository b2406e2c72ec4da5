#include "AnimRead/SceneFileRead/SceneFileRead.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "AnimRead/SceneFileRead/ChooseSkeleton.h"
#include "AnimRead/SceneFileRead/FollowCollada.h"
#include "AnimRead/SceneFileRead/FollowFbx.h"
#include "AnimRead/SceneFileRead/FollowGltf.h"
#include "AnimRead/SceneFileRead/Imported.h"
#include "AnimRead/SceneFileRead/PoseSampler.h"
#include "AnimRead/SceneFileRead/Printable.h"
#include "AnimRead/SceneFileRead/Scene.h"

namespace tavrel {

namespace {

using namespace scenefile;
using SCENE = SCENEFILEREAD::SCENE;

// A node's name as a segment's: made to fit, and unique among the motion's segments.
std::string SegmentName(const ANIMFILE& motion, const std::string& node, size_t s) {
    std::string name = node.substr(0, kRkNameSize - 1);
    if (name.empty()) name = "joint" + std::to_string(s);
    for (int k = 2; motion.FindSegment(name.c_str()) >= 0; ++k) {
        const std::string tail = "~" + std::to_string(k);
        name = name.substr(0, kRkNameSize - 1 - tail.size()) + tail;
    }
    return name;
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
    if (scene.anims.empty())
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "no animation: the file holds no take");
    std::vector<TAKE> takes;
    for (const auto& anim : scene.anims) takes.push_back(anim.take);
    return takes;
}

void SCENEFILEREAD::Build(const SCENE& scene, const std::string& take, SkeletonScore score) {
    const SKELETON skeleton = ChooseSkeleton(scene, score);
    if (scene.anims.empty())
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "no animation: the file holds no take");
    skeletonCount_ = skeleton.count;
    skeletonRoot_ = scene.nodes[size_t(skeleton.joints.front())].name;
    if (skeleton.joints.size() > static_cast<size_t>(kMaxJoints))
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "more than %d joints", kMaxJoints);
    SelectTake(scene, take);
    const int32_t count = FramesOfTake(scene, skeleton.joints.size());
    MakeSegments(scene, skeleton.joints, skeleton.parents);
    SampleFrames(scene, skeleton.joints, skeleton.parents, count);
    SetRestPose();
    frameRate_ = kSampleRate;
    beginFrame_ = 0;
    endFrame_ = count - 1;
}

void SCENEFILEREAD::SelectTake(const SCENE& scene, const std::string& take) {
    for (const auto& anim : scene.anims) takes_.push_back(anim.take);
    if (take.empty()) return;
    const auto found =
        std::find_if(takes_.begin(), takes_.end(), [&](const TAKE& t) { return t.name == take; });
    if (found == takes_.end())
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "no take named %s", Printable(take).c_str());
    take_ = static_cast<size_t>(found - takes_.begin());
}

int32_t SCENEFILEREAD::FramesOfTake(const SCENE& scene, size_t joints) const {
    const SCENE::ANIM& anim = scene.anims[take_];
    const char* name = anim.take.name.c_str();
    if (!anim.badKey.empty())
        THROW_ERROBJ(ERR_CORRUPTED, "take %s: a key of %s is not a number", name,
                     anim.badKey.c_str());
    if (!(anim.take.seconds > 0)) THROW_ERROBJ(ERR_NOT_SUPPORTED, "take %s has no length", name);
    const double frames = std::floor(anim.take.seconds * kSampleRate + 1e-6) + 1;
    if (frames > kMaxFrames ||
        frames * static_cast<double>(joints) > static_cast<double>(kMaxMatrices))
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "take %s is too long: %.0f s of %zu joints", name,
                     anim.take.seconds, joints);
    return static_cast<int32_t>(frames);
}

void SCENEFILEREAD::MakeSegments(const SCENE& scene, const std::vector<int32_t>& joints,
                                 const std::vector<int32_t>& parents) {
    CreateSegments(static_cast<int32_t>(joints.size()));
    for (size_t s = 0; s < joints.size(); ++s) {
        const std::string name = SegmentName(*this, scene.nodes[size_t(joints[s])].name, s);
        ANIMSEG& segment = *segments_[s];
        segment.SetName(name.data(), name.size());
        const int32_t parent = parents[s];
        if (parent < 0) {
            root_ = segment.node;
            continue;
        }
        segment.parent = parent;
        segments_[size_t(parent)]->children.push_back(static_cast<int32_t>(s));
        rkLinkNode(segments_[size_t(parent)]->node, segment.node);
    }
}

void SCENEFILEREAD::SampleFrames(const SCENE& scene, const std::vector<int32_t>& joints,
                                 const std::vector<int32_t>& parents, int32_t count) {
    POSESAMPLER sampler(scene, joints, parents);
    rest_.resize(joints.size());
    if (!sampler.Sample(nullptr, 0, &rest_))
        THROW_ERROBJ(ERR_CORRUPTED, "the rest pose is not finite");
    const SCENE::ANIM& anim = scene.anims[take_];
    std::vector<rkMatrix> pose(joints.size());
    for (auto& segment : segments_) segment->frames.reserve(static_cast<size_t>(count));
    for (int32_t f = 0; f < count; ++f) {
        const double seconds = std::min(double(f) / kSampleRate, anim.take.seconds);
        if (!sampler.Sample(&anim, seconds * anim.ticksPerSecond, &pose)) {
            THROW_ERROBJ(ERR_CORRUPTED, "take %s: the pose of frame %d is not finite",
                         anim.take.name.c_str(), f);
        }
        for (size_t s = 0; s < pose.size(); ++s) segments_[s]->frames.push_back(pose[s]);
    }
}

// The rest pose on the segments' nodes, and each segment as long as its first child is far.
void SCENEFILEREAD::SetRestPose() {
    for (size_t s = 0; s < segments_.size(); ++s) {
        ANIMSEG& segment = *segments_[s];
        rkSetNodeMatrix(segment.node, rest_[s]);
        if (segment.children.empty()) continue;
        segment.length = rkLength(rkOrigin(rest_[size_t(segment.children.front())]));
    }
}

}  // namespace tavrel
