// The device's operations one by one: set-up, frame, lights, states, drawing and read-back.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "support/GlFixture.h"
#include "support/TestScenes.h"

namespace tavrel::test {
namespace {

using Device = GlTest;

TEST(DeviceSetUp, ReportsTheDeviceAndTakesTheFrameDepth) {
    rkEglHost* host = SharedHost();
    ASSERT_NE(host, nullptr);
    DebugCapture capture;
    rkDevice device = {};
    ASSERT_EQ(rkCreateDevice(&device, host, 64, 32), 1);
    EXPECT_TRUE(capture.Contains("RK:EnumDevice: "));
    EXPECT_TRUE(capture.Contains("RK:1 device found.\n"));
    EXPECT_TRUE(capture.Contains("RK:Pick the 3D device : "));
    EXPECT_TRUE(capture.Contains("RK:Frame depth = 32\n"));
    EXPECT_EQ(device.renderer, RK_RENDERER_HAL);  // kind 0 becomes 3
    EXPECT_EQ(device.hardware, 1);
    EXPECT_EQ(device.lightingOn, 1);
    EXPECT_EQ(device.texturingOn, 1);
    EXPECT_EQ(rkGetCurrentDevice(), &device);
    EXPECT_EQ(rkTextureFormatCount(), 5);
    rkDestroyDevice(&device);
    EXPECT_EQ(rkGetCurrentDevice(), nullptr);
}

TEST(DeviceSetUp, RefusesUnknownRenderersAndReportsADepthMismatch) {
    rkEglHost* host = SharedHost();
    ASSERT_NE(host, nullptr);
    DebugCapture capture;
    rkDevice unknown = {};
    unknown.renderer = 9;
    EXPECT_EQ(rkCreateDevice(&unknown, host, 16, 16), 0);
    EXPECT_TRUE(capture.Contains("RK:Unsupported rendere in RK GL\n"));
    EXPECT_EQ(unknown.gl, nullptr);

    rkDevice sixteen = {};
    sixteen.colourDepth = 16;
    ASSERT_EQ(rkCreateDevice(&sixteen, host, 16, 16), 1);
    EXPECT_TRUE(capture.Contains("RK:ERROR: Surface Depth = 32  require 16, not match!\n"));
    rkDestroyDevice(&sixteen);
}

TEST(DeviceSetUp, OperationsWithoutACurrentDeviceFail) {
    rkSetCurrentDevice(nullptr);
    DebugCapture capture;
    EXPECT_EQ(rkNewScene(nullptr), 0);
    EXPECT_EQ(rkSetState(RK_RS_ZENABLE, 1), 0);
    EXPECT_TRUE(capture.Contains("No current device (rkNewScene)."));
}

TEST_F(Device, BackgroundColourIsStoredAndClearsTheFrame) {
    rkSetBackgroundColor(1, 0, 0);
    EXPECT_EQ(device_.backgroundColour, 0x00FF0000u);
    rkSetBackgroundColor(0.5f, 0.25f, 2.0f);
    EXPECT_EQ(device_.backgroundColour, 0x008040FFu);
    ASSERT_EQ(rkNewScene(nullptr), 1);
    EXPECT_EQ(device_.inScene, 1);
    ASSERT_EQ(rkShowScene(nullptr), 1);
    EXPECT_EQ(device_.inScene, 0);
    EXPECT_EQ(PixelAt(5, 120), 0xFF8040FFu);
}

TEST_F(Device, NewSceneSetsTheMirroredViewAndTheProjection) {
    rkView view = FrontView(300);
    view.direction = {0, 5, 0};
    ASSERT_EQ(rkNewScene(&view), 1);
    EXPECT_FLOAT_EQ(view.direction.y, 1.0f);  // normalised in place
    rkMatrix look;
    rkGetTransform(RK_VIEW, &look);
    // World +x stays to the right in camera space, +z up, +y ahead.
    const rkVector right = rkTransformPoint({1, 0, 0}, look);
    const rkVector ahead = rkTransformPoint({0, 1, 0}, look);
    EXPECT_NEAR(right.x, 1, 1e-5);
    EXPECT_NEAR(ahead.z, 301, 1e-3);
    rkMatrix projection;
    rkGetTransform(RK_PROJECTION, &projection);
    EXPECT_FLOAT_EQ(projection.m[11], 1.0f);
}

TEST_F(Device, LightIndicesAndTypesAreChecked) {
    const rkLightData light = Light(1, 1, 1, 1);
    DebugCapture capture;
    EXPECT_EQ(rkSetLight(8, &light), 0);
    EXPECT_EQ(rkEnableLight(-1), 0);
    EXPECT_EQ(rkDisableLight(8), 0);
    EXPECT_TRUE(capture.Contains("RK:Invalid parameters (rkSetLight).\n"));
    EXPECT_TRUE(capture.Contains("RK:Invalid parameters (rkEnableLight).\n"));
    EXPECT_TRUE(capture.Contains("RK:Invalid parameters (rkDisableLight).\n"));
    rkLightData odd = Light(4, 1, 1, 1);
    EXPECT_EQ(rkSetLight(2, &odd), 0);
    EXPECT_TRUE(capture.Contains("RK:Unknown light type: 4\n"));
    EXPECT_EQ(device_.lights[2].data.type, 4);  // the cache keeps what it was given

    ASSERT_EQ(rkSetLight(0, &light), 1);
    ASSERT_EQ(rkSetLight(0, &light), 1);
    EXPECT_EQ(device_.stats.lightChanges, 1);  // the same light is not sent twice
    ASSERT_EQ(rkEnableLight(0), 1);
    EXPECT_EQ(device_.lights[0].on, 1);
}

TEST_F(Device, UnknownStatesAndValuesAreReportedAsFailures) {
    DebugCapture capture;
    EXPECT_EQ(rkSetState(999, 1), 0);
    EXPECT_TRUE(capture.Contains("RK:SetState FAIL! state=999(3e7) value=1(1) : An unacceptable"));
    EXPECT_EQ(rkSetState(RK_RS_ZFUNC, 9), 0);
    EXPECT_EQ(rkSetState(RK_RS_FILLMODE, 0), 0);
    EXPECT_EQ(rkSetTextureStageState(2, RK_STAGE_BLEND, 4), 0);
    EXPECT_TRUE(capture.Contains("RK:Invalid parameters (rkSetTextureStageState).\n"));
    capture.Clear();
    EXPECT_EQ(rkSetTextureStageState(0, 9, 1), 0);
    EXPECT_TRUE(capture.Contains("RK:ERROR:An unacceptable value is specified"));
    EXPECT_TRUE(capture.Contains("(ZU2\\rkDeviceState:"));
    EXPECT_EQ(rkSetTextureStageState(1, RK_STAGE_ADDRESSU, 5), 0);
    EXPECT_EQ(rkApplyState(&rkDefaultState), 1);
}

class Drawing : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        mesh_ = rkCreateMesh(RK_TRIANGLESTRIP, RK_VERTEX_UNLIT, false);
        for (int i = 0; i < 10; ++i) rkAddVertex(mesh_, Vertex(float(i), 0, float(i % 2)));
        ASSERT_EQ(rkNewScene(nullptr), 1);
    }
    void TearDown() override {
        rkFreeMesh(mesh_);
        GlTest::TearDown();
    }
    rkMesh* mesh_ = nullptr;
};

TEST_F(Drawing, PrimitivesAreCountedByKind) {
    ASSERT_EQ(rkDrawMesh(mesh_), 1);
    EXPECT_EQ(device_.stats.primitives, 8);  // a strip of 10 vertices
    mesh_->primitive = RK_TRIANGLEFAN;
    ASSERT_EQ(rkDrawMesh(mesh_), 1);
    EXPECT_EQ(device_.stats.primitives, 16);
    mesh_->primitive = RK_TRIANGLELIST;
    mesh_->flags |= RK_MESH_INDEXED;
    for (uint16_t i : {0, 1, 2, 2, 1, 3}) rkAddIndex(mesh_, i);
    ASSERT_EQ(rkDrawMesh(mesh_), 1);
    EXPECT_EQ(device_.stats.primitives, 18);  // 6 indices
    EXPECT_EQ(device_.stats.meshes, 3);
    ASSERT_EQ(rkNewScene(nullptr), 1);
    EXPECT_EQ(device_.stats.primitives, 0);  // cleared with every frame
}

TEST_F(Drawing, UnknownPrimitivesAndFormatsDrawNothing) {
    DebugCapture capture;
    mesh_->primitive = 7;
    EXPECT_EQ(rkDrawMesh(mesh_), 0);
    EXPECT_TRUE(capture.Contains("RK:Unknown primitive type = 7\n"));
    mesh_->primitive = RK_TRIANGLESTRIP;
    mesh_->format = 4;
    EXPECT_EQ(rkDrawMesh(mesh_), 0);
    EXPECT_TRUE(capture.Contains("RK:Unknown vertex format : 4\n"));
    EXPECT_EQ(device_.stats.meshes, 0);
    EXPECT_EQ(rkDrawMesh(nullptr), 0);
}

TEST_F(Drawing, IndicesBeyondTheVerticesAreRefused) {
    mesh_->primitive = RK_TRIANGLELIST;
    mesh_->flags |= RK_MESH_INDEXED;
    for (uint16_t i : {0, 1, 10}) rkAddIndex(mesh_, i);
    DebugCapture capture;
    EXPECT_EQ(rkDrawMesh(mesh_), 0);
    EXPECT_TRUE(capture.Contains("Index out of range"));
    EXPECT_EQ(device_.stats.meshes, 0);
}

TEST_F(Drawing, MaterialAndTexturesAreSentOnlyWhenTheyChange) {
    mesh_->flags |= RK_MESH_MATERIAL;
    mesh_->material = WhiteMaterial();
    const uint8_t white[3] = {255, 255, 255};
    rkTexture* a = rkCreateTexture(RK_TEXFMT_RGB16, 1, 1);
    rkTexture* b = rkCreateTexture(RK_TEXFMT_RGB16, 1, 1);
    ASSERT_TRUE(a && b);
    rkLoadTexture(a, RK_IMAGE_RGB24, white);
    rkLoadTexture(b, RK_IMAGE_RGB24, white);
    mesh_->textures[0] = a;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(rkDrawMesh(mesh_), 1);
    EXPECT_EQ(device_.stats.materialChanges, 1);
    EXPECT_EQ(device_.stats.textureChanges, 1);
    mesh_->textures[0] = b;
    rkDrawMesh(mesh_);
    mesh_->textures[1] = a;
    rkDrawMesh(mesh_);
    EXPECT_EQ(device_.stats.textureChanges, 3);
    rkSetState(RK_STATE_TEXTURING, 0);  // no textures at all while texturing is off
    rkDrawMesh(mesh_);
    EXPECT_EQ(device_.stats.textureChanges, 5);
    EXPECT_EQ(device_.stageTexture[0], 0u);
    mesh_->material.power = 3;
    rkDrawMesh(mesh_);
    EXPECT_EQ(device_.stats.materialChanges, 2);
}

TEST_F(Device, DepthReadsBackInTheZeroToOneRange) {
    std::vector<float> depth(size_t(kSize) * kSize);
    ASSERT_EQ(rkNewScene(nullptr), 1);
    ASSERT_EQ(rkReadFrame(RK_READ_DEPTH, depth.data()), 1);
    EXPECT_EQ(depth[0], 1.0f);

    rkView view = FrontView(300);
    ASSERT_EQ(rkNewScene(&view), 1);
    rkMesh* quad = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_UNLIT, false);
    AddQuad(quad, -300, 0, 300, 300, 0, 0xFFFFFFFF);  // the upper half, 300 ahead
    ASSERT_EQ(rkDrawMesh(quad), 1);
    rkShowScene(nullptr);
    ASSERT_EQ(rkReadFrame(RK_READ_DEPTH, depth.data()), 1);
    const float q = 10000.0f / (10000.0f - 10.0f);
    EXPECT_NEAR(depth[size_t(10) * kSize + 64], q * (1 - 10.0f / 300.0f), 1e-4);  // top row
    EXPECT_EQ(depth[size_t(120) * kSize + 64], 1.0f);                               // bottom
    DebugCapture capture;
    EXPECT_EQ(rkReadFrame(3, depth.data()), 0);
    rkFreeMesh(quad);
}

// Vertices and indices are streamed through buffers smaller than a frame of the avatar: a
// frame that streams several times what they hold, with a mesh larger than they are, draws
// each mesh as it draws alone.
TEST_F(Device, AFrameLargerThanTheStreamingBuffersDrawsEveryMesh) {
    constexpr int kBands = 16;
    const float half = 300 * std::tan(std::numbers::pi_v<float> / 8);  // seen from 300 away
    std::vector<rkMesh*> bands;
    for (int b = 0; b < kBands; ++b) {
        const bool indexed = b % 2 == 1;
        rkMesh* mesh = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_UNLIT, indexed);
        const float top = half - b * 2 * half / kBands;
        const uint32_t colour = 0xFF000040u | uint32_t(b * 15) << 16 | uint32_t(255 - b * 15) << 8;
        AddQuad(mesh, -half, top - 2 * half / kBands, half, top, 0, colour);
        // Triangles of no area weigh without drawing; the first band outweighs the buffers.
        const int padding = b == 0 ? 8000 : 3000;
        const rkVertex first = mesh->vertices[0];
        for (int i = 0; i < padding * 3; ++i) {
            indexed ? rkAddIndex(mesh, uint16_t(i < 6 ? i : 0)) : rkAddVertex(mesh, first);
        }
        bands.push_back(mesh);
    }
    rkView view = FrontView(300);
    rkSetState(RK_STATE_LIGHTING, 0);
    auto rowOf = [](int band) { return (2 * band + 1) * kSize / (2 * kBands); };
    std::vector<uint32_t> alone;
    for (rkMesh* mesh : bands) {
        ASSERT_EQ(rkNewScene(&view), 1);
        ASSERT_EQ(rkDrawMesh(mesh), 1);
        ASSERT_EQ(rkShowScene(nullptr), 1);
        alone.push_back(PixelAt(kSize / 2, rowOf(int(alone.size()))));
        EXPECT_NE(alone.back() & 0xFFFFFF, 0u) << "band " << alone.size() - 1;
    }
    ASSERT_EQ(rkNewScene(&view), 1);
    for (rkMesh* mesh : bands) ASSERT_EQ(rkDrawMesh(mesh), 1);
    ASSERT_EQ(rkShowScene(nullptr), 1);
    for (int b = 0; b < kBands; ++b) EXPECT_EQ(PixelAt(kSize / 2, rowOf(b)), alone[b]) << b;
    for (rkMesh* mesh : bands) rkFreeMesh(mesh);
}

TEST_F(Device, ForegroundPictureCoversTheFrameWhenItIsShown) {
    const uint8_t green[3] = {0, 255, 0};
    ASSERT_EQ(rkSetForegroundPicture(green, 1, 1, 24), 1);
    ASSERT_EQ(rkNewScene(nullptr), 1);
    EXPECT_EQ(PixelAt(64, 64), 0xFF000000u);
    ASSERT_EQ(rkShowScene(nullptr), 1);
    EXPECT_EQ(PixelAt(64, 64), 0xFF00FF00u);
    DebugCapture capture;
    EXPECT_EQ(rkSetBackgroundPicture(green, 1, 1, 16), 0);
    EXPECT_TRUE(capture.Contains("RK:Unsupported image format : 16\n"));
    ASSERT_EQ(rkSetForegroundPicture(nullptr, 0, 0, 0), 1);
}

TEST_F(Device, ShowSceneCopiesTheFrameUprightToTheTarget) {
    std::vector<uint8_t> picture = {255, 0, 0, 0, 0, 255};  // red above blue
    ASSERT_EQ(rkSetBackgroundPicture(picture.data(), 1, 2, 24), 1);
    ASSERT_EQ(rkNewScene(nullptr), 1);
    ASSERT_EQ(rkShowScene(SharedHost()), 1);
    // The host's framebuffer keeps GL's bottom-up rows: the top of the frame is its last row.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    uint8_t top[4], bottom[4];
    glReadPixels(5, kSize - 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, top);
    glReadPixels(5, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bottom);
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(bottom[2], 255);
}

TEST(DeviceErrors, TextsFollowTheResultCode) {
    EXPECT_STREQ(rkErrorText(0), "No error.");
    EXPECT_STREQ(rkErrorText(0x0505),
                 "There is not enough memory left to execute the command. The state of the GL is "
                 "undefined, except for the state of the error flags, after this error is "
                 "recorded.");
    EXPECT_STREQ(rkErrorText(0x8CDD),
                 "The combination of internal formats of the attached images violates an "
                 "implementation-dependent set of restrictions.");
    EXPECT_STREQ(rkErrorText(0x12345678), "Unrecognized error value:22136(5678).");
}

}  // namespace
}  // namespace tavrel::test
