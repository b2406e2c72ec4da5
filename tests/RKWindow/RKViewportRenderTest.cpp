// The six preset cameras looking at an object no mirror or turn leaves alike, and points
// projected onto the frame where the device draws them.
#include <gtest/gtest.h>

#include "RKWindow/RKViewport.h"
#include "ZU2/rkRenderScene.h"
#include "support/GlFixture.h"
#include "support/TestScenes.h"

namespace tavrel::test {
namespace {

class Presets : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        root_ = rkCreateNode("axes");
        rkLight* light = rkCreateLight(1);
        light->data.diffuse[0] = light->data.diffuse[1] = light->data.diffuse[2] = 0.7f;
        light->data.direction = {0.3f, 0.5f, -1};
        rkAttachObject(root_, &light->head);
        // White at the centre, red along +x, green along +y, blue along +z.
        AddBall({0, 0, 0}, 60, {1, 1, 1});
        AddBall({170, 0, 0}, 40, {1, 0, 0});
        AddBall({0, 170, 0}, 40, {0, 1, 0});
        AddBall({0, 0, 170}, 40, {0, 0, 1});
        rkCompileNode(root_);
        rkUpdateNode(root_);
        camera_.SetViewportRect(0, 0, kSize, kSize);
        rkSetState(RK_RS_AMBIENT, 0xFF606060);
    }
    void TearDown() override {
        rkFreeTree(root_);
        GlTest::TearDown();
    }
    void AddBall(const rkVector& at, float radius, const rkVector& colour) {
        rkNode* node = rkCreateNode("ball");
        rkTranslateNode(node, at.x, at.y, at.z);
        rkLinkNode(root_, node);
        rkVisual* ball = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
        FillSphere(&ball->mesh, radius, 24, 12);
        ball->mesh.flags |= RK_MESH_MATERIAL;
        ball->mesh.material = {{colour.x, colour.y, colour.z, 1},
                               {colour.x, colour.y, colour.z, 1},
                               {0, 0, 0, 1},
                               1};
        rkAttachObject(node, &ball->head);
    }

    rkNode* root_ = nullptr;
    RKViewport camera_;
};

TEST_F(Presets, EachPresetShowsTheAxesFromItsSide) {
    const char* names[] = {"preset_front", "preset_back", "preset_left",
                           "preset_right", "preset_up",   "preset_down"};
    for (int preset = 0; preset < RKViewport::PresetCount; ++preset) {
        SCOPED_TRACE(names[preset]);
        camera_.PresetCamera(preset, {0, 0, 0}, 1.0f);
        ASSERT_EQ(rkRenderScene(root_, camera_.View(), nullptr), 1);
        ExpectGolden(names[preset]);
    }
}

TEST_F(Presets, ProjectedPointsLandWhereTheyAreDrawn) {
    for (int preset : {RKViewport::Front, RKViewport::Right, RKViewport::Up}) {
        SCOPED_TRACE(preset);
        camera_.PresetCamera(preset, {0, 0, 0}, 1.0f);
        ASSERT_EQ(rkRenderScene(root_, camera_.View(), nullptr), 1);
        const rkVector red = {170, 0, 0};
        float window[1][4];
        camera_.Project(&red, 1, window);
        const uint32_t pixel = PixelAt(int(window[0][0]), int(window[0][1]));
        EXPECT_GT(Red(pixel), 2 * Green(pixel) + 20);
        EXPECT_GT(Red(pixel), 2 * Blue(pixel) + 20);
    }
}

}  // namespace
}  // namespace tavrel::test
