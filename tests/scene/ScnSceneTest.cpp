#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "base/DebugOutput.h"
#include "scene/ScnScene.h"
#include "scene/srModelSet.h"
#include "tests/scene/SceneFiles.h"
#include "tools/assets/AvatarModel.h"

namespace tavrel::test {
namespace {

// Loads, builds the models and frees everything: what any damaged file must survive.
int LoadAndBuild(const std::string& path) {
    ScnScene scene{};
    const int loaded = scnLoadScene(path.c_str(), &scene);
    if (loaded) {
        srModelSet* set = srCreateModelSet(&scene, "/nonexistent");
        srDestroyModelSet(set);
    }
    scnFreeScene(&scene);
    return loaded;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class ScnSceneTest : public ::testing::Test {
protected:
    // Writes the scene and loads it; the scene is freed after the test.
    int Load(const ScnWriter& writer, const std::string& name = "test.scn") {
        return scnLoadScene(folder_.Write(name, writer.Bytes()).c_str(), &scene_);
    }
    int Load(const std::vector<uint8_t>& bytes) {
        return scnLoadScene(folder_.Write("test.scn", bytes).c_str(), &scene_);
    }
    // Loads a scene of the one chunk and builds its model; null if either fails.
    const srModel* Build(const ScnChunkDesc& chunk) {
        ScnWriter writer("x.scn");
        writer.Add(chunk);
        if (Load(writer) != 1) return nullptr;
        set_ = srCreateModelSet(&scene_, folder_.Path().c_str());
        return set_ ? &set_->models[0] : nullptr;
    }
    void TearDown() override {
        srDestroyModelSet(set_);
        scnFreeScene(&scene_);
    }

    TempFolder folder_;
    ScnScene scene_{};
    srModelSet* set_ = nullptr;
    DebugCapture debug_;
};

TEST_F(ScnSceneTest, ReadsHeaderAndGeometryChunks) {
    ScnWriter writer("D:\\models\\figure\\body.scn");
    writer.Add(Triangles("Head", 2));
    writer.Add(Triangles("LFoot", 1));
    ASSERT_EQ(Load(writer), 1);
    EXPECT_STREQ(scene_.name, "body.scn");
    ASSERT_EQ(scene_.geomCount, 2);
    const ScnGeomChunk& head = scene_.geoms[0];
    EXPECT_STREQ(head.record.name, "Head");
    EXPECT_EQ(head.record.materialCount, 2);
    EXPECT_EQ(head.record.vertexCount, 6);
    EXPECT_EQ(head.record.faceCount, 2);
    EXPECT_STREQ(head.materials[1].name, "m1");
    EXPECT_EQ(head.faces[1].index[2], 5u);
    EXPECT_TRUE(debug_.Contains("_scnLoadGeomChunk: Chunk Head start\n"));
    EXPECT_TRUE(debug_.Contains("_scnLoadGeomChunk: Total 6 vertices read\n"));
    EXPECT_TRUE(debug_.Contains("_scnLoadGeomChunk: Total 2 faces read\n"));
    EXPECT_TRUE(debug_.Contains("_scnLoadGeomChunk: total 0 named group\n"));
}

TEST_F(ScnSceneTest, NamedGroupsAreCarriedIntoTheModelCopy) {
    ScnChunkDesc chunk = Triangles("Neck", 1);
    chunk.groups.push_back({"collar", {7, 8, 9}, {1, 2, 3}});
    chunk.groups.push_back({"empty", {}, {}});
    const srModel* model = Build(chunk);
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(debug_.Contains("group (1), name = collar\n"));
    EXPECT_TRUE(debug_.Contains("group (2), name = empty\n"));
    const ScnGroup& copy = model->chunk.groups[0];
    EXPECT_NE(copy.entries[1], scene_.geoms[0].groups[0].entries[1]);
    EXPECT_EQ(copy.entries[0][2], 9u);
    EXPECT_EQ(copy.entries[1][2], 3u);
}

TEST_F(ScnSceneTest, ChunkWithoutMaterialsGetsTheDefaultMaterial) {
    const srModel* model = Build(Triangles("Box", 0));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(scene_.geoms[0].record.materialCount, 1);
    EXPECT_STREQ(scene_.geoms[0].materials[0].name, "default_mat");
    ASSERT_EQ(model->subMeshCount, 1);
    const rkMaterial& zu2 = model->materials[0];
    EXPECT_FLOAT_EQ(zu2.ambient[0], 0.2f);
    EXPECT_FLOAT_EQ(zu2.diffuse[1], 0.8f);
    EXPECT_FLOAT_EQ(zu2.specular[2], 0.8f);
    EXPECT_FLOAT_EQ(zu2.ambient[3], 1.0f);
    EXPECT_FLOAT_EQ(zu2.power, 30.0f);
    EXPECT_EQ(model->meshes[0].indexCount, 3);
}

TEST_F(ScnSceneTest, FacesGoToTheSubMeshOfTheirMaterialOnly) {
    ScnChunkDesc chunk = Triangles("Hand", 2);
    chunk.faces.push_back({{0, 1, 2}, 5});   // no such material
    chunk.faces.push_back({{3, 4, 5}, -1});  // nor this
    chunk.faces.push_back({{2, 1, 0}, 0});
    const srModel* model = Build(chunk);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->valid, 1);
    ASSERT_EQ(model->subMeshCount, 2);
    const rkMesh& first = model->meshes[0];
    const rkMesh& second = model->meshes[1];
    ASSERT_EQ(first.indexCount, 6);
    EXPECT_EQ(first.indices[3], 2);
    ASSERT_EQ(second.indexCount, 3);
    EXPECT_EQ(second.indices[0], 3);
    // Only the first sub-mesh owns the vertices; the second draws from the same array.
    EXPECT_EQ(second.vertices, first.vertices);
    EXPECT_EQ(second.vertexCount, 6);
    EXPECT_TRUE(first.flags & RK_MESH_OWNS_VERTICES);
    EXPECT_FALSE(second.flags & RK_MESH_OWNS_VERTICES);
    EXPECT_EQ(first.primitive, RK_TRIANGLELIST);
    EXPECT_EQ(first.format, RK_VERTEX_LIT);
    EXPECT_EQ(first.flags & (RK_MESH_INDEXED | RK_MESH_MATERIAL),
              RK_MESH_INDEXED | RK_MESH_MATERIAL);
    EXPECT_STREQ(static_cast<const ScnMaterial*>(second.user)->name, "m1");
}

TEST_F(ScnSceneTest, VerticesGoToWorldSpaceWithNormalsColourAndFlippedV) {
    ScnChunkDesc chunk = Triangles("Arm", 1);
    rkRotationMatrix(&chunk.transform, 2, 3.14159265f / 2);
    chunk.transform.m[12] = 10, chunk.transform.m[13] = 20, chunk.transform.m[14] = 30;
    chunk.vertices[1].normal = {1, 0, 0};
    const srModel* model = Build(chunk);
    ASSERT_NE(model, nullptr);
    const rkVertex& v = model->meshes[0].vertices[1];  // (1, 0, 0) in the chunk
    EXPECT_NEAR(v.position.x, 10.0f, 1e-4f);
    EXPECT_NEAR(v.position.y, 21.0f, 1e-4f);
    EXPECT_NEAR(v.position.z, 30.0f, 1e-4f);
    EXPECT_NEAR(v.normal.x, 0.0f, 1e-5f);
    EXPECT_NEAR(v.normal.y, 1.0f, 1e-5f);
    EXPECT_EQ(v.colour, 0xFF112233u);
    EXPECT_FLOAT_EQ(v.u0, 1.0f);
    EXPECT_FLOAT_EQ(v.u1, 1.0f);
    EXPECT_FLOAT_EQ(v.v0, -0.25f);
    EXPECT_FLOAT_EQ(v.v1, -0.25f);
}

TEST_F(ScnSceneTest, ScaledTransformKeepsNormalsOfUnitLength) {
    ScnChunkDesc chunk = Triangles("Leg", 1);
    chunk.transform.m[0] = 3, chunk.transform.m[5] = 0.5f, chunk.transform.m[10] = 2;
    chunk.vertices[0].normal = {0.6f, -0.8f, 0};
    const srModel* model = Build(chunk);
    ASSERT_NE(model, nullptr);
    const rkVertex& v = model->meshes[0].vertices[1];
    EXPECT_NEAR(v.position.x, 3.0f, 1e-5f);
    const rkVector n = model->meshes[0].vertices[0].normal;
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-5f);
}

TEST_F(ScnSceneTest, UnsupportedChunkIsReportedOnceAndPassedOver) {
    ScnWriter writer("mixed.scn");
    writer.Add(Triangles("First", 1));
    writer.AddRaw(2, std::vector<uint8_t>(40, 0xAB));
    writer.Add(Triangles("Second", 1));
    ASSERT_EQ(Load(writer), 1);
    ASSERT_EQ(scene_.geomCount, 2);
    EXPECT_STREQ(scene_.geoms[1].record.name, "Second");
    EXPECT_EQ(Occurrences(debug_.Text(), "Got unsupported chunk : 2"), 1u);
}

TEST_F(ScnSceneTest, OtherChunkTypesAreHeldWithTheirArrays) {
    ScnWriter writer("all.scn");
    writer.AddRaw(3, std::vector<uint8_t>(140 - 8, 3));
    writer.AddRaw(4, std::vector<uint8_t>(120 - 8, 4));
    std::vector<uint8_t> simple(112 - 8 + 2 * 12 + 3 * 12, 0);
    Put32(simple, 104 - 8, 3);                                           // vertices
    Put32(simple, 108 - 8, 2);                                           // faces
    for (uint32_t i = 0; i < 3; ++i) Put32(simple, 112 - 8 + 4 * i, i);  // the first face
    writer.AddRaw(5, simple);
    std::vector<uint8_t> lights(12 - 8 + 2 * 132, 7);
    Put32(lights, 0, 2);
    writer.AddRaw(20, lights);
    std::vector<uint8_t> big(44 - 8 + 1536, 9);
    Put32(big, 32, 1);
    writer.AddRaw(24, big);
    writer.AddRaw(22, std::vector<uint8_t>(44 - 8, 0));  // count 0
    ASSERT_EQ(Load(writer), 1);
    EXPECT_EQ(scene_.count3, 1);
    EXPECT_EQ(scene_.records3[0].bytes[139], 3);
    EXPECT_EQ(scene_.count4, 1);
    ASSERT_EQ(scene_.simpleCount, 1);
    EXPECT_EQ(scene_.simples[0].record.vertexCount, 3);
    EXPECT_EQ(scene_.simples[0].faces[2], 2u);
    EXPECT_TRUE(debug_.Contains("_scnLoadSimpGeomChunk: Total 3 vertices read\n"));
    ASSERT_EQ(scene_.arrayCount[0], 1);
    EXPECT_EQ(scene_.arrays[0][0].count, 2);
    EXPECT_EQ(scene_.arrays[0][0].items[263], 7);
    ASSERT_EQ(scene_.arrayCount[4], 1);
    EXPECT_EQ(scene_.arrays[4][0].items[1535], 9);
    EXPECT_EQ(scene_.arrayCount[2], 1);
    EXPECT_EQ(scene_.arrays[2][0].items, nullptr);
    EXPECT_FALSE(debug_.Contains("unsupported"));
}

TEST_F(ScnSceneTest, NameWithoutDotOpensTheScnFile) {
    ScnWriter writer("x.scn");
    writer.Add(Triangles("Only", 1));
    folder_.Write("avatar.scx", writer.Bytes());
    EXPECT_EQ(scnLoadScene(folder_.File("avatar.scx").c_str(), &scene_), 1);
    scnFreeScene(&scene_);
    EXPECT_EQ(scnLoadScene(folder_.File("avatar").c_str(), &scene_), 0);  // looks for avatar.scn
    EXPECT_TRUE(debug_.Contains("avatar.scn"));
    folder_.Write("avatar.scn", writer.Bytes());
    EXPECT_EQ(scnLoadScene(folder_.File("avatar").c_str(), &scene_), 1);
}

TEST_F(ScnSceneTest, WrongHeadersAreRefused) {
    ScnWriter writer("x.scn");
    writer.Add(Triangles("Only", 1));
    std::vector<uint8_t> bytes = writer.Bytes();
    Put32(bytes, 4, 0x00010001);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_TRUE(debug_.Contains("ERROR: Ivalide SCN file version!\n"));
    bytes = writer.Bytes();
    bytes[2] = 'X';
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_TRUE(debug_.Contains("ERROR: Invalid SCN header\n"));
    debug_.Clear();
    bytes = writer.Bytes();
    bytes[3] = 'S';  // "SCNS": no terminating NUL
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_TRUE(debug_.Contains("ERROR: Invalid SCN header\n"));
    debug_.Clear();
    bytes.resize(100);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_TRUE(debug_.Contains("ERROR: Invalid SCN header\n"));
    EXPECT_EQ(scene_.geoms, nullptr);
}

TEST_F(ScnSceneTest, SearchPathsComeFromTheProgramFolderAndScnReadIni) {
    ScnWriter writer("x.scn");
    ASSERT_EQ(Load(writer), 1);
    folder_.Write("ScnRead.ini",
                  "; textures\n[Other]\nPath1=/wrong\n[texture]\n path3 = /maps/skin \n");
    set_ = srCreateModelSet(&scene_, folder_.Path().c_str());
    ASSERT_NE(set_, nullptr);
    ASSERT_EQ(set_->pathCount, 2);
    EXPECT_EQ(std::string(set_->paths[0]), folder_.Path().string());
    EXPECT_STREQ(set_->paths[1], "/maps/skin");
    srDestroyModelSet(set_);
    folder_.Write("ScnRead.ini",
                  "[Texture]\nPath1=/a\nPath2=\nPath9=\"/nine\"\nPath10=/ten\nPath5=" +
                      std::string(300, 'p') + "\n");
    set_ = srCreateModelSet(&scene_, folder_.Path().c_str());
    ASSERT_EQ(set_->pathCount, 4);
    EXPECT_STREQ(set_->paths[1], "/a");
    EXPECT_EQ(std::string(set_->paths[2]).size(), 255u);
    EXPECT_STREQ(set_->paths[3], "/nine");
}

// ---- textures ----

int gReads = 0;

// Reads any file as a 2 x 1 picture unless its name says "broken".
uint8_t* FakeReader(const char* path, int* width, int* height, int* bits) {
    ++gReads;
    if (std::strstr(path, "broken")) return nullptr;
    *width = 2, *height = 1, *bits = 24;
    return static_cast<uint8_t*>(std::calloc(6, 1));
}
void FakeFree(uint8_t* pixels) {
    std::free(pixels);
}

class TextureTest : public ScnSceneTest {
protected:
    void SetUp() override {
        srSetImageReader(FakeReader, FakeFree);
        gReads = 0;
    }
    void TearDown() override {
        ScnSceneTest::TearDown();
        srSetImageReader(nullptr, nullptr);
    }
    ScnChunkDesc Textured(const std::vector<std::string>& files) {
        ScnChunkDesc chunk = Triangles("Skin", static_cast<int>(files.size()));
        for (size_t i = 0; i < files.size(); ++i) {
            chunk.materials[i] = Material("m" + std::to_string(i), 1.0f, files[i]);
        }
        return chunk;
    }
};

TEST_F(TextureTest, TexturesAreLookedForAsBmpAndShared) {
    folder_.Write("skin.bmp", "picture");
    const srModel* model =
        Build(Textured({"C:\\maps\\skin.tga", "C:\\maps\\skin.bmp", "missing.tga"}));
    ASSERT_NE(model, nullptr);
    ASSERT_NE(model->textures[0], nullptr);
    EXPECT_EQ(model->textures[0]->kind, 2);
    // The first lookup stored the rewritten name, which the second one asks for exactly.
    EXPECT_EQ(model->textures[1], model->textures[0]);
    EXPECT_STREQ(set_->pool[0].desc.fileName, "C:\\maps\\skin.bmp");
    EXPECT_STREQ(model->chunk.materials[0].texture.fileName, "C:\\maps\\skin.bmp");
    EXPECT_EQ(model->textures[2], nullptr);
    EXPECT_EQ(set_->pool[1].image, nullptr);
    EXPECT_EQ(gReads, 1);
    EXPECT_FALSE(debug_.Contains("Cannot load"));
    EXPECT_TRUE(debug_.Contains("_srGetTexture: (m0Map), (C:\\maps\\skin.tga)\n"));
    // The mesh keeps no texture of its own: the owner of the shapes binds device textures.
    EXPECT_EQ(model->meshes[0].textures[0], nullptr);
}

TEST_F(TextureTest, FileNameFillingItsWholeFieldIsReadWithinIt) {
    // 128 bytes with no zero; the bytes after the field hold another dot and a separator,
    // which a search that runs past the field would take for part of the name.
    folder_.Write("skin.bmp", "picture");
    ScnMaterial material{};
    std::string name = "maps\\skin.tga";
    name.resize(sizeof(material.texture.fileName), 'x');
    std::memcpy(material.texture.fileName, name.data(), name.size());
    std::memcpy(material.texture.name, "face", 4);
    std::memcpy(material.texture2.reserved, "\\.q", 4);
    srModelSet* set = static_cast<srModelSet*>(std::calloc(1, sizeof(srModelSet)));
    set->pathCount = 1;
    std::snprintf(set->paths[0], sizeof(set->paths[0]), "%s", folder_.Path().c_str());
    EXPECT_NE(_srGetTexture(set, &material.texture), nullptr);
    EXPECT_STREQ(material.texture.fileName, "maps\\skin.bmp");
    EXPECT_EQ(std::memcmp(material.texture2.reserved, "\\.q", 4), 0);
    srDestroyModelSet(set);
}

// Only the file part of a texture name counts, and a link in the texture folder must not lead
// out of it; a link to a picture inside the folder is fine.
TEST_F(TextureTest, TextureNamesCannotLeaveTheirFolder) {
    TempFolder outside;
    const std::string secret = outside.Write("secret.bmp", "private");
    folder_.Write("skin.bmp", "picture");
    std::filesystem::create_symlink(secret, folder_.File("out.bmp"));
    std::filesystem::create_symlink(folder_.File("skin.bmp"), folder_.File("in.bmp"));
    const srModel* model = Build(Textured({"out.tga", "..\\..\\" + outside.File("secret.tga"),
                                           outside.File("secret.bmp"), "in.tga", "../skin.tga"}));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->textures[0], nullptr);
    EXPECT_EQ(model->textures[1], nullptr);
    EXPECT_EQ(model->textures[2], nullptr);
    EXPECT_NE(model->textures[3], nullptr);
    EXPECT_NE(model->textures[4], nullptr);
    EXPECT_EQ(gReads, 2);
}

TEST_F(TextureTest, UnreadablePictureIsReportedAndLeftOut) {
    folder_.Write("broken.bmp", "not a picture");
    const srModel* model = Build(Textured({"broken.tga"}));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->textures[0], nullptr);
    EXPECT_TRUE(debug_.Contains("Cannot load " + folder_.File("broken.bmp") + "\n"));
}

TEST_F(TextureTest, PoolHoldsAHundredAndTwentyEightPictures) {
    std::vector<std::string> files;
    for (int i = 0; i < kSrPoolSize + 1; ++i) {
        files.push_back("tex" + std::to_string(i) + ".bmp");
        folder_.Write(files.back(), "picture");
    }
    const srModel* model = Build(Textured(files));
    ASSERT_NE(model, nullptr);
    EXPECT_NE(model->textures[kSrPoolSize - 1], nullptr);
    EXPECT_EQ(model->textures[kSrPoolSize], nullptr);
    EXPECT_EQ(Occurrences(debug_.Text(), "Texture Pool full, cannot add any more"), 1u);
}

// ---- damaged files: refused or stopped, never a crash or an endless walk ----

ScnWriter ThreeChunks() {
    ScnWriter writer("three.scn");
    ScnChunkDesc grouped = Triangles("A", 2);
    grouped.groups.push_back({"g", {1, 2}, {3, 4}});
    writer.Add(grouped);
    writer.AddRaw(21, std::vector<uint8_t>(44 - 8, 0));
    writer.Add(Triangles("B", 0));
    return writer;
}

TEST_F(ScnSceneTest, FileCutAnywhereIsReadSafely) {
    const std::vector<uint8_t> whole = ThreeChunks().Bytes();
    for (size_t length = 0; length < whole.size(); ++length) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
        const int loaded = LoadAndBuild(folder_.Write("cut.scn", cut));
        if (length < kScnHeaderRead) {
            EXPECT_EQ(loaded, 0) << length;
        }
    }
}

// Counts and sizes that lie: the walk over the chunks stops where the file says no more.
TEST_F(ScnSceneTest, ChunkCountsAndSizesThatLieStopTheWalk) {
    const size_t group = kChunk0 + 152 + 2 * 464 + 6 * 36 + 2 * 16;  // "g" of chunk A
    const struct {
        const char* name;
        std::vector<std::pair<size_t, uint32_t>> patches;
        int geoms;
        const char* last;  // the last geometry chunk read
        const char* told;
    } cases[] = {
        {"more chunks than the file holds",
         {{8, 0x7FFFFFFF}},
         2,
         "B",
         "the file ends after 3 of 2147483647 chunks"},
        {"a size of 0", {{8, 1000000}, {kChunk0 + 4, 0}}, 0, "", "has a size of 0"},
        {"a size of 1", {{8, 1000000}, {kChunk0 + 4, 1}}, 0, "", ""},
        {"a size of 7", {{8, 1000000}, {kChunk0 + 4, 7}}, 0, "", ""},
        {"a size past the end", {{kChunk0 + 4, 0xFFFFFFF0}}, 1, "A", ""},
        {"a group too large", {{group + 32, 0x40000000}}, 1, "B", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = ThreeChunks().Bytes();
        ASSERT_EQ(bytes[group], 'g');
        for (const auto& [at, value] : c.patches) Put32(bytes, at, value);
        debug_.Clear();
        ASSERT_EQ(Load(bytes), 1);
        ASSERT_EQ(scene_.geomCount, c.geoms);
        if (c.geoms) {
            EXPECT_STREQ(scene_.geoms[c.geoms - 1].record.name, c.last);
        }
        EXPECT_TRUE(debug_.Contains(c.told));
        scnFreeScene(&scene_);
    }
}

TEST_F(ScnSceneTest, CountsThatCannotFitDropTheirChunkOnly) {
    // 0x071C71C8 x 36 bytes wraps round to a small number in 32 bits.
    for (size_t field : {kMaterialCountAt, kVertexCountAt, kFaceCountAt, kGroupCountAt}) {
        for (uint32_t count : {0x7FFFFFFFu, 0x071C71C8u, 0x80000000u, 0xFFFFFFFFu}) {
            if (field == kMaterialCountAt && count >= 0x80000000u) continue;  // default material
            std::vector<uint8_t> bytes = ThreeChunks().Bytes();
            Put32(bytes, field, count);
            ASSERT_EQ(Load(bytes), 1) << field << " " << count;
            ASSERT_EQ(scene_.geomCount, 1);
            EXPECT_STREQ(scene_.geoms[0].record.name, "B");
            scnFreeScene(&scene_);
        }
    }
}

TEST_F(ScnSceneTest, DroppedChunksAreNamedAndASceneLeftWithoutGeometryFails) {
    std::vector<uint8_t> bytes = ThreeChunks().Bytes();
    Put32(bytes, kVertexCountAt, 0x7FFFFFFF);
    ASSERT_EQ(Load(bytes), 1);
    EXPECT_TRUE(debug_.Contains("1 damaged geometry chunks dropped: A\n"));
    scnFreeScene(&scene_);
    // With its only geometry chunk damaged, a scene has nothing left to show.
    ScnWriter writer("one.scn");
    writer.Add(Triangles("Head", 1));
    bytes = writer.Bytes();
    Put32(bytes, kFaceCountAt, 0x40000000);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_TRUE(debug_.Contains("dropped: Head\n"));
    EXPECT_TRUE(debug_.Contains("no geometry chunk could be read"));
    EXPECT_EQ(scene_.geoms, nullptr);
}

TEST_F(ScnSceneTest, FacesNamingMissingVerticesAreLeftOut) {
    ScnChunkDesc chunk = Triangles("Torso", 1);
    chunk.faces.push_back({{0, 1, 3}, 0});
    const srModel* model = Build(chunk);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->meshes[0].indexCount, 3);
    EXPECT_TRUE(debug_.Contains("Torso: 1 faces name missing vertices"));
}

TEST_F(ScnSceneTest, MutatedFilesAreReadSafely) {
    const std::vector<uint8_t> whole = ThreeChunks().Bytes();
    std::mt19937 random(6);
    for (int round = 0; round < 1500; ++round) {
        std::vector<uint8_t> bytes = whole;
        const int flips = 1 + round % 4;
        for (int i = 0; i < flips; ++i) {
            // Mostly the header and the records, where the counts and sizes are.
            const size_t at = random() % 3 == 0 ? random() % bytes.size() : random() % 420;
            bytes[at] = static_cast<uint8_t>(random());
        }
        LoadAndBuild(folder_.Write("mutated.scn", bytes));
    }
}

TEST_F(ScnSceneTest, GeneratedAvatarSurvivesCutsAndMutations) {
    const std::vector<uint8_t> avatar = ReadBytes(TAVREL_SHARE_DIR "/avatar.scx");
    ASSERT_GT(avatar.size(), 100000u);
    std::mt19937 random(4);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> bytes(avatar.begin(),
                                   avatar.begin() + static_cast<long>(random() % avatar.size()));
        LoadAndBuild(folder_.Write("cut.scx", bytes));
        bytes = avatar;
        for (int i = 0; i < 8; ++i) bytes[random() % 4096] = static_cast<uint8_t>(random());
        LoadAndBuild(folder_.Write("mutated.scx", bytes));
    }
}

}  // namespace
}  // namespace tavrel::test
