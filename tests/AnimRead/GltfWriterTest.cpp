// Our glTF files as two other readers see them: valid, one key per frame, every part bound to
// its joint, and every joint and body vertex where our own evaluation puts it (turned to Y up,
// in metres, on the ground).
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <random>

#include "AnimRead/GltfWriter.h"
#include "MotionTestSupport.h"
#include "ZU2/rkUtil.h"
#include "tests/support/GltfReadBack.h"

using namespace tavrel;

namespace {

using namespace tavrel::testing;

constexpr int kFrames = 37;
constexpr float kScale = 0.0031f;  // metres per unit
constexpr float kGround = 580.0f;
constexpr double kMillimetre = 0.001;

// A direction of our Z-up world in the file's Y-up one.
std::array<double, 3> YUp(rkVector d) {
    return {d.x, d.z, -d.y};
}
// Where a point of our world lies in the file: Y up, metres, the ground at zero.
std::array<double, 3> InFile(rkVector p) {
    const std::array<double, 3> d = YUp(p - rkVector{0, 0, kGround});
    return {d[0] * kScale, d[1] * kScale, d[2] * kScale};
}

// The standard skeleton turning every joint at random each frame, its root walking and one
// joint (the left forearm) sliding along its bone, with a triangle on the hand and the root.
struct Scene {
    std::unique_ptr<ANIMFILE> motion = std::make_unique<CHBREAD>();
    GltfWriter::Content content;

    explicit Scene(unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> angle(-3.1f, 3.1f);
        motion->SetFrameRate(60);
        rkNode* root = motion->GetFrame(0);
        for (int32_t s = 0; s < motion->GetSegmentCount(); ++s)
            content.rest.push_back(motion->GetSegment(s)->node->local);
        for (int f = 0; f < kFrames; ++f) {
            for (int32_t s = 0; s < motion->GetSegmentCount(); ++s) {
                rkMatrix m, turn;
                rkIdentity(&m);
                for (int axis = 0; axis < 3; ++axis) {
                    rkRotationMatrix(&turn, axis, angle(random));
                    rkMultiply(&m, m, turn);
                }
                const float* t = &content.rest[s].m[12];
                const float slide = s == 15 ? 1.0f + 0.02f * f : 1.0f;
                m.m[12] = t[0] * slide, m.m[13] = t[1] * slide, m.m[14] = t[2] * slide;
                if (s == 0) m.m[12] += 7.0f * f, m.m[13] -= 3.0f * f;
                rkSetNodeMatrix(motion->GetSegment(s)->node, m);
            }
            motion->SetFrame(root, f);
        }
        for (int32_t segment : {0, 17}) {
            GltfWriter::BodyPart part;
            part.segment = segment;
            part.positions = {{10, 0, 0}, {0, 25, 5}, {-4, 3, 30}};
            part.normals = {{0, 0, 2}, {1, 0, 0}, {0, 0, 0}};
            part.indices = {0, 1, 2};
            content.body.push_back(part);
        }
        // The hand is painted: a picture of two pixels, one row.
        content.pictures.push_back({"skin", 2, 1, {255, 0, 0, 10, 200, 30}});
        content.body[1].picture = 0;
        content.body[1].uvs = {0, 0, 1, 0, 0.5f, -1};
        content.metresPerUnit = kScale;
        content.groundHeight = kGround;
    }

    // Our world matrices at a frame, per segment.
    std::vector<rkMatrix> World(int f) const {
        rkNode* root = motion->GetFrame(f);
        rkUpdateNode(root);
        std::vector<rkMatrix> world;
        for (int32_t s = 0; s < motion->GetSegmentCount(); ++s)
            world.push_back(motion->GetSegment(s)->node->world);
        return world;
    }
};

void ExpectNear(const std::array<double, 3>& expected, const std::array<double, 3>& got,
                const char* what) {
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], expected[k], kMillimetre) << what << " " << k;
}

TEST(GltfWriter, OtherReadersSeeOurJointsAndBodyAtEveryKey) {
    motiontest::TempDir dir;
    for (unsigned seed : {1u, 2u}) {
        Scene scene(seed);
        for (const char* name : {"motion.glb", "motion.gltf"}) {
            SCOPED_TRACE(name);
            const std::string path = dir.File(name);
            ASSERT_TRUE(GltfWriter::Write(*scene.motion, path, scene.content));

            tinygltf::Model model;
            std::string error;
            ASSERT_TRUE(LoadGltf(path, &model, &error)) << error;
            ASSERT_EQ(model.animations.size(), 1u);
            for (const tinygltf::AnimationSampler& s : model.animations[0].samplers) {
                const tinygltf::Accessor& times = model.accessors[s.input];
                ASSERT_EQ(times.count, size_t(kFrames));
                EXPECT_NEAR(times.maxValues[0], (kFrames - 1) / 60.0, 1e-6);
            }
            // Roots and the sliding forearm move; the other joints only turn.
            EXPECT_EQ(model.animations[0].channels.size(), size_t(20 + 2));
            // Readers turn between keys the way the two quaternions say: keep it the short way.
            for (const tinygltf::AnimationChannel& c : model.animations[0].channels) {
                if (c.target_path != "rotation") continue;
                const float* q = GltfFloats(model, model.animations[0].samplers[c.sampler].output);
                for (int k = 1; k < kFrames; ++k, q += 4)
                    EXPECT_GE(q[0] * q[4] + q[1] * q[5] + q[2] * q[6] + q[3] * q[7], 0) << k;
            }

            // The picture arrives as it was, on the painted part with its places on it.
            ASSERT_EQ(model.images.size(), 1u);
            const tinygltf::Image& image = model.images[0];  // the loader adds alpha
            std::vector<uint8_t> rgb;
            for (size_t i = 0; i + 3 <= image.image.size(); i += size_t(image.component))
                rgb.insert(rgb.end(), image.image.begin() + i, image.image.begin() + i + 3);
            EXPECT_EQ(rgb, scene.content.pictures[0].rgb);
            const auto& painted = model.meshes[0].primitives[1];
            EXPECT_EQ(model.materials[painted.material].pbrMetallicRoughness.baseColorTexture.index,
                      0);
            const float* uv = GltfFloats(model, painted.attributes.at("TEXCOORD_0"));
            EXPECT_EQ(std::vector<float>(uv, uv + 6), scene.content.body[1].uvs);
            EXPECT_EQ(model.meshes[0].primitives[0].attributes.count("TEXCOORD_0"), 0u);

            Assimp::Importer importer;
            const aiScene* theirs = importer.ReadFile(path, aiProcess_ValidateDataStructure);
            ASSERT_NE(theirs, nullptr) << importer.GetErrorString();
            ASSERT_EQ(theirs->mNumAnimations, 1u);
            const aiAnimation& animation = *theirs->mAnimations[0];
            EXPECT_NEAR(animation.mDuration / animation.mTicksPerSecond, (kFrames - 1) / 60.0,
                        1e-4);
            ASSERT_EQ(theirs->mNumMeshes, 2u);
            for (unsigned m = 0; m < theirs->mNumMeshes; ++m) {
                // Each part is bound wholly to its segment's joint.
                const aiMesh& mesh = *theirs->mMeshes[m];
                const char* segment = scene.motion->GetSegment(scene.content.body[m].segment)->name;
                for (unsigned b = 0; b < mesh.mNumBones; ++b) {
                    const aiBone& bone = *mesh.mBones[b];
                    const bool own = std::string(bone.mName.C_Str()) == segment;
                    float sum = 0;
                    for (unsigned w = 0; w < bone.mNumWeights; ++w) sum += bone.mWeights[w].mWeight;
                    EXPECT_EQ(sum, own ? 3.0f : 0.0f) << bone.mName.C_Str();
                }
            }

            for (int f : {0, 1, 18, kFrames - 1}) {
                SCOPED_TRACE(f);
                const std::vector<rkMatrix> ours = scene.World(f);
                const std::vector<GltfMatrix> world = GltfPosedWorld(model, f);
                for (int32_t s = 0; s < scene.motion->GetSegmentCount(); ++s) {
                    const char* joint = scene.motion->GetSegment(s)->name;
                    const std::array<double, 3> expected =
                        InFile({ours[s].m[12], ours[s].m[13], ours[s].m[14]});
                    ExpectNear(expected, GltfApply(world[s], {0, 0, 0}), joint);
                    EXPECT_NE(theirs->mRootNode->FindNode(joint), nullptr) << joint;
                }
                // Skinned as a reader skins: joint world x inverse bind x the stored vertex.
                const float* inverse = GltfFloats(model, model.skins[0].inverseBindMatrices);
                for (size_t p = 0; p < scene.content.body.size(); ++p) {
                    const GltfWriter::BodyPart& part = scene.content.body[p];
                    const auto& attributes = model.meshes[0].primitives[p].attributes;
                    const float* stored = GltfFloats(model, attributes.at("POSITION"));
                    const float* normal = GltfFloats(model, attributes.at("NORMAL"));
                    GltfMatrix skin;
                    std::copy_n(inverse + 16 * part.segment, 16, skin.begin());
                    skin = GltfMultiply(world[part.segment], skin);
                    auto skinned = [&](const float* v) {
                        return GltfApply(skin, {v[0], v[1], v[2]});
                    };
                    for (size_t v = 0; v < part.positions.size(); ++v) {
                        ExpectNear(InFile(rkTransformPoint(part.positions[v], ours[part.segment])),
                                   skinned(stored + 3 * v), "vertex");
                    }
                    // Normals turn with the joint too (of unit length, as glTF wants them).
                    const rkVector local = rkNormalize(part.normals[1]);
                    const rkVector ourNormal = rkTransformPoint(local, ours[part.segment]) -
                                               rkTransformPoint({0, 0, 0}, ours[part.segment]);
                    const std::array<double, 3> tip = skinned(normal + 3);
                    const std::array<double, 3> base = GltfApply(skin, {0, 0, 0});
                    ExpectNear(YUp(ourNormal),
                               {tip[0] - base[0], tip[1] - base[1], tip[2] - base[2]}, "normal");
                }
            }
        }
    }
}

TEST(GltfWriter, RefusesWhatItCannotWriteAndKeepsTheOldFile) {
    motiontest::TempDir dir;
    const std::string path = dir.File("kept.glb");
    motiontest::WriteAll(path, "old");
    struct Case {
        const char* what;
        std::function<void(Scene&)> spoil;
    };
    const Case cases[] = {
        {"a value that is not a number",
         [](Scene& s) { s.motion->GetSegment(3)->frames[5].m[1] = std::nanf(""); }},
        {"an endless root position",
         [](Scene& s) { s.motion->GetSegment(0)->frames[2].m[12] = INFINITY; }},
        {"a body part on no segment", [](Scene& s) { s.content.body[0].segment = 20; }},
        {"a triangle past the vertices", [](Scene& s) { s.content.body[1].indices[2] = 3; }},
        {"a rest pose of other length", [](Scene& s) { s.content.rest.pop_back(); }},
        {"no size", [](Scene& s) { s.content.metresPerUnit = 0; }},
        {"a picture short of its size", [](Scene& s) { s.content.pictures[0].rgb.pop_back(); }},
        {"a painted part without places", [](Scene& s) { s.content.body[1].uvs.clear(); }},
    };
    for (const Case& c : cases) {
        Scene scene(3);
        c.spoil(scene);
        const ERROBJ raised =
            motiontest::CatchError([&] { GltfWriter::Write(*scene.motion, path, scene.content); });
        EXPECT_EQ(raised.code, ERR_CORRUPTED) << c.what;
        EXPECT_EQ(motiontest::ReadAll(path), "old") << c.what;
    }
    Scene scene(3);
    EXPECT_FALSE(GltfWriter::Write(*scene.motion, dir.File("no/such/folder.glb"), scene.content));
}

}  // namespace
