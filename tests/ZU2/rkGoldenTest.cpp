// Frames compared with stored pictures: lights, colours, fill modes, blending, fog, textures
// and pictures behind the scene.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "ZU2/rkImage.h"
#include "ZU2/rkRenderScene.h"
#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "support/GlFixture.h"
#include "support/TestScenes.h"

namespace tavrel::test {
namespace {

class Golden : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        sphere_ = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
        FillSphere(&sphere_->mesh, 80, 32, 16);
        sphere_->mesh.material = WhiteMaterial();
        sphere_->mesh.flags |= RK_MESH_MATERIAL;
        view_ = FrontView(300);
        rkSetBackgroundColor(0.15f, 0.15f, 0.15f);
    }
    void TearDown() override {
        rkFreeVisual(sphere_);
        GlTest::TearDown();
    }

    void Begin() { ASSERT_EQ(rkNewScene(&view_), 1); }
    void End() { ASSERT_EQ(rkShowScene(nullptr), 1); }
    void Place(int index, const rkLightData& light) {
        ASSERT_EQ(rkSetLight(index, &light), 1);
        ASSERT_EQ(rkEnableLight(index), 1);
    }
    void DrawSphereWith(const rkLightData& light) {
        Begin();
        Place(0, light);
        ASSERT_EQ(rkDrawMesh(&sphere_->mesh), 1);
        End();
    }

    rkVisual* sphere_ = nullptr;
    rkView view_{};
};

TEST_F(Golden, DirectionalLightFromUpperLeftFront) {
    rkLightData light = Light(1, 1, 1, 1);
    light.direction = {1, 1, -1};
    DrawSphereWith(light);
    ExpectGolden("light_directional");
    // The lit side faces the light: upper left (world -x, +z) is bright, lower right dark.
    EXPECT_GT(Red(PixelAt(40, 40)), Red(PixelAt(88, 88)) + 100);
}

TEST_F(Golden, PointLightWithAttenuation) {
    rkLightData light = Light(2, 1, 0.8f, 0.6f);
    light.position = {-150, -150, 150};
    light.attenuation[1] = 0.002f;
    DrawSphereWith(light);
    ExpectGolden("light_point");
}

TEST_F(Golden, SpotLightLeavesItsConeOnly) {
    rkLightData light = Light(3, 1, 1, 1);
    light.position = {-30, -250, 25};
    light.direction = {0, 1, 0};
    light.theta = 0.15f;
    light.phi = 0.3f;
    light.falloff = 1.0f;
    DrawSphereWith(light);
    ExpectGolden("light_spot");
    EXPECT_GT(Red(PixelAt(54, 54)), 150);  // inside the cone, left of and above the centre
    EXPECT_LT(Red(PixelAt(90, 64)), 60);   // outside: ambient only
}

TEST_F(Golden, LightsShineFromAnySlotAndAllTypesTogether) {
    // The directional light alone, placed in slot 0...
    rkLightData directional = Light(1, 1, 1, 1);
    directional.direction = {1, 1, -1};
    DrawSphereWith(directional);
    ExpectGolden("light_directional");
    // ...and in slot 5 behind switched-off slots: the picture is the same.
    ASSERT_EQ(rkDisableLight(0), 1);
    Begin();
    Place(5, directional);
    ASSERT_EQ(rkDrawMesh(&sphere_->mesh), 1);
    End();
    ExpectGolden("light_directional");
    // A point light in slot 2 before it adds to the picture; off again, it is gone.
    rkLightData point = Light(2, 1, 0.8f, 0.6f);
    point.position = {-150, -150, 150};
    point.attenuation[1] = 0.002f;
    const uint32_t alone = PixelAt(88, 88);
    Begin();
    Place(2, point);
    ASSERT_EQ(rkDrawMesh(&sphere_->mesh), 1);
    End();
    EXPECT_GT(Red(PixelAt(88, 88)), Red(alone) + 10);
    ASSERT_EQ(rkDisableLight(2), 1);
    Begin();
    ASSERT_EQ(rkDrawMesh(&sphere_->mesh), 1);
    End();
    ExpectGolden("light_directional");
}

// Two devices drawing in one context (the views of one thread share theirs): what one sets
// in GL's own state does not leak into the other's frames.
TEST_F(Golden, DevicesSharingAContextKeepTheirOwnStates) {
    rkLightData light = Light(1, 1, 1, 1);
    light.direction = {1, 1, -1};
    rkDevice other{};
    ASSERT_EQ(rkCreateDevice(&other, SharedHost(), kSize, kSize), 1);
    ASSERT_EQ(rkSetState(RK_RS_FILLMODE, 2), 1);  // lines
    ASSERT_EQ(rkSetState(RK_RS_CULLMODE, 3), 1);
    ASSERT_EQ(rkSetState(RK_RS_ZENABLE, 0), 1);
    ASSERT_EQ(rkSetState(RK_RS_ALPHABLENDENABLE, 1), 1);
    ASSERT_EQ(rkSetState(RK_RS_SRCBLEND, 2), 1);
    ASSERT_EQ(rkSetState(RK_RS_DESTBLEND, 2), 1);  // adds up
    ASSERT_EQ(rkSetScissor(0, 0, 20, 20), 1);
    ASSERT_EQ(rkNewScene(&view_), 1);
    ASSERT_EQ(rkDrawMesh(&sphere_->mesh), 1);
    ASSERT_EQ(rkShowScene(nullptr), 1);

    rkSetCurrentDevice(&device_);
    DrawSphereWith(light);
    ExpectGolden("light_directional");

    // And back: the other device still draws its way (a corner of lines only).
    rkSetCurrentDevice(&other);
    ASSERT_EQ(rkNewScene(&view_), 1);
    ASSERT_EQ(rkDrawMesh(&sphere_->mesh), 1);
    std::vector<uint32_t> frame(size_t(kSize) * kSize);
    ASSERT_EQ(rkReadFrame(RK_READ_COLOR, frame.data()), 1);
    EXPECT_EQ(frame[size_t(kSize / 2) * kSize + kSize / 2] & 0xFFFFFF, 0u);  // outside the scissor
    rkDestroyDevice(&other);
    rkSetCurrentDevice(&device_);
}

// Lights of different colours all around, placed by the render pass before the sphere
// that they light (objects are handled in slot order).
rkNode* LightRig(rkVisual* sphere, int count, std::vector<rkLight*>* lights) {
    rkNode* root = rkCreateNode("rig");
    const rkVector directions[] = {{1, 1, -1}, {-1, 1, -1}, {1, 1, 1},  {-1, 1, 1},
                                   {0, 1, 0},  {1, 0, 0},   {0, 1, -1}, {-1, 1, 0},
                                   {0, 1, 1}};
    const float colours[][3] = {{0.4f, 0, 0}, {0, 0.4f, 0}, {0, 0, 0.4f}, {0.3f, 0.3f, 0},
                                {0, 0.2f, 0.2f}, {0.2f, 0, 0.2f}, {0.2f, 0.2f, 0.2f},
                                {0.1f, 0.2f, 0.3f}, {1, 0, 0}};
    for (int i = 0; i < count; ++i) {
        rkLight* light = rkCreateLight(1);
        light->data = Light(1, colours[i][0], colours[i][1], colours[i][2]);
        light->data.reserved = 100 + i;
        light->data.direction = directions[i];
        rkAttachObject(root, &light->head);
        lights->push_back(light);
    }
    rkAttachObject(root, &sphere->head);
    rkCompileNode(root);
    rkUpdateNode(root);
    return root;
}

void FreeRig(rkNode* root, std::vector<rkLight*>* lights) {
    for (rkLight* light : *lights) {
        rkDetachObject(root, &light->head);
        rkFreeLight(light);
    }
    rkFreeNode(root);
}

TEST_F(Golden, EightLightsAllShineAndANinthIsLeftDark) {
    // Eight ambient terms add up: keep them and the highlights low to see the colours.
    rkMaterial& material = sphere_->mesh.material;
    for (int c = 0; c < 3; ++c) material.ambient[c] = 0.1f, material.specular[c] = 0.0f;
    std::vector<rkLight*> lights;
    rkNode* rig = LightRig(sphere_, 8, &lights);
    ASSERT_EQ(rkRenderScene(rig, &view_, nullptr), 1);
    ExpectGolden("lights_eight");
    rkDetachObject(rig, &sphere_->head);
    FreeRig(rig, &lights);

    lights.clear();
    rig = LightRig(sphere_, 9, &lights);
    DebugCapture capture;
    ASSERT_EQ(rkRenderScene(rig, &view_, nullptr), 1);
    EXPECT_TRUE(capture.Contains("RK:Too many lights. Light(108) disabled\n"));
    ExpectGolden("lights_eight");  // the strong red ninth light adds nothing
    EXPECT_EQ(lights[8]->slot, -1);
    rkDetachObject(rig, &sphere_->head);
    FreeRig(rig, &lights);
}

TEST_F(Golden, VertexColoursShowWithLightingOff) {
    rkVisual* triangle = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_UNLIT);
    rkAddVertex(&triangle->mesh, Vertex(-100, 0, 90, 0xFFFF0000));
    rkAddVertex(&triangle->mesh, Vertex(-60, 0, -100, 0xFF0000FF));
    rkAddVertex(&triangle->mesh, Vertex(100, 0, 60, 0xFF00FF00));
    Begin();
    ASSERT_EQ(rkSetState(RK_STATE_LIGHTING, 0), 1);
    ASSERT_EQ(rkDrawMesh(&triangle->mesh), 1);
    End();
    ExpectGolden("vertex_colours");
    const uint32_t nearRed = PixelAt(20, 20);
    EXPECT_GT(Red(nearRed), 150);
    EXPECT_LT(Blue(nearRed), 60);
    rkFreeVisual(triangle);
}

TEST_F(Golden, PreTransformedVerticesLandOnTheirPixels) {
    rkVisual* triangle = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_SCREEN);
    const float corners[][2] = {{10, 10}, {40, 118}, {118, 30}};  // counter-clockwise on screen
    const uint32_t colours[] = {0xFFFF0000, 0xFF0000FF, 0xFF00FF00};
    for (int i = 0; i < 3; ++i) {
        rkVertex v = Vertex(corners[i][0], corners[i][1], 0.5f, colours[i]);
        v.normal.x = 1.0f;  // 1/w
        rkAddVertex(&triangle->mesh, v);
    }
    Begin();
    ASSERT_EQ(rkDrawMesh(&triangle->mesh), 1);
    End();
    ExpectGolden("pretransformed");
    EXPECT_GT(Red(PixelAt(12, 13)), 180);     // at the red corner, top left
    EXPECT_EQ(PixelAt(120, 120), 0xFF262626);  // outside: background
    rkFreeVisual(triangle);
}

TEST_F(Golden, WireframeDrawsEdgesOnly) {
    rkLightData light = Light(1, 1, 1, 1);
    light.direction = {1, 1, -1};
    ASSERT_EQ(rkSetState(RK_RS_FILLMODE, 2), 1);
    DrawSphereWith(light);
    ExpectGolden("wireframe");
}

TEST_F(Golden, AlphaBlendingMixesWithWhatLiesBehind) {
    rkVisual* quads = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_UNLIT);
    AddQuad(&quads->mesh, -100, -60, 20, 60, 50, 0xFFFF0000);   // opaque red, behind
    AddQuad(&quads->mesh, -20, -100, 100, 20, 0, 0x8000FF00);   // half green, in front
    Begin();
    rkSetState(RK_STATE_LIGHTING, 0);
    ASSERT_EQ(rkSetState(RK_RS_ALPHABLENDENABLE, 1), 1);
    ASSERT_EQ(rkSetState(RK_RS_SRCBLEND, 5), 1);
    ASSERT_EQ(rkSetState(RK_RS_DESTBLEND, 6), 1);
    ASSERT_EQ(rkDrawMesh(&quads->mesh), 1);
    End();
    ExpectGolden("alpha_blend");
    const uint32_t overlap = PixelAt(64, 64);
    EXPECT_NEAR(Red(overlap), 128, 3);
    EXPECT_NEAR(Green(overlap), 128, 3);
    rkFreeVisual(quads);
}

// Three white quads at growing depth under fog of the given table mode.
void DrawFogRow(int mode, float density) {
    rkVisual* quads = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_UNLIT);
    AddQuad(&quads->mesh, -75, -30, -35, 30, -100, 0xFFFFFFFF);
    AddQuad(&quads->mesh, -40, -50, 40, 50, 100, 0xFFFFFFFF);
    AddQuad(&quads->mesh, 90, -60, 220, 60, 300, 0xFFFFFFFF);
    rkState state = rkDefaultState;
    state.lighting = 0;
    state.fogTableMode = mode;
    state.fogStart = 150;
    state.fogEnd = 700;
    state.fogDensity = density;
    state.fogColor[0] = 0.2f, state.fogColor[1] = 0.3f, state.fogColor[2] = 0.8f;
    ASSERT_EQ(rkApplyState(&state), 1);
    ASSERT_EQ(rkDrawMesh(&quads->mesh), 1);
    ASSERT_EQ(rkApplyState(&rkDefaultState), 1);
    rkFreeVisual(quads);
}

TEST_F(Golden, FogModes) {
    const struct {
        int mode;
        const char* name;
    } modes[] = {{3, "fog_linear"}, {1, "fog_exp"}, {2, "fog_exp2"}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.name);
        Begin();
        DrawFogRow(m.mode, 0.003f);
        End();
        ExpectGolden(m.name);
        // Farther quads sink deeper into the blue fog.
        EXPECT_GT(Red(PixelAt(21, 64)), Red(PixelAt(64, 64)));
        EXPECT_GT(Red(PixelAt(64, 64)), Red(PixelAt(104, 64)));
    }
}

// An 8 x 8 picture no flip or turn leaves alike: quadrants red, green / blue, white, with a
// black dot near the top-left corner.
std::vector<uint8_t> QuadrantPixels(int bytesPerPixel) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint8_t r = 255, g = 255, b = 255;
            if (y < 4 && x < 4) g = b = 0;
            if (y < 4 && x >= 4) r = b = 0;
            if (y >= 4 && x < 4) r = g = 0;
            if (x == 1 && y == 1) r = g = b = 0;
            pixels.insert(pixels.end(), {r, g, b});
            if (bytesPerPixel == 4) pixels.push_back(uint8_t(255 - 16 * x));
        }
    }
    return pixels;
}

std::string WriteQuadrantImage(int bits) {
    if (bits == 8) {
        const std::vector<uint8_t> palette = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0,
                                              255, 255, 255, 0, 0, 0, 0, 0};
        std::vector<uint8_t> indices;
        const std::vector<uint8_t> rgb = QuadrantPixels(3);
        for (size_t i = 0; i < rgb.size(); i += 3) {
            const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
            indices.push_back(r && g ? 3 : r ? 0 : g ? 1 : b ? 2 : 4);
        }
        return WriteTempFile("quadrants8.bmp", BmpBytes(8, 8, 8, indices, false, palette));
    }
    if (bits == 24) return WriteTempFile("quadrants24.BMP", BmpBytes(8, 8, 24, QuadrantPixels(3)));
    return WriteTempFile("quadrants32.tga", TgaBytes(8, 8, 32, QuadrantPixels(4)));
}

struct TextureCase {
    int bits;
    int textureFormat;
    int filter;  // 1 point, 2 linear
    const char* golden;
};

class TextureGolden : public Golden, public ::testing::WithParamInterface<TextureCase> {};

TEST_P(TextureGolden, QuadShowsTheImageUprightAndUnmirrored) {
    const TextureCase& c = GetParam();
    int width = 0, height = 0, bits = 0;
    uint8_t* image = rkLoadImage(WriteQuadrantImage(c.bits).c_str(), &width, &height, &bits);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(bits, c.bits);
    rkTexture* texture = rkCreateTexture(c.textureFormat, width, height);
    ASSERT_NE(texture, nullptr);
    const int kind = bits == 8 ? RK_IMAGE_PALETTE8 : bits == 24 ? RK_IMAGE_RGB24 : RK_IMAGE_RGBA32;
    ASSERT_EQ(rkLoadTexture(texture, kind, image), 1);
    rkFreeImage(image);

    rkVisual* quad = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_UNLIT);
    AddQuad(&quad->mesh, -110, -110, 110, 110, 0, 0xFFFFFFFF);
    quad->mesh.textures[0] = texture;
    Begin();
    rkSetState(RK_STATE_LIGHTING, 0);
    ASSERT_EQ(rkSetTextureStageState(0, RK_STAGE_BLEND, 4), 1);
    ASSERT_EQ(rkSetTextureStageState(0, RK_STAGE_MAGFILTER, c.filter), 1);
    ASSERT_EQ(rkSetTextureStageState(0, RK_STAGE_MINFILTER, c.filter), 1);
    ASSERT_EQ(rkDrawMesh(&quad->mesh), 1);
    End();
    ExpectGolden(c.golden);
    EXPECT_GT(Red(PixelAt(42, 42)), 200);    // red quadrant top left
    EXPECT_GT(Green(PixelAt(85, 42)), 200);  // green top right
    EXPECT_GT(Blue(PixelAt(42, 85)), 200);   // blue bottom left
    EXPECT_LT(Red(PixelAt(28, 28)), 100);    // the black dot, top left
    EXPECT_EQ(device_.stats.textureChanges, 1);
    rkFreeVisual(quad);
}

INSTANTIATE_TEST_SUITE_P(
    Images, TextureGolden,
    ::testing::Values(TextureCase{8, RK_TEXFMT_RGB888, 1, "texture_bmp8_point"},
                      TextureCase{8, RK_TEXFMT_RGB888, 2, "texture_bmp8_linear"},
                      TextureCase{24, RK_TEXFMT_RGB16, 1, "texture_bmp24_point"},
                      TextureCase{24, RK_TEXFMT_RGB16, 2, "texture_bmp24_linear"},
                      TextureCase{32, RK_TEXFMT_ARGB8888, 1, "texture_tga32_point"},
                      TextureCase{32, RK_TEXFMT_ARGB8888, 2, "texture_tga32_linear"}),
    [](const auto& info) { return std::string(info.param.golden); });

TEST_F(Golden, BackgroundPictureStretchesBehindTheScene) {
    // Red top row, blue bottom row, a green top-left corner.
    std::vector<uint8_t> picture;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool corner = x == 0 && y == 0;
            picture.insert(picture.end(), {uint8_t(corner ? 0 : y < 2 ? 255 : 0),
                                           uint8_t(corner ? 255 : 0), uint8_t(y < 2 ? 0 : 255)});
        }
    }
    ASSERT_EQ(rkSetBackgroundPicture(picture.data(), 4, 4, 24), 1);
    rkLightData light = Light(1, 1, 1, 1);
    light.direction = {1, 1, -1};
    DebugCapture capture;
    DrawSphereWith(light);
    EXPECT_TRUE(capture.Contains("Src width = 4  height = 4"));
    ExpectGolden("background");
    EXPECT_GT(Green(PixelAt(1, 1)), 200);
    EXPECT_GT(Red(PixelAt(120, 5)), 200);
    EXPECT_GT(Blue(PixelAt(120, 122)), 200);
}

// A frame that differs is kept for a person to look at, in the build's test output only:
// a test run from the source tree must leave nothing there.
TEST(GoldenOutput, ADifferingFrameIsWrittenUnderTheBuildFolderOnly) {
    namespace fs = std::filesystem;
    static const std::vector<uint32_t> black(size_t(GlTest::kSize) * GlTest::kSize, 0xFF000000u);
    const fs::path written = fs::path(TAVREL_TEST_OUTPUT) / "golden/light_directional.actual.png";
    fs::remove(written);
    EXPECT_NONFATAL_FAILURE(
        ExpectMatchesGolden(black, GlTest::kSize, GlTest::kSize, "light_directional"),
        "light_directional");
    EXPECT_TRUE(fs::exists(written));
    EXPECT_FALSE(fs::exists("light_directional.actual.png"));
    fs::remove(written);
}

}  // namespace
}  // namespace tavrel::test
