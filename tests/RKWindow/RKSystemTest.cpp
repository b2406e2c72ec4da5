// The 3D system: its world, the frame routine with its device rebuild, and the avatar as a
// user sees it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "RKWindow/RKGuides.h"
#include "RKWindow/RKSystem.h"
#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"
#include "support/GlFixture.h"
#include "support/PngFile.h"

namespace tavrel::test {
namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 160;

class RKSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = SharedHost();
        ASSERT_NE(host_, nullptr) << "no EGL surfaceless context";
        ASSERT_TRUE(system_.Initialise(host_, kWidth, kHeight));
        system_.SetBackgroundColor(92, 100, 116, true);
    }

    std::vector<uint32_t> Frame() {
        std::vector<uint32_t> pixels(size_t(system_.Device().width) * system_.Device().height);
        EXPECT_EQ(rkReadFrame(RK_READ_COLOR, pixels.data()), 1);
        for (uint32_t& p : pixels) p |= 0xFF000000u;
        return pixels;
    }

    void ExpectGolden(const char* name) {
        const std::vector<uint32_t> frame = Frame();
        const std::string path = std::string(TAVREL_GOLDEN_DIR) + "/" + name + ".png";
        const char* update = std::getenv("TAVREL_UPDATE_GOLDEN");
        if (update && std::strcmp(update, "1") == 0) {
            ASSERT_TRUE(WritePng(path, kWidth, kHeight, frame.data()));
            return;
        }
        int width = 0, height = 0;
        std::vector<uint32_t> golden;
        ASSERT_TRUE(ReadPng(path, &width, &height, &golden)) << path;
        std::string why;
        const bool same = width == kWidth && height == kHeight && FramesMatch(frame, golden, &why);
        if (!same) WritePng(std::string(name) + ".actual.png", kWidth, kHeight, frame.data());
        EXPECT_TRUE(same) << name << ": " << why;
    }

    void PoseAt(const char* motionFile, int frame) {
        const std::string path = std::string(TAVREL_SHARE_DIR) + "/" + motionFile;
        std::unique_ptr<ANIMFILE> motion = CreateAnimFile(path.c_str(), MotionFileTypeOf(path), 0);
        ASSERT_NE(motion, nullptr) << path;
        system_.PoseAvatar(motion->GetFrame(frame));
    }

    rkEglHost* host_ = nullptr;
    CRKSystem system_;
};

TEST_F(RKSystemTest, AvatarInTheRestPoseFromTheFrontAndTheLeft) {
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    system_.PresetCamera(RKViewport::Front);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    ExpectGolden("avatar_rest_front");
    system_.PresetCamera(RKViewport::Left);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    ExpectGolden("avatar_rest_left");
}

TEST_F(RKSystemTest, AvatarInAFrameOfTheWalk) {
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    PoseAt("Motion/Locomotion/walk.cha", 6);
    system_.PresetCamera(RKViewport::Left);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    ExpectGolden("avatar_walk_left");
}

TEST_F(RKSystemTest, WorldHoldsItsPartsAndTheAvatarWithItsBody) {
    DebugCapture debug;
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    CRKNode* world = system_.World();
    EXPECT_STREQ(world->Name(), "RKWorld");
    for (const char* part : {"RKView", "RKRootLight", "Ground", "CircleLine", "LowerTorso"}) {
        EXPECT_NE(world->Child(part), nullptr) << part;
    }
    EXPECT_TRUE(world->Child("Ground")->IsShown());
    EXPECT_FALSE(world->Child("CircleLine")->IsShown());
    EXPECT_FLOAT_EQ(world->Child("Ground")->Position().z, 580.0f);
    ASSERT_EQ(system_.Avatar(), world->Child("LowerTorso"));
    EXPECT_EQ(system_.AvatarRoot(), system_.Avatar()->Node());
    // Every segment of the mirrored avatar carries its shape; the face has its picture.
    int shaped = 0;
    for (const auto& [name, shape] : system_.Body()->Shapes()) {
        const rkNode* node = rkFindNode(system_.Avatar()->Node(), name.c_str());
        shaped += node && rkGetObject(node, 0) == &shape->head;
    }
    EXPECT_EQ(shaped, 20);
    ASSERT_EQ(system_.TextureCount(), 1);
    EXPECT_NE(system_.Texture("AvatarFace.bmp"), nullptr);
    EXPECT_EQ(system_.Body()->Shapes().at("Head")->mesh.textures[0],
              system_.Texture("AvatarFace.bmp"));
    EXPECT_FALSE(debug.Contains("Cannot load"));
    EXPECT_FALSE(debug.Contains("shape not found"));
}

TEST_F(RKSystemTest, GroundGridAndRingHaveTheirMeasures) {
    rkVisual* grid = rkCreateGridVisual(3000, 30);
    ASSERT_EQ(grid->mesh.vertexCount, 2 * 62);
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < grid->mesh.vertexCount; ++i) {
        lo = std::min(lo, grid->mesh.vertices[i].position.x);
        hi = std::max(hi, grid->mesh.vertices[i].position.x);
        EXPECT_FLOAT_EQ(grid->mesh.vertices[i].normal.z, 1.0f);
    }
    EXPECT_FLOAT_EQ(lo, -1500.0f);
    EXPECT_FLOAT_EQ(hi, 1500.0f);
    EXPECT_FLOAT_EQ(grid->mesh.vertices[2].position.x - grid->mesh.vertices[0].position.x, 100.0f);
    rkFreeVisual(grid);
    rkVisual* ring = rkCreateRingVisual(80, 0);
    ASSERT_EQ(ring->mesh.vertexCount, 2 * (60 + 2));
    auto radius = [&](int i) {
        const rkVector p = ring->mesh.vertices[i].position;
        EXPECT_FLOAT_EQ(p.x, 0.0f);  // about the X axis
        return std::sqrt(p.y * p.y + p.z * p.z);
    };
    EXPECT_NEAR(radius(0), 80.0f, 1e-4f);
    EXPECT_NEAR(radius(2), 80.1f, 1e-4f);
    const rkVector tip = ring->mesh.vertices[120].position;
    EXPECT_NEAR(tip.y, -80.1f, 1e-3f);
    EXPECT_NEAR(ring->mesh.vertices[121].position.z, 80.1f / 3, 1e-3f);
    rkFreeVisual(ring);
}

TEST_F(RKSystemTest, HeadLightFollowsTheEye) {
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    system_.PresetCamera(RKViewport::Front);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    const std::vector<uint32_t> lit = Frame();
    system_.Camera().SetEye(0, 2000, 900);  // behind the avatar, still looking at its front
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    const rkNode* lightNode = system_.World()->Child("RKRootLight")->Node();
    const auto* light = reinterpret_cast<const rkLight*>(rkGetObject(lightNode, 0));
    EXPECT_FLOAT_EQ(light->data.position.y, 2000.0f);
    // Lit from behind now, the front of the body the camera still faces grows darker.
    const std::vector<uint32_t> dark = Frame();
    const size_t chest = size_t(kHeight / 2 - 20) * kWidth + kWidth / 2;
    EXPECT_LT(Blue(dark[chest]) + 20, Blue(lit[chest]));
}

TEST_F(RKSystemTest, ResizedWindowGetsNewSurfacesAndItsTexturesBack) {
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    system_.SetWindowRect(0, 0, 200, 100);
    EXPECT_TRUE(system_.Camera().changed);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    EXPECT_FALSE(system_.Camera().changed);
    EXPECT_EQ(system_.Device().width, 200);
    EXPECT_EQ(system_.Device().height, 100);
    EXPECT_FLOAT_EQ(system_.Camera().view.aspect, 0.5f);
    rkTexture* face = system_.Texture("AvatarFace.bmp");
    ASSERT_NE(face, nullptr);
    EXPECT_NE(rkGetTextureSurface(face), 0u);
    EXPECT_EQ(system_.Body()->Shapes().at("Head")->mesh.textures[0], face);
    EXPECT_EQ(rkTextureCount(), 1);
}

TEST_F(RKSystemTest, FailedFrameIsRetriedOnceOnRebuiltSurfaces) {
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    // A visual the device refuses to draw fails every frame that reaches it.
    rkVisual* broken = rkCreateVisual(7, RK_VERTEX_LIT);
    rkAttachObject(system_.World()->Node(), &broken->head);
    DebugCapture debug;
    EXPECT_EQ(system_.DrawScene(nullptr), 0);
    size_t reports = 0;
    for (size_t at = debug.Text().find("CRKSystem::DrawScene() failed!\n"); at != std::string::npos;
         at = debug.Text().find("CRKSystem::DrawScene() failed!\n", at + 1)) {
        ++reports;
    }
    EXPECT_EQ(reports, 2u);  // the frame and its one retry, then no more
    rkDetachObject(system_.World()->Node(), &broken->head);
    rkFreeVisual(broken);
    EXPECT_EQ(system_.DrawScene(nullptr), 1);
    EXPECT_NE(system_.Texture("AvatarFace.bmp"), nullptr);
}

TEST_F(RKSystemTest, WithoutDataFilesTheGroundIsStillDrawn) {
    DebugCapture debug;
    system_.SetUpWorld("/nonexistent/tavrel");
    EXPECT_EQ(system_.Avatar(), nullptr);
    EXPECT_TRUE(debug.Contains("CBodyReader() LoadScene: failed.\n"));
    system_.SetBackgroundColor(255, 0, 0, true);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    const std::vector<uint32_t> frame = Frame();
    EXPECT_EQ(frame[0] & 0xFFFFFF, 0xFF0000u);  // the background where nothing is drawn
    int drawn = 0;
    for (uint32_t p : frame) drawn += (p & 0xFFFFFF) != 0xFF0000u;
    EXPECT_GT(drawn, 50);  // the grid's lines
}

TEST_F(RKSystemTest, AnInitialPoseWhoseFramesFailGivesNoAvatarAndNoException) {
    // The avatar's data beside an Init.chb whose head reads but whose frame is cut off.
    namespace fs = std::filesystem;
    const fs::path data =
        fs::temp_directory_path() / ("tavrel-rksystem-" + std::to_string(getpid()));
    fs::create_directories(data);
    for (const auto& entry : fs::directory_iterator(TAVREL_SHARE_DIR)) {
        if (entry.is_regular_file()) fs::copy_file(entry.path(), data / entry.path().filename());
    }
    fs::resize_file(data / "Init.chb", fs::file_size(data / "Init.chb") - 10);
    DebugCapture debug;
    system_.SetUpWorld(data.string());
    EXPECT_EQ(system_.Avatar(), nullptr);
    EXPECT_TRUE(debug.Contains("CRKSystem: cannot read the avatar's initial pose " +
                               (data / "Init.chb").string() + ": code 2: File is corrupted!\n"));
    EXPECT_EQ(system_.DrawScene(nullptr), 1);
    fs::remove_all(data);
}

}  // namespace
}  // namespace tavrel::test
