#include "scene/BodyReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ZU2/rkUtil.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"

namespace tavrel {
namespace {

void CollectNode(int, rkNode* node, void* list) {
    static_cast<std::vector<rkNode*>*>(list)->push_back(node);
}

std::vector<rkNode*> PreOrder(rkNode* root) {
    std::vector<rkNode*> nodes;
    rkTraverse(root, RK_PRE_ORDER, CollectNode, &nodes);
    return nodes;
}

// The pose the body file's shapes are modelled in: the standard skeleton's rest pose, world
// matrices up to date. Freed with rkFreeTree.
rkNode* ModelledPose() {
    std::unique_ptr<ANIMFILE> motion = CreateAnimFile(nullptr, kTypeCHA, 0);
    if (!motion) return nullptr;
    rkNode* pose = rkCloneNode(motion->GetFrame(0));
    rkUpdateNode(pose);
    return pose;
}

// A texture as red, green and blue bytes; none for a layout it does not know.
GltfWriter::Picture PictureOf(const srTextureImage& image, std::string name) {
    GltfWriter::Picture picture{std::move(name), image.width, image.height, {}};
    const size_t count = size_t(std::max(image.width, 0)) * size_t(std::max(image.height, 0));
    const uint8_t* p = image.pixels;
    if (image.bits == 24) picture.rgb.assign(p, p + count * 3);
    for (size_t i = 0; image.bits == 32 && i < count; ++i)
        picture.rgb.insert(picture.rgb.end(), p + i * 4, p + i * 4 + 3);
    const uint8_t* indices = p + 256 * 4;  // an 8-bit picture: its palette, then its indices
    for (size_t i = 0; image.bits == 8 && i < count; ++i)
        picture.rgb.insert(picture.rgb.end(), p + indices[i] * 4, p + indices[i] * 4 + 3);
    if (picture.rgb.empty()) picture.width = picture.height = 0;
    return picture;
}

GltfWriter::BodyPart PartOf(const rkMesh& mesh, const rkMatrix& toSegment, int32_t segment,
                            int32_t picture) {
    GltfWriter::BodyPart part;
    part.segment = segment;
    part.picture = picture;
    for (int c = 0; c < 4; ++c) part.colour[c] = mesh.material.diffuse[c];
    rkMatrix turn = toSegment;
    turn.m[12] = turn.m[13] = turn.m[14] = 0;
    std::vector<int32_t> renumbered(size_t(std::max(mesh.vertexCount, 0)), -1);
    for (int32_t i = 0; i < mesh.indexCount; ++i) {
        const uint16_t index = mesh.indices[i];
        if (index >= renumbered.size()) return {};
        if (renumbered[index] < 0) {
            renumbered[index] = int32_t(part.positions.size());
            part.positions.push_back(rkTransformPoint(mesh.vertices[index].position, toSegment));
            part.normals.push_back(rkTransformPoint(mesh.vertices[index].normal, turn));
            if (picture >= 0)
                part.uvs.insert(part.uvs.end(), {mesh.vertices[index].u0, mesh.vertices[index].v0});
        }
        part.indices.push_back(uint32_t(renumbered[index]));
    }
    part.indices.resize(part.indices.size() / 3 * 3);
    return part;
}

}  // namespace

CBodyReader::CBodyReader(const std::string& path) {
    loaded_ = Load(path);
}

bool CBodyReader::Load(const std::string& path) {
    // The model set copies what it keeps of the file's chunks: the file goes once read.
    struct SceneFile {
        ScnScene scene{};
        ~SceneFile() { scnFreeScene(&scene); }
    } file;
    if (!scnLoadScene(path.c_str(), &file.scene)) {
        DebugOutput("CBodyReader() LoadScene: failed.\n");
        return false;
    }
    // The body's pictures lie beside it, as the program's own files do.
    const std::string folder = std::filesystem::path(path).parent_path().string();
    modelSet_ = srCreateModelSet(&file.scene, folder.empty() ? "." : folder.c_str());
    if (!modelSet_) {
        DebugOutput("CBodyReader() CreateScene: failed.\n");
        return false;
    }
    for (const srTexturePoolEntry& entry : modelSet_->pool) {
        if (!entry.image) break;
        textureNames_.emplace_back(entry.desc.fileName,
                                   strnlen(entry.desc.fileName, sizeof(entry.desc.fileName)));
    }
    for (int m = 0; m < modelSet_->modelCount; ++m) {
        const srModel& model = modelSet_->models[m];
        const std::string chunkName(
            model.chunk.record.name,
            strnlen(model.chunk.record.name, sizeof(model.chunk.record.name)));
        for (int s = 0; s < model.subMeshCount; ++s) AddShape(chunkName, m, s, model.meshes[s]);
    }
    return true;
}

void CBodyReader::AddShape(const std::string& chunkName, int model, int subMesh,
                           const rkMesh& mesh) {
    DebugOutput("Chunk:");
    DebugOutput(chunkName);
    DebugOutput("\n");
    rkVisual* visual = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
    rkMesh* copy = rkCloneMesh(&mesh);
    if (!visual || !copy) {
        rkFreeVisual(visual);
        rkFreeMesh(copy);
        return;
    }
    visual->mesh = *copy;
    visual->mesh.flags &= ~RK_MESH_HEAP;  // the visual holds the record itself
    std::free(copy);
    // The reader owns its shapes: a skeleton that is freed first must leave them alone.
    visual->head.flags |= RK_OBJECT_NOT_OWNED;
    std::string name = chunkName;
    if (shapes_.count(name)) {
        DebugOutput("CBodyReader() read chunk error: Duplicated chunk name:");
        DebugOutput(name);
        DebugOutput("\n");
        name = chunkName + "#" + std::to_string(model) + "." + std::to_string(subMesh);
        DebugOutput("Chunk rename to ");
        DebugOutput(name);
        DebugOutput("\n");
    }
    shapes_[name] = visual;
    if (const srTextureImage* picture = modelSet_->models[model].textures[subMesh])
        pictures_[name] = picture;
}

CBodyReader::~CBodyReader() {
    for (auto& [name, visual] : shapes_) {
        // A shape still on a skeleton now belongs to it: whoever frees the skeleton frees it.
        visual->head.flags &= ~RK_OBJECT_NOT_OWNED;
        rkFreeVisual(visual);
    }
    srDestroyModelSet(modelSet_);
}

std::vector<GltfWriter::BodyPart> CBodyReader::Parts(
    const ANIMFILE& skeleton, std::vector<GltfWriter::Picture>* pictures) const {
    std::vector<GltfWriter::BodyPart> parts;
    rkNode* reference = loaded_ ? ModelledPose() : nullptr;
    if (!reference) return parts;
    std::map<const srTextureImage*, int32_t> pictureOf;
    for (const auto& [name, shape] : shapes_) {
        const int32_t segment = skeleton.FindSegment(name.c_str());
        const rkNode* modelled = rkFindNode(reference, name.c_str());
        rkMatrix toSegment;
        if (segment < 0 || !modelled || !rkInvert(&toSegment, modelled->world)) continue;
        int32_t picture = -1;
        if (const auto found = pictures_.find(name); found != pictures_.end()) {
            auto [at, added] = pictureOf.emplace(found->second, int32_t(pictures->size()));
            if (added) {
                GltfWriter::Picture made = PictureOf(*found->second, name);
                if (made.rgb.empty())
                    at->second = -1;
                else
                    pictures->push_back(std::move(made));
            }
            picture = at->second;
        }
        GltfWriter::BodyPart part = PartOf(shape->mesh, toSegment, segment, picture);
        if (!part.indices.empty()) parts.push_back(std::move(part));
    }
    rkFreeTree(reference);
    return parts;
}

int CBodyReader::PasteBody(CHTR* skeleton) {
    if (!loaded_ || !skeleton || !skeleton->GetRoot()) return 0;
    rkNode* reference = ModelledPose();
    if (!reference) return 0;
    const std::vector<rkNode*> targets = PreOrder(skeleton->GetRoot());
    const std::vector<rkNode*> references = PreOrder(reference);
    rkUpdateNode(skeleton->GetRoot());
    for (size_t k = 0; k < references.size() && k < targets.size(); ++k) {
        rkNode* target = targets[k];
        const auto found = shapes_.find(target->name);
        if (found == shapes_.end()) {
            DebugOutput("CBodyReader::PasteBody Error: shape not found.\n");
            DebugOutput(target->name);
            DebugOutput("\n");
            continue;
        }
        rkMatrix toSegment;
        if (!rkInvert(&toSegment, references[k]->world)) continue;
        rkTransformMesh(&found->second->mesh, toSegment);
        rkAttachObject(target, &found->second->head);
        rkCompileNode(target);
    }
    rkFreeTree(reference);
    return 1;
}

}  // namespace tavrel
