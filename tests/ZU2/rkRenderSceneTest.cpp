// The render pass over a node tree: what it draws, skips, reports and leaves lit.
#include <gtest/gtest.h>

#include "ZU2/rkRenderScene.h"
#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "support/GlFixture.h"
#include "support/TestScenes.h"

namespace tavrel::test {
namespace {

class RenderScene : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        root_ = rkCreateNode("root");
        view_ = FrontView(300);
    }
    void TearDown() override {
        rkFreeTree(root_);  // frees the visuals with their nodes
        GlTest::TearDown();
    }
    // A node under parent holding a small quad.
    rkNode* AddQuadNode(rkNode* parent, const char* name, uint32_t colour = 0xFFFFFFFF) {
        rkNode* node = rkCreateNode(name);
        rkLinkNode(parent, node);
        rkVisual* visual = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_UNLIT);
        AddQuad(&visual->mesh, -40, -40, 40, 40, 0, colour);
        rkAttachObject(node, &visual->head);
        visuals_.push_back(visual);
        return node;
    }
    int Render() {
        rkCompileNode(root_);
        rkUpdateNode(root_);
        return rkRenderScene(root_, &view_, nullptr);
    }

    rkNode* root_ = nullptr;
    rkView view_{};
    std::vector<rkVisual*> visuals_;  // owned by their nodes
};

TEST_F(RenderScene, HiddenSubtreesAreSkippedAndUncompiledOnesReported) {
    rkNode* shown = AddQuadNode(root_, "shown");
    rkNode* hidden = AddQuadNode(root_, "hidden");
    AddQuadNode(hidden, "under hidden");
    ASSERT_EQ(Render(), 1);
    EXPECT_EQ(device_.stats.meshes, 3);
    hidden->flags |= RK_NODE_HIDDEN;
    ASSERT_EQ(rkRenderScene(root_, &view_, nullptr), 1);
    EXPECT_EQ(device_.stats.meshes, 1);

    rkNode* late = AddQuadNode(shown, "late");  // linked after compiling
    AddQuadNode(late, "later");
    DebugCapture capture;
    ASSERT_EQ(rkRenderScene(root_, &view_, nullptr), 1);
    EXPECT_TRUE(capture.Contains("RK:Node not compiled: late\n"));
    EXPECT_EQ(device_.stats.meshes, 1);
}

TEST_F(RenderScene, ASelfLinkedChildEndsItsSiblingListWithSuccess) {
    rkNode* first = AddQuadNode(root_, "first");
    rkNode* second = AddQuadNode(root_, "second");
    ASSERT_EQ(Render(), 1);
    first->next = first;  // a damaged list that would loop forever
    ASSERT_EQ(rkRenderScene(root_, &view_, nullptr), 1);
    EXPECT_EQ(device_.stats.meshes, 1);
    first->next = second;
}

TEST_F(RenderScene, AFailedDrawEndsThePass) {
    rkNode* broken = AddQuadNode(root_, "broken");
    AddQuadNode(root_, "after");
    visuals_[0]->mesh.primitive = 7;
    DebugCapture capture;
    EXPECT_EQ(Render(), 0);
    EXPECT_TRUE(capture.Contains("RK:Unknown primitive type = 7\n"));
    EXPECT_EQ(device_.stats.meshes, 0);
    visuals_[0]->head.flags |= RK_OBJECT_DISABLED;  // disabled objects are passed over
    EXPECT_EQ(rkRenderScene(root_, &view_, nullptr), 1);
    EXPECT_EQ(device_.stats.meshes, 1);
    (void)broken;
}

TEST_F(RenderScene, WithoutADeviceTheFrameDoesNotStart) {
    rkSetCurrentDevice(nullptr);
    DebugCapture capture;
    EXPECT_EQ(rkRenderScene(root_, &view_, nullptr), 0);
    EXPECT_TRUE(capture.Contains("RK:rkRenderScene failed: rkNewScene got an Error!\n"));
    rkSetCurrentDevice(&device_);
}

void CountRenderEvents(uint32_t event, rkNode* node, void* user) {
    if (event == RK_EVENT_RENDER && node) ++*static_cast<int*>(user);
}

TEST_F(RenderScene, RenderCallbacksRunWithTheNodesWorldMatrixSet) {
    rkNode* node = AddQuadNode(root_, "moved");
    rkTranslateNode(node, 11, 22, 33);
    int calls = 0;
    rkCallback* callback = rkCreateCallback(RK_EVENT_RENDER, CountRenderEvents, &calls);
    rkAttachObject(node, &callback->head);
    ASSERT_EQ(Render(), 1);
    EXPECT_EQ(calls, 1);
    rkMatrix world;
    rkGetTransform(RK_WORLD, &world);
    EXPECT_EQ(world.m[13], 22.0f);
    rkDetachObject(node, &callback->head);
    rkFreeCallback(callback);
}

TEST_F(RenderScene, AVisualsOwnStatesAreUndoneAfterIt) {
    AddQuadNode(root_, "wire");
    rkVisual* visual = visuals_[0];
    visual->mesh.flags |= RK_MESH_STATE;
    visual->state = rkDefaultState;
    visual->state.lighting = 0;
    visual->state.texturing = 0;
    ASSERT_EQ(Render(), 1);
    EXPECT_EQ(device_.lightingOn, 1);
    EXPECT_EQ(device_.texturingOn, 1);
    EXPECT_GT(Red(PixelAt(64, 64)), 200);  // drawn unlit in its white vertex colour
}

TEST_F(RenderScene, ASecondTextureStageDrawsTheMeshAgain) {
    AddQuadNode(root_, "two stages");
    rkTexture* t = rkCreateTexture(RK_TEXFMT_RGB16, 1, 1);
    visuals_[0]->mesh.textures[0] = visuals_[0]->mesh.textures[1] = t;
    ASSERT_EQ(Render(), 1);
    EXPECT_EQ(device_.stats.meshes, 2);
}

TEST_F(RenderScene, LightsKeepShiningInLaterFrames) {
    rkLight* light = rkCreateLight(1);
    light->data.diffuse[0] = light->data.diffuse[1] = light->data.diffuse[2] = 1;
    light->data.direction = {0, 1, 0};
    rkAttachObject(root_, &light->head);
    rkNode* node = rkCreateNode("lit");
    rkLinkNode(root_, node);
    rkVisual* quad = rkCreateVisual(RK_TRIANGLELIST, RK_VERTEX_LIT);
    AddQuad(&quad->mesh, -40, -40, 40, 40, 0, 0xFFFFFFFF);
    quad->mesh.flags |= RK_MESH_MATERIAL;
    quad->mesh.material = WhiteMaterial();
    rkAttachObject(node, &quad->head);
    visuals_.push_back(quad);

    ASSERT_EQ(Render(), 1);
    EXPECT_EQ(light->head.flags & RK_OBJECT_CHANGED, 0u);
    const uint32_t first = PixelAt(64, 64);
    EXPECT_GT(Red(first), 200);
    // Nothing moved: the light is unchanged, yet the frame starts with every light off.
    ASSERT_EQ(rkRenderScene(root_, &view_, nullptr), 1);
    EXPECT_EQ(PixelAt(64, 64), first);
    EXPECT_EQ(device_.stats.lightChanges, 0);  // placed again without being sent again
    rkDetachObject(root_, &light->head);
    rkFreeLight(light);
}

}  // namespace
}  // namespace tavrel::test
