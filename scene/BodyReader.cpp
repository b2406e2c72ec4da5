#include "scene/BodyReader.h"

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

}  // namespace

CBodyReader::CBodyReader(const std::string& path) {
    loaded_ = Load(path);
}

bool CBodyReader::Load(const std::string& path) {
    if (!scnLoadScene(path.c_str(), &scene_)) {
        DebugOutput("CBodyReader() LoadScene: failed.\n");
        return false;
    }
    // The body's pictures lie beside it, as the program's own files do.
    const std::string folder = std::filesystem::path(path).parent_path().string();
    modelSet_ = srCreateModelSet(&scene_, folder.empty() ? "." : folder.c_str());
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
}

CBodyReader::~CBodyReader() {
    for (auto& [name, visual] : shapes_) {
        // A shape still on a skeleton now belongs to it: whoever frees the skeleton frees it.
        visual->head.flags &= ~RK_OBJECT_NOT_OWNED;
        rkFreeVisual(visual);
    }
    srDestroyModelSet(modelSet_);
    scnFreeScene(&scene_);
}

int CBodyReader::PasteBody(CHTR* skeleton) {
    if (!loaded_ || !skeleton || !skeleton->GetRoot()) return 0;
    std::unique_ptr<ANIMFILE> motion = CreateAnimFile(nullptr, kTypeCHA, 0);
    if (!motion) return 0;
    rkNode* reference = rkCloneNode(motion->GetFrame(0));
    const std::vector<rkNode*> targets = PreOrder(skeleton->GetRoot());
    const std::vector<rkNode*> references = PreOrder(reference);
    rkUpdateNode(skeleton->GetRoot());
    rkUpdateNode(reference);
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
