#include <gtest/gtest.h>

#include <malloc.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "AnimRead/StandardSkeleton.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"
#include "scene/BodyReader.h"
#include "tests/scene/SceneFiles.h"

namespace tavrel::test {
namespace {

std::unique_ptr<CHTR> Skeleton(const char* path = nullptr) {
    std::unique_ptr<ANIMFILE> motion = CreateAnimFile(path, path ? kTypeCHB : kTypeCHA, 0);
    if (!motion) return nullptr;
    return std::make_unique<CHTR>(rkCloneNode(motion->GetFrame(0)));
}

rkVector Joint(const rkNode* node) {
    return {node->world.m[12], node->world.m[13], node->world.m[14]};
}
rkVector Axis(const rkNode* node, int i) {
    return {node->world.m[i * 4], node->world.m[i * 4 + 1], node->world.m[i * 4 + 2]};
}
float Distance(rkVector a, rkVector b) {
    return rkLength(a - b);
}

// The world position of a shape's vertex on the node it hangs on.
rkVector WorldOf(const rkNode* node, const rkVisual* shape, int vertex) {
    return rkTransformPoint(shape->mesh.vertices[vertex].position, node->world);
}

class BodyReaderTest : public ::testing::Test {
protected:
    std::string WriteScene(const ScnWriter& writer) {
        return folder_.Write("body.scx", writer.Bytes());
    }

    // A scene with a triangle for every segment but those left out.
    ScnWriter AllSegments(const std::string& without = "") {
        ScnWriter writer("body.scn");
        for (const StandardSegment& s : kStandardSkeleton) {
            if (s.name != without) writer.Add(Triangles(s.name, 1));
        }
        return writer;
    }

    TempFolder folder_;
    DebugCapture debug_;
};

TEST_F(BodyReaderTest, GeneratedAvatarGetsAShapeOnEverySegment) {
    CBodyReader reader(TAVREL_SHARE_DIR "/avatar.scx");
    ASSERT_TRUE(reader.IsLoaded());
    EXPECT_EQ(reader.Shapes().size(), 20u);
    std::unique_ptr<CHTR> avatar = Skeleton(TAVREL_SHARE_DIR "/Init.chb");
    ASSERT_NE(avatar, nullptr);
    ASSERT_EQ(reader.PasteBody(avatar.get()), 1);
    EXPECT_FALSE(debug_.Contains("shape not found"));
    int pasted = 0;
    for (const StandardSegment& s : kStandardSkeleton) {
        const rkNode* node = rkFindNode(avatar->GetRoot(), s.name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->objectCount, 1) << s.name;
        EXPECT_TRUE(node->flags & RK_NODE_COMPILED);
        pasted += rkGetObject(node, 0) == &reader.Shapes().at(s.name)->head;
    }
    EXPECT_EQ(pasted, kStandardSegmentCount);
}

// Each 3D system keeps a reader for its life: it keeps the shapes and the model set they come
// from, not the file it read, all within three times the file's size.
TEST_F(BodyReaderTest, KeepsWhatItBuiltNotTheFileItRead) {
    const std::string path = TAVREL_SHARE_DIR "/avatar.scx";
    auto inUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = inUse();
    const auto reader = std::make_unique<CBodyReader>(path);
    ASSERT_TRUE(reader->IsLoaded());
    EXPECT_LT(inUse() - before, 3 * std::filesystem::file_size(path));
}

TEST_F(BodyReaderTest, PastedBodyStandsWhereItWasModelled) {
    CBodyReader reader(TAVREL_SHARE_DIR "/avatar.scx");
    ASSERT_TRUE(reader.IsLoaded());
    // The model set keeps the world-space vertices the shapes were copied from.
    const srModelSet* set = reader.ModelSet();
    std::unique_ptr<CHTR> avatar = Skeleton(TAVREL_SHARE_DIR "/Init.chb");
    ASSERT_EQ(reader.PasteBody(avatar.get()), 1);
    rkUpdateNode(avatar->GetRoot());
    for (int m = 0; m < set->modelCount; ++m) {
        const srModel& model = set->models[m];
        const rkNode* node = rkFindNode(avatar->GetRoot(), model.chunk.record.name);
        const rkVisual* shape = reader.Shapes().at(model.chunk.record.name);
        for (int v = 0; v < model.meshes[0].vertexCount; v += 97) {
            const rkVector original = model.meshes[0].vertices[v].position;
            EXPECT_LT(Distance(WorldOf(node, shape, v), original), 0.05f)
                << model.chunk.record.name;
        }
    }
}

TEST_F(BodyReaderTest, ShapeFollowsItsSegmentWhenItTurns) {
    // A triangle laid along the lower arm's bone, modelled where the rest pose puts it.
    std::unique_ptr<CHTR> reference = Skeleton();
    rkUpdateNode(reference->GetRoot());
    const rkNode* arm = rkFindNode(reference->GetRoot(), "LLowArm");
    const rkVector joint = Joint(arm), along = Axis(arm, 1), side = Axis(arm, 2);
    auto at = [&](float a, float s) {
        return rkVector{joint.x + along.x * a + side.x * s, joint.y + along.y * a + side.y * s,
                        joint.z + along.z * a + side.z * s};
    };
    ScnChunkDesc chunk = Triangles("LLowArm", 1);
    chunk.vertices[0].position = at(30, 0);
    chunk.vertices[1].position = at(60, 0);
    chunk.vertices[2].position = at(30, 8);
    ScnWriter writer("arm.scn");
    writer.Add(chunk);
    CBodyReader reader(WriteScene(writer));
    std::unique_ptr<CHTR> avatar = Skeleton();
    ASSERT_EQ(reader.PasteBody(avatar.get()), 1);
    rkNode* node = rkFindNode(avatar->GetRoot(), "LLowArm");
    const rkVisual* shape = reader.Shapes().at("LLowArm");
    ASSERT_EQ(rkGetObject(node, 0), &shape->head);
    rkUpdateNode(avatar->GetRoot());
    EXPECT_LT(Distance(WorldOf(node, shape, 1), at(60, 0)), 0.01f);

    // Bend the elbow by a right angle and turn the shoulder: the shape stays on the bone.
    rkMatrix bend, turned;
    rkRotationMatrix(&bend, 2, 1.5707963f);
    rkMultiply(&turned, bend, node->local);
    rkSetNodeMatrix(node, turned);
    rkRotateNode(rkFindNode(avatar->GetRoot(), "LUpArm"), 0, 0.7f);
    rkUpdateNode(avatar->GetRoot());
    const rkVector newJoint = Joint(node), newAlong = Axis(node, 1);
    const rkVector tip = WorldOf(node, shape, 1);
    EXPECT_LT(Distance(tip, {newJoint.x + newAlong.x * 60, newJoint.y + newAlong.y * 60,
                             newJoint.z + newAlong.z * 60}),
              0.05f);
    EXPECT_GT(Distance(tip, at(60, 0)), 40.0f);
}

TEST_F(BodyReaderTest, SecondMaterialOfAChunkBecomesAShapeThatIsNotPasted) {
    ScnWriter writer = AllSegments("Head");
    writer.Add(Triangles("Head", 2));
    writer.Add(Triangles("Neck", 1));  // a name used twice
    CBodyReader reader(WriteScene(writer));
    ASSERT_TRUE(reader.IsLoaded());
    EXPECT_EQ(reader.Shapes().size(), 22u);
    EXPECT_TRUE(debug_.Contains("CBodyReader() read chunk error: Duplicated chunk name:Head\n"));
    EXPECT_TRUE(debug_.Contains("CBodyReader() read chunk error: Duplicated chunk name:Neck\n"));
    EXPECT_TRUE(debug_.Contains("Chunk rename to "));
    std::unique_ptr<CHTR> avatar = Skeleton();
    ASSERT_EQ(reader.PasteBody(avatar.get()), 1);
    const rkNode* head = rkFindNode(avatar->GetRoot(), "Head");
    ASSERT_EQ(head->objectCount, 1);
    const rkVisual* first = reinterpret_cast<const rkVisual*>(rkGetObject(head, 0));
    EXPECT_EQ(first, reader.Shapes().at("Head"));
    EXPECT_STREQ(static_cast<const ScnMaterial*>(first->mesh.user)->name, "m0");
    int unpasted = 0;
    for (const auto& [name, shape] : reader.Shapes()) {
        if (shape->head.refCount == 0) {
            ++unpasted;
            EXPECT_EQ(name.rfind("Head", 0) == 0 || name.rfind("Neck", 0) == 0, true) << name;
        }
    }
    EXPECT_EQ(unpasted, 2);
}

TEST_F(BodyReaderTest, MissingSegmentShapeIsReportedAndTheRestPasted) {
    CBodyReader reader(WriteScene(AllSegments("LFoot")));
    std::unique_ptr<CHTR> avatar = Skeleton();
    ASSERT_EQ(reader.PasteBody(avatar.get()), 1);
    EXPECT_TRUE(debug_.Contains("CBodyReader::PasteBody Error: shape not found.\nLFoot\n"));
    EXPECT_EQ(rkFindNode(avatar->GetRoot(), "LFoot")->objectCount, 0);
    EXPECT_EQ(rkFindNode(avatar->GetRoot(), "RFoot")->objectCount, 1);
}

TEST_F(BodyReaderTest, SceneWithoutGeometryLoadsWithoutShapes) {
    ScnWriter writer("empty.scn");
    writer.AddRaw(3, std::vector<uint8_t>(132, 0));
    CBodyReader reader(WriteScene(writer));
    ASSERT_TRUE(reader.IsLoaded());
    EXPECT_TRUE(reader.Shapes().empty());
    std::unique_ptr<CHTR> avatar = Skeleton();
    EXPECT_EQ(reader.PasteBody(avatar.get()), 1);
    size_t reports = 0;
    for (size_t at = debug_.Text().find("shape not found"); at != std::string::npos;
         at = debug_.Text().find("shape not found", at + 1)) {
        ++reports;
    }
    EXPECT_EQ(reports, 20u);
}

TEST_F(BodyReaderTest, MissingFileLeavesTheReaderNotLoaded) {
    CBodyReader reader(folder_.File("nothing.scx"));
    EXPECT_FALSE(reader.IsLoaded());
    EXPECT_TRUE(debug_.Contains("CBodyReader() LoadScene: failed.\n"));
    std::unique_ptr<CHTR> avatar = Skeleton();
    EXPECT_EQ(reader.PasteBody(avatar.get()), 0);
    EXPECT_EQ(rkFindNode(avatar->GetRoot(), "Head")->objectCount, 0);
    CBodyReader loaded(WriteScene(AllSegments()));
    EXPECT_EQ(loaded.PasteBody(nullptr), 0);
}

TEST_F(BodyReaderTest, ShapesAreFreedOnceWhicheverGoesFirst) {
    const std::string path = WriteScene(AllSegments());
    {
        auto reader = std::make_unique<CBodyReader>(path);
        std::unique_ptr<CHTR> avatar = Skeleton();
        reader->PasteBody(avatar.get());
        avatar.reset();  // the skeleton leaves the reader's shapes alone
        EXPECT_EQ(reader->Shapes().at("Head")->head.refCount, 0);
    }
    {
        std::unique_ptr<CHTR> avatar = Skeleton();
        auto reader = std::make_unique<CBodyReader>(path);
        reader->PasteBody(avatar.get());
        reader.reset();  // the skeleton keeps the shapes it holds and frees them itself
        const rkNode* head = rkFindNode(avatar->GetRoot(), "Head");
        ASSERT_EQ(head->objectCount, 1);
        EXPECT_EQ(reinterpret_cast<const rkVisual*>(rkGetObject(head, 0))->mesh.vertexCount, 3);
    }
}

}  // namespace
}  // namespace tavrel::test
