#include "AnimRead/SceneFileRead/FollowGltf.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AnimRead/SceneFileRead/Scene.h"

namespace tavrel::scenefile {
namespace {

using SCENE = SCENEFILEREAD::SCENE;

bool Load(const std::string& file, bool binary, tinygltf::Model* model) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(
        [](tinygltf::Image*, int, std::string*, std::string*, int, int, const unsigned char*, int,
           void*) { return true; },  // pictures are not needed
        nullptr);
    std::string error, warning;
    return binary ? loader.LoadBinaryFromFile(model, &error, &warning, file)
                  : loader.LoadASCIIFromFile(model, &error, &warning, file);
}

// An accessor's floats (count elements of `components` each), checked against its buffer;
// false for any other kind of accessor, which leaves the importer's keys as they are.
bool ReadFloats(const tinygltf::Model& model, int index, int components, std::vector<float>* out) {
    if (index < 0 || size_t(index) >= model.accessors.size()) return false;
    const tinygltf::Accessor& accessor = model.accessors[size_t(index)];
    if (accessor.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT || accessor.sparse.isSparse ||
        tinygltf::GetNumComponentsInType(uint32_t(accessor.type)) != components ||
        accessor.bufferView < 0 || size_t(accessor.bufferView) >= model.bufferViews.size())
        return false;
    const tinygltf::BufferView& view = model.bufferViews[size_t(accessor.bufferView)];
    if (view.buffer < 0 || size_t(view.buffer) >= model.buffers.size()) return false;
    const std::vector<unsigned char>& data = model.buffers[size_t(view.buffer)].data;
    const size_t element = sizeof(float) * size_t(components);
    const size_t stride = view.byteStride ? view.byteStride : element;
    const size_t start = view.byteOffset + accessor.byteOffset;
    const size_t count = accessor.count;
    const size_t end = std::min(data.size(), view.byteOffset + view.byteLength);
    if (count == 0 || stride < element || start > data.size() || view.byteLength > data.size() ||
        (count - 1) > (end - start) / stride || start + (count - 1) * stride + element > end)
        return false;
    out->resize(count * size_t(components));
    for (size_t i = 0; i < count; ++i)
        std::memcpy(out->data() + i * size_t(components), data.data() + start + i * stride,
                    element);
    return std::all_of(out->begin(), out->end(), [](float v) { return std::isfinite(v); });
}

// The importer keeps only a spline's values; the curve between them is made again from the
// file, as keys at every frame the take is sampled at (and at the file's own keys).
void FollowSpline(const tinygltf::Model& model, const tinygltf::AnimationSampler& sampler,
                  const std::string& what, double ticksPerSecond, TRACK& track) {
    const int n = what == "rotation" ? 4 : 3;
    std::vector<float> times, keys;
    if (!ReadFloats(model, sampler.input, 1, &times) ||
        !ReadFloats(model, sampler.output, n, &keys) ||
        keys.size() != 3 * times.size() * size_t(n) || !std::is_sorted(times.begin(), times.end()))
        return;
    const std::vector<double> at = SampleTimes({times.begin(), times.end()});
    if (at.empty()) return;
    std::vector<KEY<aiVector3D>> vectors;
    std::vector<KEY<aiQuaternion>> turns;
    for (const double t : at) {
        float v[4];
        CubicAt(times, keys, n, t, v);
        if (n == 4) {
            aiQuaternion q(v[3], v[0], v[1], v[2]);  // glTF writes x, y, z, w
            if (!Finite(q)) return;
            turns.push_back({t * ticksPerSecond, q.Normalize()});
        } else {
            vectors.push_back({t * ticksPerSecond, aiVector3D(v[0], v[1], v[2])});
        }
    }
    if (what == "rotation") track.rotations = std::move(turns);
    if (what == "translation") track.positions = std::move(vectors);
    if (what == "scale") track.scales = std::move(vectors);
}

void FollowChannel(const tinygltf::Model& model, const tinygltf::Animation& animation,
                   const tinygltf::AnimationChannel& channel, const SCENE& scene,
                   SCENE::ANIM& anim) {
    const int node = channel.target_node;
    if (channel.sampler < 0 || size_t(channel.sampler) >= animation.samplers.size() || node < 0 ||
        size_t(node) >= model.nodes.size())
        return;
    const tinygltf::AnimationSampler& sampler = animation.samplers[size_t(channel.sampler)];
    if (sampler.interpolation != "STEP" && sampler.interpolation != "CUBICSPLINE") return;
    const auto track = anim.tracks.find(scene.Find(model.nodes[size_t(node)].name));
    if (track == anim.tracks.end()) return;
    const std::string& what = channel.target_path;
    TRACK& keys = track->second;
    if (sampler.interpolation == "CUBICSPLINE") {
        FollowSpline(model, sampler, what, anim.ticksPerSecond, keys);
        return;
    }
    if (what == "rotation") keys.stepRotations = true;
    if (what == "translation") keys.stepPositions = true;
    if (what == "scale") keys.stepScales = true;
}

}  // namespace

void FollowGltf(SCENEFILEREAD::SCENE& scene, const char* path, bool binary) {
    tinygltf::Model model;
    if (!Load(path, binary, &model)) return;  // the importer read it: its keys stay as they are
    for (size_t a = 0; a < model.animations.size() && a < scene.anims.size(); ++a) {
        for (const tinygltf::AnimationChannel& channel : model.animations[a].channels)
            FollowChannel(model, model.animations[a], channel, scene, scene.anims[a]);
    }
}

}  // namespace tavrel::scenefile
