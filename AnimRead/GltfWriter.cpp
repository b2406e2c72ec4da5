#include "AnimRead/GltfWriter.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>

#include "AnimRead/AnimFile.h"
#include "AnimRead/AnimWriter.h"
#include "AnimRead/ErrObj.h"
#include "ZU2/rkUtil.h"
#include "base/FileReplacer.h"

namespace tavrel {

namespace {

// Translations of a joint other than a root that stay this close to its rest one in every frame
// are not animated.
constexpr float kStillTranslation = 1e-3f;

using Quaternion = std::array<float, 4>;  // x, y, z, w as glTF stores them

// A joint's local transform as glTF composes it: translation, then rotation.
struct Trs {
    rkVector t;
    Quaternion q;
};

// The rotation of a row-vector matrix (ours) as a unit quaternion; glTF's matrices act on
// columns, so element (row r, column c) of theirs is m[c * 4 + r] of ours.
Quaternion QuaternionOf(const rkMatrix& matrix) {
    const float* m = matrix.m;
    const float trace = m[0] + m[5] + m[10];
    Quaternion q;
    if (trace > 0) {
        const float s = 2 * std::sqrt(trace + 1);
        q = {(m[6] - m[9]) / s, (m[8] - m[2]) / s, (m[1] - m[4]) / s, 0.25f * s};
    } else if (m[0] > m[5] && m[0] > m[10]) {
        const float s = 2 * std::sqrt(1 + m[0] - m[5] - m[10]);
        q = {0.25f * s, (m[4] + m[1]) / s, (m[8] + m[2]) / s, (m[6] - m[9]) / s};
    } else if (m[5] > m[10]) {
        const float s = 2 * std::sqrt(1 + m[5] - m[0] - m[10]);
        q = {(m[4] + m[1]) / s, 0.25f * s, (m[9] + m[6]) / s, (m[8] - m[2]) / s};
    } else {
        const float s = 2 * std::sqrt(1 + m[10] - m[0] - m[5]);
        q = {(m[8] + m[2]) / s, (m[9] + m[6]) / s, 0.25f * s, (m[1] - m[4]) / s};
    }
    const float n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (float& e : q) e /= n;
    return q;
}

rkMatrix MatrixOf(const Trs& trs) {
    const auto [x, y, z, w] = trs.q;
    // Column-vector rotation R; ours holds its transpose.
    const float r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                           {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                           {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
    rkMatrix m;
    rkIdentity(&m);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) m.m[col * 4 + row] = r[row][col];
    }
    m.m[12] = trs.t.x, m.m[13] = trs.t.y, m.m[14] = trs.t.z;
    return m;
}

// Places our local matrices in the file: roots turned to Y up and set on the ground, every
// translation in metres; rotations below the roots stay as they are.
class Placement {
public:
    explicit Placement(const GltfWriter::Content& content)
        : scale_(content.metresPerUnit), ground_(content.groundHeight) {}

    Trs Local(const ANIMFILE& motion, int32_t segment, const rkMatrix& local) const {
        rkMatrix m = local;
        if (motion.GetSegment(segment)->parent < 0) {
            rkMultiply(&m, m, ANIMWRITER::ZUpToYUp());
            m.m[13] -= ground_;
        }
        return {{m.m[12] * scale_, m.m[13] * scale_, m.m[14] * scale_}, QuaternionOf(m)};
    }
    float Scale() const { return scale_; }

private:
    float scale_;
    float ground_;
};

bool Finite(const rkMatrix& m) {
    return std::all_of(std::begin(m.m), std::end(m.m), [](float v) { return std::isfinite(v); });
}

// The motion's local matrices, checked before anything is built from them.
void RequireWritable(const ANIMFILE& motion, const GltfWriter::Content& content) {
    if (motion.GetSegmentCount() == 0) THROW_ERROBJ(ERR_CORRUPTED, "the motion has no segment");
    if (!(content.metresPerUnit > 0) || !std::isfinite(content.groundHeight))
        THROW_ERROBJ(ERR_CORRUPTED, "no size or ground for the file");
    for (int32_t s = 0; s < motion.GetSegmentCount(); ++s) {
        const ANIMSEG& seg = *motion.GetSegment(s);
        if (seg.frames.empty()) THROW_ERROBJ(ERR_CORRUPTED, "%s holds no frame", seg.name);
        const bool finite = std::all_of(seg.frames.begin(), seg.frames.end(), Finite) &&
                            (content.rest.empty() || Finite(content.rest[s]));
        if (!finite) THROW_ERROBJ(ERR_CORRUPTED, "%s has a value that is not a number", seg.name);
    }
    if (!content.rest.empty() && content.rest.size() != size_t(motion.GetSegmentCount()))
        THROW_ERROBJ(ERR_CORRUPTED, "the rest pose has %zu segments", content.rest.size());
    for (const GltfWriter::Picture& picture : content.pictures) {
        if (picture.width < 1 || picture.height < 1 ||
            picture.rgb.size() != size_t(picture.width) * size_t(picture.height) * 3)
            THROW_ERROBJ(ERR_CORRUPTED, "the picture %s has not its size", picture.name.c_str());
    }
    for (const GltfWriter::BodyPart& part : content.body) {
        const bool painted = part.picture >= 0;
        const bool fits = part.segment >= 0 && part.segment < motion.GetSegmentCount() &&
                          part.normals.size() == part.positions.size() &&
                          part.indices.size() % 3 == 0 &&
                          std::all_of(part.indices.begin(), part.indices.end(),
                                      [&](uint32_t i) { return i < part.positions.size(); }) &&
                          part.picture < int32_t(content.pictures.size()) &&
                          part.uvs.size() == (painted ? part.positions.size() * 2 : 0);
        if (!fits) THROW_ERROBJ(ERR_CORRUPTED, "a body part does not fit the skeleton");
    }
}

// The one buffer of the file and the views and accessors over it.
class Data {
public:
    explicit Data(tinygltf::Model& model) : model_(model) { model_.buffers.resize(1); }

    template <typename T>
    int Add(const std::vector<T>& values, int type, int component, int count, int target = 0) {
        std::vector<unsigned char>& bytes = model_.buffers[0].data;
        bytes.resize((bytes.size() + 3) & ~size_t(3));  // every view starts 4-aligned
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = bytes.size();
        view.byteLength = values.size() * sizeof(T);
        view.target = target;
        const auto* raw = reinterpret_cast<const unsigned char*>(values.data());
        bytes.insert(bytes.end(), raw, raw + view.byteLength);
        model_.bufferViews.push_back(std::move(view));
        tinygltf::Accessor accessor;
        accessor.bufferView = int(model_.bufferViews.size()) - 1;
        accessor.componentType = component;
        accessor.type = type;
        accessor.count = size_t(count);
        model_.accessors.push_back(std::move(accessor));
        return int(model_.accessors.size()) - 1;
    }
    int AddFloats(const std::vector<float>& values, int type, int width, int target = 0) {
        return Add(values, type, TINYGLTF_COMPONENT_TYPE_FLOAT, int(values.size()) / width, target);
    }
    // Bounds that some accessors must carry (key times, positions).
    void Bound(int accessor, const std::vector<float>& values, int width) {
        std::vector<double> low(width, 1e300), high(width, -1e300);
        for (size_t i = 0; i < values.size(); ++i) {
            low[i % width] = std::min<double>(low[i % width], values[i]);
            high[i % width] = std::max<double>(high[i % width], values[i]);
        }
        model_.accessors[accessor].minValues = low;
        model_.accessors[accessor].maxValues = high;
    }

private:
    tinygltf::Model& model_;
};

void Put(std::vector<float>& out, rkVector v) {
    out.insert(out.end(), {v.x, v.y, v.z});
}

class ModelBuilder {
public:
    ModelBuilder(const ANIMFILE& motion, const GltfWriter::Content& content)
        : motion_(motion), content_(content), place_(content), data_(model_) {}

    tinygltf::Model Build() {
        model_.asset.version = "2.0";
        model_.asset.generator = "Tavrel";
        AddJoints();
        AddSkin();
        AddBody();
        AddAnimation();
        return std::move(model_);
    }

private:
    int32_t Count() const { return motion_.GetSegmentCount(); }
    const rkMatrix& RestLocal(int32_t s) const {
        return content_.rest.empty() ? motion_.GetSegment(s)->frames.front() : content_.rest[s];
    }

    void AddJoints() {
        model_.scenes.resize(1);
        model_.defaultScene = 0;
        rest_.resize(Count());
        bindWorld_.resize(Count());
        for (int32_t s = 0; s < Count(); ++s) {
            const ANIMSEG& seg = *motion_.GetSegment(s);
            rest_[s] = place_.Local(motion_, s, RestLocal(s));
            tinygltf::Node node;
            node.name = seg.name;
            node.translation = {rest_[s].t.x, rest_[s].t.y, rest_[s].t.z};
            node.rotation.assign(rest_[s].q.begin(), rest_[s].q.end());
            node.children.assign(seg.children.begin(), seg.children.end());
            model_.nodes.push_back(std::move(node));
            if (seg.parent < 0) model_.scenes[0].nodes.push_back(s);
        }
        // Parents come before children only in a table made that way: follow the tree.
        for (int node : model_.scenes[0].nodes) BindWorld(node, nullptr);
    }
    void BindWorld(int32_t s, const rkMatrix* parent) {
        bindWorld_[s] = MatrixOf(rest_[s]);
        if (parent) rkMultiply(&bindWorld_[s], bindWorld_[s], *parent);
        for (int32_t child : motion_.GetSegment(s)->children) BindWorld(child, &bindWorld_[s]);
    }

    void AddSkin() {
        tinygltf::Skin skin;
        skin.name = "skeleton";
        std::vector<float> inverse;
        for (int32_t s = 0; s < Count(); ++s) {
            skin.joints.push_back(s);
            // Theirs is column-major and acts on columns: the same sixteen numbers as ours.
            rkMatrix m;
            if (!rkInvert(&m, bindWorld_[s])) rkIdentity(&m);
            inverse.insert(inverse.end(), std::begin(m.m), std::end(m.m));
        }
        skin.inverseBindMatrices = data_.AddFloats(inverse, TINYGLTF_TYPE_MAT4, 16);
        if (model_.scenes[0].nodes.size() == 1) skin.skeleton = model_.scenes[0].nodes[0];
        model_.skins.push_back(std::move(skin));
    }

    // Each part becomes one primitive of a skinned mesh, bound wholly to its segment's joint.
    void AddBody() {
        if (content_.body.empty()) return;
        tinygltf::Mesh mesh;
        mesh.name = "body";
        for (const GltfWriter::BodyPart& part : content_.body) {
            if (part.indices.empty()) continue;
            const rkMatrix& bind = bindWorld_[part.segment];
            std::vector<float> positions, normals, weights;
            std::vector<uint16_t> joints;
            for (size_t v = 0; v < part.positions.size(); ++v) {
                Put(positions, rkTransformPoint(part.positions[v] * place_.Scale(), bind));
                Put(normals, Turned(part.normals[v], bind));
                joints.insert(joints.end(), {uint16_t(part.segment), 0, 0, 0});
                weights.insert(weights.end(), {1, 0, 0, 0});
            }
            tinygltf::Primitive primitive;
            primitive.mode = TINYGLTF_MODE_TRIANGLES;
            const int position =
                data_.AddFloats(positions, TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER);
            data_.Bound(position, positions, 3);
            primitive.attributes["POSITION"] = position;
            primitive.attributes["NORMAL"] =
                data_.AddFloats(normals, TINYGLTF_TYPE_VEC3, 3, TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.attributes["JOINTS_0"] =
                data_.Add(joints, TINYGLTF_TYPE_VEC4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                          int(part.positions.size()), TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.attributes["WEIGHTS_0"] =
                data_.AddFloats(weights, TINYGLTF_TYPE_VEC4, 4, TINYGLTF_TARGET_ARRAY_BUFFER);
            primitive.indices =
                data_.Add(part.indices, TINYGLTF_TYPE_SCALAR, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                          int(part.indices.size()), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            if (part.picture >= 0) {
                primitive.attributes["TEXCOORD_0"] =
                    data_.AddFloats(part.uvs, TINYGLTF_TYPE_VEC2, 2, TINYGLTF_TARGET_ARRAY_BUFFER);
            }
            primitive.material = MaterialOf(part.colour, part.picture);
            mesh.primitives.push_back(std::move(primitive));
        }
        if (mesh.primitives.empty()) return;
        model_.meshes.push_back(std::move(mesh));
        tinygltf::Node node;
        node.name = "body";
        node.mesh = 0;
        node.skin = 0;
        model_.nodes.push_back(std::move(node));
        model_.scenes[0].nodes.push_back(int(model_.nodes.size()) - 1);
    }
    // A normal turned with its segment; a normal of no length gets one (glTF wants unit ones).
    static rkVector Turned(rkVector n, const rkMatrix& bind) {
        const rkVector t = rkTransformPoint(n, rkRotationPart(bind));
        const float length = rkLength(t);
        return length > 0 ? t * (1 / length) : rkVector{0, 1, 0};
    }
    int MaterialOf(const float colour[4], int32_t picture) {
        const std::array<float, 5> key{colour[0], colour[1], colour[2], colour[3], float(picture)};
        const auto found = materials_.find(key);
        if (found != materials_.end()) return found->second;
        tinygltf::Material material;
        material.name = "colour " + std::to_string(materials_.size());
        material.pbrMetallicRoughness.baseColorFactor.assign(key.begin(), key.begin() + 4);
        for (double& c : material.pbrMetallicRoughness.baseColorFactor) c = std::clamp(c, 0.0, 1.0);
        material.pbrMetallicRoughness.metallicFactor = 0;
        material.pbrMetallicRoughness.roughnessFactor = 1;
        if (picture >= 0) material.pbrMetallicRoughness.baseColorTexture.index = TextureOf(picture);
        model_.materials.push_back(std::move(material));
        return materials_[key] = int(model_.materials.size()) - 1;
    }
    // The library writes the picture into the file as PNG.
    int TextureOf(int32_t picture) {
        const auto found = textures_.find(picture);
        if (found != textures_.end()) return found->second;
        const GltfWriter::Picture& source = content_.pictures[picture];
        tinygltf::Image image;
        image.name = source.name;
        image.mimeType = "image/png";
        image.width = source.width;
        image.height = source.height;
        image.component = 3;
        image.bits = 8;
        image.pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
        image.image = source.rgb;
        model_.images.push_back(std::move(image));
        tinygltf::Texture texture;
        texture.source = int(model_.images.size()) - 1;
        model_.textures.push_back(std::move(texture));
        return textures_[picture] = int(model_.textures.size()) - 1;
    }

    // One key per frame: translation of the roots (and of any joint that moves off its rest
    // place), rotation of every joint.
    void AddAnimation() {
        const int64_t frames = int64_t(motion_.GetEndFrame()) - motion_.GetBeginFrame() + 1;
        if (frames < 1) return;
        const double rate = std::max(motion_.GetFrameRate(), 1);
        std::vector<float> times(static_cast<size_t>(frames));
        for (int64_t f = 0; f < frames; ++f) times[f] = float(double(f) / rate);
        tinygltf::Animation animation;
        animation.name = content_.animationName;
        const int input = data_.AddFloats(times, TINYGLTF_TYPE_SCALAR, 1);
        data_.Bound(input, times, 1);
        for (int32_t s = 0; s < Count(); ++s) {
            std::vector<float> translations, rotations;
            translations.reserve(size_t(frames) * 3);
            rotations.reserve(size_t(frames) * 4);
            Quaternion previous = rest_[s].q;
            bool moves = motion_.GetSegment(s)->parent < 0;
            for (int64_t f = 0; f < frames; ++f) {
                Trs trs = place_.Local(motion_, s, motion_.GetSegment(s)->FrameAt(f));
                // The same turn as the key before, so that keys in between go the short way.
                const float dot = trs.q[0] * previous[0] + trs.q[1] * previous[1] +
                                  trs.q[2] * previous[2] + trs.q[3] * previous[3];
                if (dot < 0) {
                    for (float& e : trs.q) e = -e;
                }
                previous = trs.q;
                rotations.insert(rotations.end(), trs.q.begin(), trs.q.end());
                Put(translations, trs.t);
                const rkVector d = trs.t - rest_[s].t;
                moves |= std::max({std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)}) >
                         kStillTranslation * place_.Scale();
            }
            AddChannel(animation, s, "rotation", data_.AddFloats(rotations, TINYGLTF_TYPE_VEC4, 4),
                       input);
            if (moves) {
                AddChannel(animation, s, "translation",
                           data_.AddFloats(translations, TINYGLTF_TYPE_VEC3, 3), input);
            }
        }
        model_.animations.push_back(std::move(animation));
    }
    static void AddChannel(tinygltf::Animation& animation, int node, const char* path, int output,
                           int input) {
        tinygltf::AnimationSampler sampler;
        sampler.input = input;
        sampler.output = output;
        sampler.interpolation = "LINEAR";
        animation.samplers.push_back(std::move(sampler));
        tinygltf::AnimationChannel channel;
        channel.sampler = int(animation.samplers.size()) - 1;
        channel.target_node = node;
        channel.target_path = path;
        animation.channels.push_back(std::move(channel));
    }

    const ANIMFILE& motion_;
    const GltfWriter::Content& content_;
    Placement place_;
    tinygltf::Model model_;
    Data data_;
    std::vector<Trs> rest_;
    std::vector<rkMatrix> bindWorld_;
    std::map<std::array<float, 5>, int> materials_;
    std::map<int32_t, int> textures_;
};

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') return {};
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace

bool GltfWriter::Handles(const std::string& path) {
    const std::string extension = LowerExtension(path);
    return extension == "glb" || extension == "gltf";
}

bool GltfWriter::Write(const ANIMFILE& motion, const std::string& path, const Content& content) {
    RequireWritable(motion, content);
    const tinygltf::Model model = ModelBuilder(motion, content).Build();
    const bool binary = LowerExtension(path) == "glb";
    bool created = false;
    const bool written = FileReplacer::Replace(path, [&](const std::string& temporary) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        created = true;
        tinygltf::TinyGLTF writer;
        return writer.WriteGltfSceneToStream(&model, out, false, binary) && out.flush().good();
    });
    if (!written && created) THROW_ERROBJ(ERR_WRITE, "%s", path.c_str());
    return written;
}

}  // namespace tavrel
