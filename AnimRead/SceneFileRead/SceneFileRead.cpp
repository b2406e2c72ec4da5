#include "AnimRead/SceneFileRead/SceneFileRead.h"

#include <assimp/scene.h>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "AnimRead/SceneFileRead/ColladaFile.h"
#include "AnimRead/SceneFileRead/FbxFile.h"
#include "AnimRead/SceneFileRead/Imported.h"
#include "AnimRead/SceneFileRead/Printable.h"
#include "AnimRead/SceneFileRead/Track.h"

using tavrel::scenefile::KEY;
using tavrel::scenefile::TRACK;

namespace {

using namespace tavrel::scenefile;

// Node trees larger than this are no skeleton we would read; it bounds the copy we make.
constexpr size_t kMaxNodes = 65536;
// Assimp's ticks per second when a file names none.
constexpr double kDefaultTicksPerSecond = 25.0;
// What importers call the nodes they insert for pivots and pre-rotations.
constexpr const char* kHelperMark = "$AssimpFbx$";

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
    if (count == 0 || stride < element || start > data.size() || view.byteLength > data.size() ||
        (count - 1) > (std::min(data.size(), view.byteOffset + view.byteLength) - start) / stride ||
        start + (count - 1) * stride + element > std::min(data.size(), view.byteOffset + view.byteLength))
        return false;
    out->resize(count * size_t(components));
    for (size_t i = 0; i < count; ++i)
        std::memcpy(out->data() + i * size_t(components), data.data() + start + i * stride, element);
    return std::all_of(out->begin(), out->end(), [](float v) { return std::isfinite(v); });
}

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

}  // namespace

// The parts of an imported scene this reader uses, copied and checked: every count, pointer and
// number the importer handed out is looked at once, here.
class SCENEFILEREAD::SCENE {
public:
    struct NODE {
        std::string name;
        int32_t parent = -1;  // parents come before their children
        aiMatrix4x4 local;
        aiVector3D scale, position;
        aiQuaternion rotation;
        bool helper = false;
        bool bone = false;
        bool mesh = false;
    };
    struct ANIM {
        TAKE take;
        double ticksPerSecond = kDefaultTicksPerSecond;
        std::unordered_map<int32_t, TRACK> tracks;  // by node
        std::string badKey;                         // the node whose keys are no numbers
    };

    explicit SCENE(const aiScene& scene) {
        CopyNodes(scene.mRootNode);
        MarkBones(scene);
        if (scene.mNumAnimations > 0 && !scene.mAnimations)
            THROW_ERROBJ(ERR_CORRUPTED, "the animations are missing");
        for (unsigned a = 0; a < scene.mNumAnimations; ++a) {
            if (!scene.mAnimations[a]) THROW_ERROBJ(ERR_CORRUPTED, "animation %u is missing", a);
            CopyAnimation(*scene.mAnimations[a], a);
        }
    }

    // The COLLADA importer names each take after the file's first one as well ("Walk_Walk",
    // "Walk_Run"); the takes get their own names back.
    void UnprefixColladaTakes() {
        if (anims.empty()) return;
        const std::string& first = anims.front().take.name;
        const size_t half = first.size() / 2;
        if (first.size() % 2 == 0 || first[half] != '_' || first.compare(0, half, first, half + 1) != 0)
            return;
        const std::string prefix = first.substr(0, half + 1);
        for (const ANIM& anim : anims) {
            if (anim.take.name.size() <= prefix.size() || !anim.take.name.starts_with(prefix)) return;
        }
        for (ANIM& anim : anims) anim.take.name.erase(0, prefix.size());
    }

    // The takes of a scene imported from a part of the file, as one take of this scene.
    void AddTake(const std::string& name, const SCENE& part) {
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

    // Nodes named anew, by their old names; the first node of each name is found by it.
    void Rename(const std::unordered_map<std::string, std::string>& names) {
        byName_.clear();
        for (size_t i = 0; i < nodes.size(); ++i) {
            const auto found = names.find(nodes[i].name);
            if (found != names.end()) nodes[i].name = Printable(found->second, 200);
            byName_.emplace(nodes[i].name, static_cast<int32_t>(i));
        }
    }

    // Every take's keys of the named nodes are held until the next.
    void HoldSteps(const std::unordered_set<std::string>& names) {
        for (ANIM& anim : anims) {
            for (auto& [node, track] : anim.tracks) {
                if (names.count(nodes[node].name))
                    track.stepPositions = track.stepRotations = track.stepScales = true;
            }
        }
    }

    // glTF says per channel whether its keys step or lie on a spline; the importer forgets it,
    // so the file's own words are read again. Animations and nodes are matched in order and by
    // name.
    void FollowGltfInterpolation(const std::string& file, bool binary) {
        tinygltf::TinyGLTF loader;
        loader.SetImageLoader(
            [](tinygltf::Image*, int, std::string*, std::string*, int, int, const unsigned char*,
               int, void*) { return true; },  // pictures are not needed
            nullptr);
        tinygltf::Model model;
        std::string error, warning;
        if (!(binary ? loader.LoadBinaryFromFile(&model, &error, &warning, file)
                     : loader.LoadASCIIFromFile(&model, &error, &warning, file)))
            return;  // the importer read it: its keys stay as they are
        for (size_t a = 0; a < model.animations.size() && a < anims.size(); ++a) {
            const tinygltf::Animation& animation = model.animations[a];
            for (const tinygltf::AnimationChannel& channel : animation.channels) {
                const int node = channel.target_node;
                if (channel.sampler < 0 || size_t(channel.sampler) >= animation.samplers.size() ||
                    node < 0 || size_t(node) >= model.nodes.size())
                    continue;
                const tinygltf::AnimationSampler& sampler = animation.samplers[channel.sampler];
                if (sampler.interpolation != "STEP" && sampler.interpolation != "CUBICSPLINE")
                    continue;
                const auto found = byName_.find(model.nodes[node].name);
                if (found == byName_.end()) continue;
                const auto track = anims[a].tracks.find(found->second);
                if (track == anims[a].tracks.end()) continue;
                const std::string& what = channel.target_path;
                TRACK& keys = track->second;
                if (sampler.interpolation == "CUBICSPLINE") {
                    FollowSpline(model, sampler, what, anims[a].ticksPerSecond, keys);
                    continue;
                }
                if (what == "rotation") keys.stepRotations = true;
                if (what == "translation") keys.stepPositions = true;
                if (what == "scale") keys.stepScales = true;
            }
        }
    }

    // The importer keeps only a spline's values; the curve between them is made again from
    // the file, as keys at every frame the take is sampled at (and at the file's own keys).
    static void FollowSpline(const tinygltf::Model& model, const tinygltf::AnimationSampler& sampler,
                             const std::string& what, double ticksPerSecond, TRACK& track) {
        const int n = what == "rotation" ? 4 : 3;
        std::vector<float> times, keys;
        if (!ReadFloats(model, sampler.input, 1, &times) ||
            !ReadFloats(model, sampler.output, n, &keys) ||
            keys.size() != 3 * times.size() * size_t(n) ||
            !std::is_sorted(times.begin(), times.end()))
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

    // The importer keeps only the key values of COLLADA's curved keys, drawing straight lines
    // between them: the keys of each curved node (named by its id) are made again at every frame
    // from its transform elements, where they agree with the importer's at the file's keys.
    void FollowColladaCurves(
        const std::unordered_map<std::string, tavrel::COLLADAFILE::CURVEDNODE>& curved) {
        for (const auto& [id, node] : curved) {
            const auto found = byName_.find(id);
            if (found == byName_.end()) continue;
            const auto choices = node.Choices();
            for (ANIM& anim : anims) {
                const auto track = anim.tracks.find(found->second);
                if (track == anim.tracks.end()) continue;
                for (const auto& curves : choices) {
                    if (FollowCurves(nodes[found->second], node.elements, curves,
                                     anim.ticksPerSecond, track->second))
                        break;
                }
            }
        }
    }

    std::vector<NODE> nodes;
    std::vector<ANIM> anims;

private:
    using CURVEDNODE = tavrel::COLLADAFILE::CURVEDNODE;

    // False, leaving the track as it is, when the curves do not make the importer's keys.
    static bool FollowCurves(const NODE& node, const std::vector<CURVEDNODE::ELEMENT>& elements,
                             const std::vector<const tavrel::COLLADAFILE::CURVE*>& curves,
                             double ticksPerSecond, TRACK& track) {
        std::vector<double> keys;  // seconds
        for (const auto* curve : curves)
            keys.insert(keys.end(), curve->times.begin(), curve->times.end());
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        const std::vector<double> at = SampleTimes(keys);
        if (at.empty()) return false;
        const auto matrixAt = [&](double seconds, aiMatrix4x4* m) {
            std::array<double, 16> at;
            if (!CURVEDNODE::MatrixAt(elements, curves, seconds, &at)) return false;
            for (int i = 0; i < 16; ++i) (&m->a1)[i] = float(at[size_t(i)]);
            return Finite(*m);
        };
        if (!AgreeAtKeys(node, curves, keys, ticksPerSecond, track, matrixAt)) return false;
        TRACK made;
        for (const double t : at) {
            aiMatrix4x4 m;
            if (!matrixAt(t, &m)) return false;
            aiVector3D scale, position;
            aiQuaternion rotation;
            m.Decompose(scale, rotation, position);
            if (!Finite(rotation)) return false;
            made.positions.push_back({t * ticksPerSecond, position});
            made.rotations.push_back({t * ticksPerSecond, rotation.Normalize()});
            made.scales.push_back({t * ticksPerSecond, scale});
        }
        track = std::move(made);
        return true;
    }

    // Whether the curves make the importer's pose at the times every curve has a key (between
    // them the importer draws straight lines), a file laid out in a way not foreseen failing it.
    template <class MatrixAt>
    static bool AgreeAtKeys(const NODE& node,
                            const std::vector<const tavrel::COLLADAFILE::CURVE*>& curves,
                            const std::vector<double>& keys, double ticksPerSecond,
                            const TRACK& track, const MatrixAt& matrixAt) {
        size_t checked = 0;
        for (const double t : keys) {
            const auto isKey = [t](const tavrel::COLLADAFILE::CURVE* curve) {
                const auto at =
                    std::lower_bound(curve->times.begin(), curve->times.end(), t - 1e-6);
                return at != curve->times.end() && std::fabs(*at - t) <= 1e-6;
            };
            if (!std::all_of(curves.begin(), curves.end(), isKey)) continue;
            const double ticks = t * ticksPerSecond;
            const aiMatrix4x4 theirs =
                track.LocalAt(ticks, node.scale, node.rotation, node.position);
            aiMatrix4x4 ours;
            if (!matrixAt(t, &ours)) return false;
            for (int r = 0; r < 3; ++r) {
                const float reach = 1e-3f * (1 + std::fabs(theirs[r][3]));
                if (std::fabs(ours[r][3] - theirs[r][3]) > reach) return false;
                for (int c = 0; c < 3; ++c) {
                    if (std::fabs(ours[r][c] - theirs[r][c]) > 1e-3f) return false;
                }
            }
            ++checked;
        }
        return checked > 0;
    }

    void CopyNodes(const aiNode* root) {
        if (!root) THROW_ERROBJ(ERR_NOT_SUPPORTED, "no skeleton: the file holds no nodes");
        std::unordered_set<const aiNode*> seen;
        std::vector<std::pair<const aiNode*, int32_t>> open{{root, -1}};
        while (!open.empty()) {
            const auto [node, parent] = open.back();
            open.pop_back();
            if (!seen.insert(node).second) THROW_ERROBJ(ERR_CORRUPTED, "a node is its own ancestor");
            if (nodes.size() >= kMaxNodes)
                THROW_ERROBJ(ERR_NOT_SUPPORTED, "more than %zu nodes", kMaxNodes);
            NODE& copy = nodes.emplace_back();
            copy.name.assign(node->mName.C_Str(), std::min<size_t>(node->mName.length, 1023));
            copy.parent = parent;
            copy.local = node->mTransformation;
            if (!Finite(copy.local))
                THROW_ERROBJ(ERR_CORRUPTED, "node %s has a matrix that is not a number",
                             Printable(copy.name).c_str());
            copy.local.Decompose(copy.scale, copy.rotation, copy.position);
            copy.helper = copy.name.find(kHelperMark) != std::string::npos;
            copy.mesh = node->mNumMeshes > 0;
            if (node->mNumChildren > 0 && !node->mChildren)
                THROW_ERROBJ(ERR_CORRUPTED, "node %s lost its children", Printable(copy.name).c_str());
            const auto self = static_cast<int32_t>(nodes.size() - 1);
            // Pushed last to first, so that children come out in the file's order.
            for (unsigned c = node->mNumChildren; c-- > 0;) {
                if (!node->mChildren[c])
                    THROW_ERROBJ(ERR_CORRUPTED, "node %s lost a child", Printable(copy.name).c_str());
                open.emplace_back(node->mChildren[c], self);
            }
        }
        for (int32_t i = static_cast<int32_t>(nodes.size()); i-- > 0;) byName_[nodes[i].name] = i;
    }

    void MarkBones(const aiScene& scene) {
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

    void CopyAnimation(const aiAnimation& animation, unsigned index) {
        ANIM& anim = anims.emplace_back();
        anim.take.name = Printable(animation.mName.C_Str(), 200);
        if (anim.take.name.empty()) anim.take.name = "Take " + std::to_string(index + 1);
        if (animation.mTicksPerSecond > 0) anim.ticksPerSecond = animation.mTicksPerSecond;
        anim.take.seconds = animation.mDuration / anim.ticksPerSecond;
        if (!std::isfinite(anim.take.seconds)) anim.badKey = "its length";
        if (animation.mNumChannels > 0 && !animation.mChannels)
            THROW_ERROBJ(ERR_CORRUPTED, "the channels of take %s are missing", anim.take.name.c_str());
        for (unsigned c = 0; c < animation.mNumChannels; ++c) {
            const aiNodeAnim* channel = animation.mChannels[c];
            if (!channel) THROW_ERROBJ(ERR_CORRUPTED, "a channel of take %s is missing", anim.take.name.c_str());
            const auto found = byName_.find(channel->mNodeName.C_Str());
            if (found == byName_.end() || anim.tracks.count(found->second)) continue;
            TRACK& track = anim.tracks[found->second];
            const bool numbers =
                CopyKeys(channel->mPositionKeys, channel->mNumPositionKeys, &track.positions) &&
                CopyKeys(channel->mRotationKeys, channel->mNumRotationKeys, &track.rotations) &&
                CopyKeys(channel->mScalingKeys, channel->mNumScalingKeys, &track.scales);
            if (!numbers && anim.badKey.empty()) anim.badKey = Printable(nodes[found->second].name);
        }
    }

    std::unordered_map<std::string, int32_t> byName_;  // the first node of each name
};

namespace {

using SCENE = SCENEFILEREAD::SCENE;

// What the importer mistakes in a COLLADA file, mended from the file itself: its takes (the
// file's clips, else the importer's animations under their own names), its steps and curves,
// and the names of its joints (the importer's are the ids the exporting tool made, often the
// armature's name in front, which no naming scheme knows).
void FollowCollada(SCENE& scene, const char* path) {
    const tavrel::COLLADAFILE file = tavrel::ReadColladaFile(path);
    if (file.clips.empty()) {
        scene.UnprefixColladaTakes();
    } else {
        scene.anims.clear();
        for (const tavrel::COLLADAFILE::CLIP& clip : file.clips)
            scene.AddTake(clip.name, SCENE(IMPORTED(clip.document).Scene()));
    }
    scene.FollowColladaCurves(file.curvedNodes);
    scene.HoldSteps(file.steppedNodes);
    scene.Rename(file.names);
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

// A curve of the file as CubicAt reads a spline: per key its arriving slope, value and
// leaving slope.
struct SPLINE {
    std::vector<float> times, keys;
    explicit SPLINE(const tavrel::FBXFILE::CURVE& curve) : times(curve.times.begin(), curve.times.end()) {
        for (size_t k = 0; k < curve.values.size(); ++k)
            keys.insert(keys.end(), {k ? curve.nextLeft[k - 1] : 0.0f, curve.values[k], curve.right[k]});
    }
    bool HasKeyAt(double t) const {
        const double tolerance = 1e-6 * (1 + std::fabs(t));  // the times went through floats
        const auto at = std::lower_bound(times.begin(), times.end(), t - tolerance,
                                         [](float key, double time) { return key < time; });
        return at != times.end() && *at <= t + tolerance;
    }
};

bool Near(const aiVector3D& a, const aiVector3D& b) {
    return (a - b).Length() <= 1e-3f * (1 + b.Length());
}
bool Near(const aiQuaternion& a, const aiQuaternion& b) {
    return std::fabs(a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w) >= 1 - 1e-6f;
}

// Keys made again from the file's smooth X, Y and Z curves at every frame and at the file's
// keys, but only where the importer's keys agree with the curves at the file's keys: where they
// do not, the importer moved part of the motion (pivots, pre-rotations) onto other nodes.
template <typename T, typename Value>
void FollowSmooth(const std::array<tavrel::FBXFILE::CURVE, 3>& curves, double ticksPerSecond,
                  const Value& valueOf, std::vector<KEY<T>>& keys) {
    const std::array<SPLINE, 3> splines{SPLINE(curves[0]), SPLINE(curves[1]), SPLINE(curves[2])};
    const auto value = [&](double t) {
        float v[3];
        for (size_t a = 0; a < 3; ++a) CubicAt(splines[a].times, splines[a].keys, 1, t, &v[a]);
        return valueOf(aiVector3D(v[0], v[1], v[2]));
    };
    size_t agreed = 0;
    for (const KEY<T>& key : keys) {
        const double t = key.time / ticksPerSecond;
        if (!std::all_of(splines.begin(), splines.end(), [&](const SPLINE& s) { return s.HasKeyAt(t); }))
            continue;
        if (!Near(key.value, value(t))) return;
        ++agreed;
    }
    std::vector<double> times;
    for (const SPLINE& s : splines) times.insert(times.end(), s.times.begin(), s.times.end());
    const std::vector<double> at = SampleTimes(std::move(times));
    if (agreed == 0 || at.empty()) return;
    std::vector<KEY<T>> made;
    for (const double t : at) {
        made.push_back({t * ticksPerSecond, value(t)});
        if (!Finite(made.back().value)) return;
    }
    keys = std::move(made);
}

// A turn from Euler angles in degrees, composed in the file's order (0 XYZ: X first).
aiQuaternion Turn(const aiVector3D& degrees, int order) {
    static constexpr int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}, {1, 0, 2}, {2, 0, 1}, {2, 1, 0}};
    static const aiVector3D kAxes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    aiQuaternion q;
    for (const int a : kOrders[order]) q = aiQuaternion(kAxes[a], degrees[a] * float(M_PI / 180)) * q;
    return q;
}

// The FBX importer blends the keys a file holds until the next (constant keys) and joins cubic
// keys by straight lines: both are read from the file, per take and node (a helper the
// importer made counts as its node).
void FollowFbx(SCENE& scene, const char* path) {
    const tavrel::FBXFILE file = tavrel::ReadFbxFile(path);
    for (SCENE::ANIM& anim : scene.anims) {
        const auto take = file.steps.find(anim.take.name);
        const auto smooth = file.smooth.find(anim.take.name);
        if (take == file.steps.end()) continue;
        for (auto& [node, track] : anim.tracks) {
            const std::string& name = scene.nodes[node].name;
            const std::string model = name.substr(0, name.find(std::string("_") + kHelperMark));
            const auto steps = take->second.find(model);
            if (steps == take->second.end()) continue;
            track.stepPositions = steps->second.positions;
            track.stepRotations = steps->second.rotations;
            track.stepScales = steps->second.scales;
            if (smooth == file.smooth.end()) continue;
            const auto found = smooth->second.find(model);
            if (found == smooth->second.end()) continue;
            const tavrel::FBXFILE::SMOOTH& s = found->second;
            if (s.hasPositions)
                FollowSmooth(s.positions, anim.ticksPerSecond, [](const aiVector3D& v) { return v; }, track.positions);
            if (s.hasRotations && s.rotationOrder >= 0 && s.rotationOrder < 6) {
                const auto turn = [&](const aiVector3D& v) { return Turn(v, s.rotationOrder); };
                FollowSmooth(s.rotations, anim.ticksPerSecond, turn, track.rotations);
            }
        }
    }
}

}  // namespace

SCENEFILEREAD::SCENEFILEREAD(const char* path, const std::string& take, SkeletonScore score) {
    SetPath(path);
    const IMPORTED imported(path);
    try {
        SCENE scene(imported.Scene());
        const std::string extension = imported.Extension();
        if (extension == "gltf" || extension == "glb") scene.FollowGltfInterpolation(path, extension == "glb");
        if (extension == "dae") FollowCollada(scene, path);
        if (extension == "fbx") FollowFbx(scene, path);
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
