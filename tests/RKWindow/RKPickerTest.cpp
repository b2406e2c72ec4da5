// Picking by identification colours on the drawn avatar, selection with the ring, the
// manipulation mode and its lock, and turning body parts with undo and redo.
#include <cstring>
#include <string>
#include <vector>

#include "RKWindow/RKPicker.h"
#include "tests/RKWindow/ToolFixture.h"

namespace tavrel::test {
namespace {

class CountingLock : public RKManipulationLock {
public:
    void Lock() override { ++locks, held = true; }
    void Unlock() override { ++unlocks, held = false; }
    int locks = 0, unlocks = 0;
    bool held = false;
};

rkMaterial MaterialOf(const rkNode* node) {
    return reinterpret_cast<const rkVisual*>(rkGetObject(node, 0))->mesh.material;
}

TEST_F(ToolsTest, EverySegmentIsPickedAtItsProjectedCentre) {
    // Every segment, alone in view: the other shapes are switched off.
    int picked = 0;
    for (const auto& [name, shape] : system_.Body()->Shapes()) {
        for (const auto& [other, visual] : system_.Body()->Shapes()) {
            if (other != name) visual->head.flags |= RK_OBJECT_DISABLED;
        }
        const auto at = OnScreen(ShapeCentre(name.c_str()));
        const rkNode* node = CRKPicker::Pick(system_, int(at[0]), int(at[1]));
        EXPECT_TRUE(node && name == node->name) << name;
        picked += node && name == node->name;
        for (const auto& [other, visual] : system_.Body()->Shapes()) {
            visual->head.flags &= ~uint32_t{RK_OBJECT_DISABLED};
        }
    }
    EXPECT_EQ(picked, 20);
    // And with the whole body drawn, where the front view shows them.
    for (const char* name : {"Head", "UpperTorso", "LHand", "RLowLeg", "LUpArm"}) {
        const auto at = OnScreen(ShapeCentre(name));
        const rkNode* node = CRKPicker::Pick(system_, int(at[0]), int(at[1]));
        EXPECT_TRUE(node && std::string(name) == node->name) << name;
    }
}

TEST_F(ToolsTest, PickingLeavesTheWorldAsItWasAndNeverShowsItsFrame) {
    system_.DrawScene(nullptr);
    std::vector<uint32_t> before(size_t(kWidth) * kHeight), after(before.size());
    ASSERT_EQ(rkReadFrame(RK_READ_COLOR, before.data()), 1);
    const rkNode* torso = system_.AvatarRoot();
    const rkVisual* shape = reinterpret_cast<const rkVisual*>(rkGetObject(torso, 0));
    const uint32_t colour = shape->mesh.vertices[0].colour;
    system_.World()->Child("Ground")->Show(false);
    const auto at = OnScreen(ShapeCentre("UpperTorso"));
    EXPECT_STREQ(CRKPicker::Pick(system_, int(at[0]), int(at[1]))->name, "UpperTorso");
    EXPECT_EQ(shape->mesh.format, RK_VERTEX_LIT);
    EXPECT_EQ(shape->mesh.vertices[0].colour, colour);
    EXPECT_FALSE(system_.World()->Child("Ground")->IsShown());
    EXPECT_TRUE(system_.World()->Child("CircleLine")->IsShown());
    system_.World()->Child("Ground")->Show(true);
    system_.World()->Child("CircleLine")->Show(false);
    system_.DrawScene(nullptr);
    ASSERT_EQ(rkReadFrame(RK_READ_COLOR, after.data()), 1);
    std::string why;
    EXPECT_TRUE(FramesMatch(before, after, &why)) << why;  // lights, textures, blending back
}

TEST_F(ToolsTest, NothingIsPickedOutsideTheWindowOrOnTheBackground) {
    for (const auto& p : {std::array<int, 2>{-1, 10}, {10, -1}, {kWidth, 10}, {10, kHeight}}) {
        EXPECT_EQ(CRKPicker::Pick(system_, p[0], p[1]), nullptr);
    }
    EXPECT_EQ(CRKPicker::Pick(system_, 2, 2), nullptr);  // sky
    // Also on a black background, whose colour would read as object 0.
    system_.SetBackgroundColor(0, 0, 0, true);
    EXPECT_EQ(CRKPicker::Pick(system_, 2, 2), nullptr);
    // A picture behind the scene in the colours of objects (a dark-green video) is no object,
    // and it is back behind the next frame.
    for (int index : {0, 1, 5}) {
        const uint8_t green = uint8_t((CRKPicker::Colour(index) >> 8) & 0xFF);
        const std::vector<uint8_t> picture(size_t(8) * 6 * 3, 0);
        std::vector<uint8_t> rgb = picture;
        for (size_t i = 1; i < rgb.size(); i += 3) rgb[i] = green;
        ASSERT_TRUE(system_.SetBackgroundBitmap(rgb.data(), 8, 6, 8 * 3));
        EXPECT_EQ(CRKPicker::Pick(system_, 2, 2), nullptr) << index;
        ASSERT_EQ(system_.DrawScene(nullptr), 1);
        std::vector<uint32_t> frame(size_t(kWidth) * kHeight);
        ASSERT_EQ(rkReadFrame(RK_READ_COLOR, frame.data()), 1);
        EXPECT_NEAR(Green(frame[2 * kWidth + 2]), green, 2) << index;
    }
    system_.SetBackgroundImage("");
    EXPECT_EQ(CRKPicker::IndexOf(0x00FF0800u), -1);
    EXPECT_EQ(CRKPicker::IndexOf(0x00000801u), -1);
    EXPECT_EQ(CRKPicker::IndexOf(CRKPicker::Colour(21)), 21);
}

TEST_F(ToolsTest, HiddenObjectsKeepTheirIndexButAreNotDrawn) {
    const std::vector<rkNode*> objects = CRKPicker::Objects(system_.World()->Node());
    ASSERT_GE(objects.size(), 22u);
    EXPECT_STREQ(objects[0]->name, "Ground");
    const auto at = OnScreen(ShapeCentre("Head"));
    rkNode* head = rkFindNode(system_.Avatar()->Node(), "Head");
    head->flags |= RK_NODE_HIDDEN;
    const rkNode* behind = CRKPicker::Pick(system_, int(at[0]), int(at[1]));
    EXPECT_TRUE(behind == nullptr || std::string(behind->name) != "Head");
    head->flags &= ~RK_NODE_HIDDEN;
    EXPECT_EQ(CRKPicker::Pick(system_, int(at[0]), int(at[1])), head);
}

TEST_F(ToolsTest, SelectionHangsTheRingAndPaintsThePartRedUntilItIsLeft) {
    CountingLock lock;
    tools_->SetLock(&lock);
    int tool = -1;
    tools_->Listener().toolChosen = [&](int t) { tool = t; };
    ASSERT_TRUE(tools_->SetManipulationMode(true));
    EXPECT_TRUE(lock.held);
    EXPECT_EQ(tool, CRKWindowTools::ObjectRotate);
    CRKNode* ring = system_.World()->Child("CircleLine");
    EXPECT_TRUE(ring->IsShown());

    const rkNode* head = rkFindNode(system_.Avatar()->Node(), "Head");
    const rkMaterial own = MaterialOf(head);
    auto at = OnScreen(ShapeCentre("Head"));
    tools_->MousePress(int(at[0]), int(at[1]), RKInputEvent::LeftButton, RKInputEvent::LeftButton);
    tools_->MouseRelease(int(at[0]), int(at[1]), RKInputEvent::LeftButton, 0);
    ASSERT_EQ(tools_->Selection(), head);
    EXPECT_EQ(ring->Node()->parent, head);
    EXPECT_EQ(MaterialOf(head).diffuse[0], 1.0f);
    EXPECT_EQ(MaterialOf(head).diffuse[1], 0.0f);

    // Another part takes the selection; the head gets its own colours back.
    at = OnScreen(ShapeCentre("UpperTorso"));
    EXPECT_STREQ(tools_->PickAt(int(at[0]), int(at[1]))->name, "UpperTorso");
    const rkMaterial back = MaterialOf(head);
    EXPECT_EQ(std::memcmp(&own, &back, sizeof(own)), 0);
    // The ground is never selected: a click on it clears the selection.
    const rkVector floor = {0, 1870, 0};
    at = OnScreen(floor);
    EXPECT_EQ(tools_->PickAt(int(at[0]), int(at[1])), nullptr);
    EXPECT_EQ(ring->Node()->parent, system_.World()->Node());
    EXPECT_FALSE(tools_->Select(system_.World()->Child("Ground")->Node()));

    tools_->SetTool(CRKWindowTools::CameraZoom);
    ASSERT_TRUE(tools_->SetManipulationMode(false));
    EXPECT_FALSE(lock.held);
    EXPECT_EQ(lock.locks, 1);
    EXPECT_EQ(lock.unlocks, 1);
    EXPECT_FALSE(ring->IsShown());
    // A window closed in manipulation mode gives the lock back and the ring to the world.
    tools_->SetManipulationMode(true);
    tools_->Select(rkFindNode(system_.Avatar()->Node(), "Neck"));
    tools_.reset();
    EXPECT_FALSE(lock.held);
    EXPECT_EQ(ring->Node()->parent, system_.World()->Node());
}

TEST_F(ToolsTest, TurningABodyPartFeedsThePoseAndUndoesTurnByTurn) {
    std::vector<rkMatrix> poses;
    tools_->SetPoseHook([&](const rkNode* root) {
        poses.push_back(rkFindNode(const_cast<rkNode*>(root), "LUpArm")->local);
    });
    tools_->SetManipulationMode(true);
    rkNode* arm = rkFindNode(system_.Avatar()->Node(), "LUpArm");
    ASSERT_NE(arm, nullptr);
    const rkMatrix rest = arm->local;
    const auto at = OnScreen(ShapeCentre("LUpArm"));
    Drag(int(at[0]), int(at[1]), int(at[0]) + 40, int(at[1]) + 5, 0, 4);
    ASSERT_EQ(tools_->Selection(), arm);
    const rkMatrix turned = arm->local;
    EXPECT_FALSE(rkIsIdentity(turned) && rkIsIdentity(rest));
    EXPECT_NE(std::memcmp(&turned, &rest, sizeof(rest)), 0);
    for (int i = 12; i < 15; ++i) EXPECT_EQ(turned.m[i], rest.m[i]);  // the joint stays put
    ASSERT_EQ(poses.size(), 1u);  // one pose per drag, not per mouse move
    EXPECT_EQ(std::memcmp(&poses[0], &turned, sizeof(turned)), 0);

    Drag(int(at[0]), int(at[1]), int(at[0]) + 5, int(at[1]) + 60);
    EXPECT_TRUE(tools_->Undo());
    EXPECT_EQ(std::memcmp(&arm->local, &turned, sizeof(turned)), 0);
    EXPECT_TRUE(tools_->Undo());
    EXPECT_EQ(std::memcmp(&arm->local, &rest, sizeof(rest)), 0);
    EXPECT_FALSE(tools_->Undo());
    EXPECT_TRUE(tools_->Redo());
    EXPECT_EQ(std::memcmp(&arm->local, &turned, sizeof(turned)), 0);
    EXPECT_EQ(std::memcmp(&poses.back(), &turned, sizeof(turned)), 0);
    EXPECT_TRUE(tools_->CanRedo());
    // A new turn drops what could be redone.
    Drag(int(at[0]), int(at[1]), int(at[0]) - 30, int(at[1]));
    EXPECT_FALSE(tools_->CanRedo());
}

TEST_F(ToolsTest, HorizontalTurnsChangeSignAcrossTheObject) {
    tools_->SetManipulationMode(true);
    rkNode* torso = rkFindNode(system_.Avatar()->Node(), "UpperTorso");
    tools_->Select(torso);
    rkUpdateNode(system_.World()->Node());
    const auto at = OnScreen({torso->world.m[12], torso->world.m[13], torso->world.m[14]});
    const rkMatrix start = torso->local;
    // The same drag above and below the object's point turns opposite ways: one after the
    // other, they cancel.
    ASSERT_TRUE(tools_->TurnObject(at[0] - 20, at[1] - 50, at[0] + 20, at[1] - 50));
    EXPECT_GT(std::fabs(torso->local.m[6] - start.m[6]), 1e-2f);
    ASSERT_TRUE(tools_->TurnObject(at[0] - 20, at[1] + 50, at[0] + 20, at[1] + 50));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(torso->local.m[i], start.m[i], 1e-4f) << i;
    // So do a vertical drag left and right of it.
    ASSERT_TRUE(tools_->TurnObject(at[0] - 50, at[1] - 20, at[0] - 50, at[1] + 20));
    EXPECT_GT(std::fabs(torso->local.m[6] - start.m[6]), 1e-2f);
    ASSERT_TRUE(tools_->TurnObject(at[0] + 50, at[1] - 20, at[0] + 50, at[1] + 20));
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(torso->local.m[i], start.m[i], 1e-4f) << i;
    // Object scale has no motion.
    EXPECT_FALSE(tools_->PerformTool(CRKWindowTools::ObjectScale, 0, 0, 100, 100));
}

}  // namespace
}  // namespace tavrel::test
