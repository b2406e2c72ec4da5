// Scenes as the importer hands them over: the input is read as a recipe for a node tree, meshes
// with bones and takes, built in memory, so that the fuzzer searches our checks and our sampling
// rather than the importer's parsers. Whatever is read must be a sound motion, and so must be
// its mapping onto the standard skeleton.
#include <assimp/scene.h>

#include <cmath>
#include <limits>
#include <random>

#include "AnimRead/SceneFileRead/SceneFileRead.h"
#include "motion/MotionImport.h"
#include "tests/fuzz/FuzzSupport.h"

namespace tavrel::fuzz {
namespace {

class RECIPE {
public:
    RECIPE(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    float Number() {
        static constexpr float kTable[] = {0,    1,     -1,   0.5f, 10,    100,  -100,
                                           1e-8f, 1e30f, -1e30f, std::numeric_limits<float>::quiet_NaN(),
                                           INFINITY, -INFINITY, 3.14159f, 0.01f, 95};
        const uint8_t b = Byte();
        return b < 64 ? kTable[b % 16] : (b - 160) / 8.0f;
    }
    aiString Name() {
        static const std::string kNames[] = {
            "Hips", "Spine", "Spine2", "Neck", "Head", "LeftUpLeg", "LeftLeg", "LeftFoot",
            "RightUpLeg", "RightLeg", "RightFoot", "LeftArm", "LeftForeArm", "LeftHand", "RightArm",
            "RightForeArm", "RightHand", "LeftShoulder", "RightShoulder", "Tail",
            "LeftUpLeg_$AssimpFbx$_PreRotation", "", std::string(100, 'n'), "mixamorig:Hips",
            "Armature", "Take 1"};
        return aiString(kNames[Byte() % std::size(kNames)]);
    }
    aiMatrix4x4 Matrix() {
        aiMatrix4x4 m;
        switch (Byte() % 4) {
            case 1:
                m.a4 = Number(), m.b4 = Number(), m.c4 = Number();
                break;
            case 2: {
                aiQuaternion q(Number(), Number(), Number(), Number());
                m = aiMatrix4x4(aiVector3D(1, 1, 1), q.Normalize(),
                                aiVector3D(Number(), Number(), Number()));
                break;
            }
            case 3:
                for (int e = 0; e < 16; ++e) m[e / 4][e % 4] = Number();
                break;
            default:
                break;
        }
        return m;
    }
    template <class Key, class Fill>
    Key* Keys(unsigned* count, unsigned most, Fill fill) {
        *count = Byte() % most;
        if (Byte() == 255) return nullptr;  // a count without its keys
        Key* keys = new Key[*count];
        for (unsigned k = 0; k < *count; ++k) {
            keys[k].mTime = Number();
            fill(keys[k]);
        }
        return keys;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// An array of count, or null for none: the importer's records free their arrays only when
// they count something.
template <class T>
T** Array(unsigned count) {
    return count ? new T*[count] : nullptr;
}

std::unique_ptr<aiScene> Build(RECIPE& recipe) {
    auto scene = std::make_unique<aiScene>();
    const unsigned count = recipe.Byte() % 48;
    std::vector<aiNode*> nodes;
    std::vector<std::vector<aiNode*>> children(count);
    for (unsigned i = 0; i < count; ++i) {
        aiNode* node = new aiNode();
        node->mName = recipe.Name();
        node->mTransformation = recipe.Matrix();
        if (recipe.Byte() % 8 == 0) {
            node->mNumMeshes = 1;
            node->mMeshes = new unsigned[1]{0};
        }
        if (i > 0) children[recipe.Byte() % i].push_back(node);
        nodes.push_back(node);
    }
    for (unsigned i = 0; i < count; ++i) {
        nodes[i]->mNumChildren = static_cast<unsigned>(children[i].size());
        if (!children[i].empty()) {
            nodes[i]->mChildren = new aiNode*[children[i].size()];
            for (size_t c = 0; c < children[i].size(); ++c) {
                nodes[i]->mChildren[c] = children[i][c];
                children[i][c]->mParent = nodes[i];
            }
        }
    }
    scene->mRootNode = count ? nodes[0] : nullptr;
    scene->mNumMeshes = recipe.Byte() % 3;
    scene->mMeshes = Array<aiMesh>(scene->mNumMeshes);
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        aiMesh* mesh = scene->mMeshes[m] = new aiMesh();
        mesh->mNumBones = recipe.Byte() % 8;
        mesh->mBones = Array<aiBone>(mesh->mNumBones);
        for (unsigned b = 0; b < mesh->mNumBones; ++b) {
            mesh->mBones[b] = recipe.Byte() == 255 ? nullptr : new aiBone();
            if (mesh->mBones[b]) mesh->mBones[b]->mName = recipe.Name();
        }
    }
    scene->mNumAnimations = recipe.Byte() % 4;
    scene->mAnimations = Array<aiAnimation>(scene->mNumAnimations);
    for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
        aiAnimation* anim = scene->mAnimations[a] = new aiAnimation();
        anim->mName = recipe.Name();
        anim->mTicksPerSecond = recipe.Number();
        anim->mDuration = recipe.Number();
        anim->mNumChannels = recipe.Byte() % 24;
        anim->mChannels = Array<aiNodeAnim>(anim->mNumChannels);
        for (unsigned c = 0; c < anim->mNumChannels; ++c) {
            aiNodeAnim* channel = anim->mChannels[c] = recipe.Byte() == 255 ? nullptr : new aiNodeAnim();
            if (!channel) continue;
            channel->mNodeName = recipe.Name();
            auto vector = [&](aiVectorKey& key) { key.mValue = {recipe.Number(), recipe.Number(), recipe.Number()}; };
            channel->mPositionKeys = recipe.Keys<aiVectorKey>(&channel->mNumPositionKeys, 6, vector);
            channel->mScalingKeys = recipe.Keys<aiVectorKey>(&channel->mNumScalingKeys, 4, vector);
            channel->mRotationKeys = recipe.Keys<aiQuatKey>(&channel->mNumRotationKeys, 6, [&](aiQuatKey& key) {
                key.mValue = aiQuaternion(recipe.Number(), recipe.Number(), recipe.Number(), recipe.Number());
            });
        }
    }
    return scene;
}

constexpr size_t kMaxMappedFrames = 2048;

bool Finite(const rkMatrix& m) {
    for (float e : m.m) {
        if (!std::isfinite(e)) return false;
    }
    return true;
}

void Check(SCENEFILEREAD& motion) {
    const int32_t segments = motion.GetSegmentCount();
    if (segments < 1 || segments > SCENEFILEREAD::kMaxJoints) Fail("a joint count out of range");
    if (motion.GetTakes().empty()) Fail("a motion without take");
    const auto frames = static_cast<size_t>(int64_t{motion.GetEndFrame()} - motion.GetBeginFrame() + 1);
    for (int32_t s = 0; s < segments; ++s) {
        const ANIMSEG& segment = *motion.GetSegment(s);
        if (segment.parent >= s || (s > 0 && segment.parent < 0)) Fail("a parent after its child");
        if (segment.frames.size() != frames) Fail("a segment short of frames");
        if (!Finite(motion.GetRestMatrix(s))) Fail("a rest pose that is no number");
        for (const rkMatrix& m : segment.frames) {
            if (!Finite(m)) Fail("a pose that is no number");
        }
    }
    // Mapped when short enough for one input to stay quick.
    if (frames > kMaxMappedFrames) return;
    const CSkeletonMapper::Result mapped = CMotionImport::Import(motion, {}, 30);
    if (!mapped.motion) return;
    for (int32_t f = mapped.motion->GetBeginFrame(); f <= mapped.motion->GetEndFrame(); ++f) {
        mapped.motion->GetFrame(f);
        for (int32_t s = 0; s < mapped.motion->GetSegmentCount(); ++s) {
            if (!Finite(mapped.motion->GetSegment(s)->node->local)) Fail("a mapped pose that is no number");
        }
    }
}

int LegsAndArms(const std::vector<std::string>& names) {
    int score = 0;
    for (const std::string& name : names) score += name.find("Leg") != std::string::npos || name.find("Arm") != std::string::npos;
    return score;
}

}  // namespace

std::vector<std::string> Seeds() {
    // Recipes of random bytes, and of bytes that pick the names of a figure in order.
    std::vector<std::string> seeds;
    std::mt19937 random(7);
    for (int s = 0; s < 8; ++s) {
        std::string bytes(64 + 64 * s, '\0');
        for (char& b : bytes) b = static_cast<char>(random());
        seeds.push_back(bytes);
    }
    std::string figure{char(20)};
    for (int i = 0; i < 20; ++i) figure += {char(i), char(1), char(170), char(180), char(160), char(1), char(i ? i - 1 : 0)};
    figure += {char(0), char(1), char(0), char(66), char(72), char(20)};
    for (int i = 0; i < 20; ++i) figure += {char(i), char(3), char(0), char(0), char(0), char(1), char(0), char(4), char(0), char(70), char(64), char(170), char(160), char(160), char(160), char(1), char(0), char(1), char(0), char(70), char(70), char(160), char(160), char(160)};
    seeds.push_back(figure);
    return seeds;
}

}  // namespace tavrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel::fuzz;
    RECIPE recipe(data, size);
    const std::unique_ptr<aiScene> scene = Build(recipe);
    const std::string take = recipe.Byte() % 2 ? "" : std::string(recipe.Name().C_Str());
    try {
        tavrel::SCENEFILEREAD motion(*scene, take, recipe.Byte() % 2 ? LegsAndArms : nullptr);
        Check(motion);
    } catch (const tavrel::ERROBJ&) {
        // Refused with a reason: the expected outcome for most recipes.
    }
    return 0;
}
