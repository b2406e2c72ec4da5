// The 3D system: its world, the frame routine with its device rebuild, and the avatar as a
// user sees it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "RKWindow/RKGuides.h"
#include "RKWindow/RKSystem.h"
#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"
#include "settings/StringIds.h"
#include "support/GlFixture.h"
#include "support/PngFile.h"
#include "tests/support/TempFolder.h"

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
        ExpectMatchesGolden(frame, kWidth, kHeight, name);
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
    PoseAt("Motion/Locomotion/walk.cha", 12);
    system_.PresetCamera(RKViewport::Left);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    ExpectGolden("avatar_walk_left");
}

// Window positions of every vertex of the avatar's shapes as they hang in the world.
std::vector<std::array<float, 2>> AvatarOnScreen(CRKSystem& system) {
    std::vector<rkVector> points;
    rkUpdateNode(system.World()->Node());
    for (const auto& [name, shape] : system.Body()->Shapes()) {
        const rkNode* node = rkFindNode(system.Avatar()->Node(), name.c_str());
        for (int v = 0; node && v < shape->mesh.vertexCount; ++v) {
            points.push_back(rkTransformPoint(shape->mesh.vertices[v].position, node->world));
        }
    }
    std::vector<float[4]> window(points.size());
    system.Camera().Project(points.data(), static_cast<int>(points.size()), window.data());
    std::vector<std::array<float, 2>> out;
    for (const auto& w : window) out.push_back({w[0], w[1]});
    return out;
}

TEST_F(RKSystemTest, PresetsShowTheWholeAvatarInLandscapeWindows) {
    ASSERT_EQ(system_.SetUpWorld(TAVREL_SHARE_DIR), 0);
    for (const auto& size : {std::array<int, 2>{800, 600}, {1600, 900}, {1024, 576}}) {
        system_.SetWindowRect(0, 0, size[0], size[1]);
        for (int preset = 0; preset < RKViewport::PresetCount; ++preset) {
            SCOPED_TRACE(::testing::Message() << size[0] << "x" << size[1] << " preset " << preset);
            ASSERT_TRUE(system_.PresetCamera(preset));
            float top = 1e9f, bottom = -1e9f, left = 1e9f, right = -1e9f;
            for (const auto& p : AvatarOnScreen(system_)) {
                left = std::min(left, p[0]), right = std::max(right, p[0]);
                top = std::min(top, p[1]), bottom = std::max(bottom, p[1]);
            }
            // Head to feet inside the picture with room to spare, and not lost in it.
            const float marginX = size[0] * 0.02f, marginY = size[1] * 0.02f;
            EXPECT_GT(left, marginX);
            EXPECT_LT(right, size[0] - marginX);
            EXPECT_GT(top, marginY);
            EXPECT_LT(bottom, size[1] - marginY);
            EXPECT_GT(std::max(right - left, bottom - top), size[1] * 0.5f);
        }
    }
    // The scene scale still brings the camera nearer or takes it further.
    system_.PresetCamera(RKViewport::Front);
    const float framed = -system_.cameraOffset.y;
    system_.sceneScale = 0.5f;
    system_.PresetCamera(RKViewport::Front);
    EXPECT_NEAR(-system_.cameraOffset.y, framed / 2, 1.0f);
}

TEST_F(RKSystemTest, TexturedFaceTakesItsLightAndMaterial) {
    ASSERT_EQ(system_.SetUpWorld(TAVREL_SHARE_DIR), 0);
    rkVisual* head = system_.Body()->Shapes().at("Head");
    ASSERT_NE(head->mesh.textures[0], nullptr);
    const rkNode* node = rkFindNode(system_.Avatar()->Node(), "Head");
    rkUpdateNode(system_.World()->Node());
    rkVector middle{0, 0, 0};
    for (int v = 0; v < head->mesh.vertexCount; ++v) {
        const rkVector p = rkTransformPoint(head->mesh.vertices[v].position, node->world);
        middle = {middle.x + p.x, middle.y + p.y, middle.z + p.z};
    }
    const float n = static_cast<float>(head->mesh.vertexCount);
    middle = {middle.x / n, middle.y / n, middle.z / n - 20};  // the face, below the hair
    system_.PresetCamera(RKViewport::Front);
    float at[1][4];
    system_.Camera().Project(&middle, 1, at);
    const size_t face = size_t(at[0][1]) * kWidth + size_t(at[0][0]);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    const uint32_t lit = Frame()[face];
    EXPECT_GT(Red(lit), 100u);  // skin
    // A material that reflects nothing leaves the textured face dark, as an unlit picture
    // would not be.
    head->mesh.material = {{0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 1};
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    const uint32_t dark = Frame()[face];
    EXPECT_LT(Red(dark) + Green(dark) + Blue(dark), 30u);
}

TEST_F(RKSystemTest, DamagedBodyFileIsReportedAsAnAvatarThatCouldNotBeLoaded) {
    tavrel::testing::TempFolder folder;
    std::filesystem::copy_file(std::string(TAVREL_SHARE_DIR) + "/Init.chb",
                               folder.Path() + "/Init.chb");
    // Every geometry chunk claims more vertices than the file holds.
    std::ifstream in(std::string(TAVREL_SHARE_DIR) + "/avatar.scx", std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), 256u);
    for (size_t at = 256; at + 152 <= bytes.size();) {
        uint32_t type, size;
        std::memcpy(&type, &bytes[at], 4);
        std::memcpy(&size, &bytes[at + 4], 4);
        if (type == 1) std::memcpy(&bytes[at + 140], "\xff\xff\xff\x7f", 4);
        if (size < 8) break;
        at += size;
    }
    std::ofstream(folder.Path() + "/avatar.scx", std::ios::binary)
        .write(bytes.data(), bytes.size());
    DebugCapture debug;
    EXPECT_EQ(system_.SetUpWorld(folder.Path()), strings::kAvatarNotLoaded);
    EXPECT_TRUE(debug.Contains("damaged geometry chunks dropped: LowerTorso"));
    EXPECT_TRUE(debug.Contains("CRKSystem: the avatar could not be loaded"));
    ASSERT_EQ(system_.DrawScene(nullptr), 1);  // the ground still shows
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
    EXPECT_FLOAT_EQ(world->Child("Ground")->Position().z, 0.0f);
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

// Wherever the avatar walks the grid lies under it, moved by whole cells so that its lines
// keep their place in the world.
TEST_F(RKSystemTest, TheGroundGoesWhereTheAvatarWalks) {
    system_.SetUpWorld(TAVREL_SHARE_DIR);
    CRKNode* ground = system_.World()->Child("Ground");
    std::srand(7);
    for (int i = 0; i < 20; ++i) {
        rkMatrix m = system_.AvatarRoot()->local;
        m.m[12] = float(std::rand() % 40000 - 20000) + 0.25f;
        m.m[13] = float(std::rand() % 40000 - 20000);
        rkSetNodeMatrix(system_.AvatarRoot(), m);
        ASSERT_EQ(system_.DrawScene(nullptr), 1);
        const rkVector at = ground->Position();
        for (const auto& [lies, walks] : {std::pair(at.x, m.m[12]), std::pair(at.y, m.m[13])}) {
            EXPECT_LE(std::fabs(lies - walks), 150.0f) << walks;
            EXPECT_FLOAT_EQ(std::fmod(lies, 300.0f), 0.0f) << lies;
        }
        EXPECT_FLOAT_EQ(at.z, 0.0f);
    }
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
