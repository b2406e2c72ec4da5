// The camera and object tools: their arithmetic, the modifier rule, the first-move and
// own-update rules, hot keys, and cameras that stay finite whatever the mouse does.
#include <random>

#include "tests/RKWindow/ToolFixture.h"

namespace tavrel::test {
namespace {

constexpr float kPi = 3.14159265f;

bool Usable(RKViewport& camera) {
    rkMatrix view;
    const rkVector e = camera.GetEye(), d = camera.GetDirection(), u = camera.GetUp();
    for (float f : {e.x, e.y, e.z, d.x, d.y, d.z, u.x, u.y, u.z}) {
        if (!std::isfinite(f)) return false;
    }
    return camera.BuildViewMatrix(&view);
}

TEST_F(ToolsTest, ZoomMovesTheEyeAHundredUnitsForAHundredPixelsOfANineHundredPixelWindow) {
    tools_->Resize(1200, 900);
    const rkVector eye = system_.Camera().GetEye(), d = system_.Camera().GetDirection();
    tools_->SetTool(CRKWindowTools::CameraZoom);
    Drag(300, 400, 400, 410);  // mostly right: nearer
    ExpectNear(system_.Camera().GetEye() - eye, {d.x * 100, d.y * 100, d.z * 100});
    Drag(300, 400, 290, 300);  // mostly up: nearer by the vertical amount
    ExpectNear(system_.Camera().GetEye() - eye, {d.x * 200, d.y * 200, d.z * 200});
    // The offset to the target follows every camera tool.
    ExpectNear(system_.cameraOffset, system_.Camera().GetEye() - system_.TargetPosition());
}

TEST_F(ToolsTest, RotateTurnsOnceAroundTheTargetPerWindowWidth) {
    tools_->SetTool(CRKWindowTools::CameraRotate);
    const rkVector eye = system_.Camera().GetEye(), target = system_.TargetPosition();
    Drag(0, 300, kWidth / 2, 300);  // half a turn: the eye on the other side
    const rkVector half = system_.Camera().GetEye() - target, start = eye - target;
    ExpectNear(half, {-start.x, -start.y, start.z}, 0.5f);  // turned about the up axis
    ExpectNear(system_.Camera().GetDirection(), {0, -1, 0}, 1e-3f);
    Drag(kWidth / 2, 300, kWidth, 300);  // the second half: back where it started
    ExpectNear(system_.Camera().GetEye(), eye, 0.5f);
    ExpectNear(system_.Camera().GetDirection(), {0, 1, 0}, 1e-3f);
}

TEST_F(ToolsTest, VerticalRotateTurnsAboutDirectionCrossUpByTheSceneScale) {
    tools_->SetTool(CRKWindowTools::CameraRotate);
    system_.sceneScale = 0.5f;
    const float distance = rkLength(system_.cameraOffset);
    Drag(400, 450, 400, 0);  // 450 of 600 pixels at scale 0.5: 3/8 of a turn
    const rkVector d = system_.Camera().GetDirection();
    const float along = d.x * 0 + d.y * 1 + d.z * 0;
    EXPECT_NEAR(along, std::cos(0.75f * kPi), 1e-3f);
    EXPECT_NEAR(rkLength(system_.cameraOffset), distance, 0.5f);  // still as far from the target
    ExpectNear({system_.Camera().GetEye().x, 0, 0}, {system_.TargetPosition().x, 0, 0});
}

TEST_F(ToolsTest, CameraMoveKeepsThePointAtTheTargetUnderTheMouse) {
    tools_->SetTool(CRKWindowTools::CameraMove);
    const rkVector target = system_.TargetPosition();
    const auto before = OnScreen(target);
    const rkVector direction = system_.Camera().GetDirection();
    Drag(400, 300, 460, 260);
    const auto after = OnScreen(target);
    EXPECT_NEAR(after[0] - before[0], 60, 1.0f);
    EXPECT_NEAR(after[1] - before[1], -40, 1.0f);
    ExpectNear(system_.Camera().GetDirection(), direction, 1e-6f);
}

TEST_F(ToolsTest, ObjectMoveKeepsOnlyTheAllowedAxes) {
    tools_->SetTool(CRKWindowTools::ObjectMove);
    rkNode* root = system_.AvatarRoot();
    system_.PresetCamera(RKViewport::Left);  // looking along x: drags move y and z
    const struct {
        int constraint;
        bool x, y, z;
    } cases[] = {{2, false, false, true},
                 {1, false, true, false},
                 {4, false, true, true},
                 {0, false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.constraint);
        tools_->SetMoveConstraint(c.constraint);
        const rkMatrix before = root->local;
        Drag(400, 300, 450, 250);
        EXPECT_EQ(root->local.m[12] != before.m[12], c.x);
        EXPECT_EQ(root->local.m[13] != before.m[13], c.y);
        EXPECT_EQ(root->local.m[14] != before.m[14], c.z);
        for (int i = 0; i < 12; ++i) EXPECT_EQ(root->local.m[i], before.m[i]);
    }
}

TEST_F(ToolsTest, NothingMovesWhileAModifierOrCXZIsHeld) {
    tools_->SetTool(CRKWindowTools::CameraZoom);
    const rkVector eye = system_.Camera().GetEye();
    for (int modifier : {RKInputEvent::Shift, RKInputEvent::Control, RKInputEvent::Alt}) {
        Drag(100, 100, 200, 100, modifier);
    }
    for (int key : {'C', 'X', 'Z'}) {
        tools_->KeyPress(key);
        Drag(100, 100, 200, 100);
        tools_->KeyRelease(key);
    }
    ExpectNear(system_.Camera().GetEye(), eye, 0.0f);
    tools_->KeyPress('V');  // any other key held is no modifier
    Drag(100, 100, 200, 100);
    tools_->KeyRelease('V');
    EXPECT_GT(rkLength(system_.Camera().GetEye() - eye), 1.0f);
    tools_->SetTool(CRKWindowTools::NoTool);
    const rkVector still = system_.Camera().GetEye();
    Drag(100, 100, 200, 100);
    ExpectNear(system_.Camera().GetEye(), still, 0.0f);
}

TEST_F(ToolsTest, FirstMoveOnlyRecordsAndAnOwnUpdateSkipsOneMove) {
    tools_->SetTool(CRKWindowTools::CameraZoom);
    const rkVector eye = system_.Camera().GetEye();
    tools_->MouseMove(10, 10, RKInputEvent::LeftButton);  // first move: nothing to move from
    ExpectNear(system_.Camera().GetEye(), eye, 0.0f);
    tools_->SetOwnUpdate(true);
    tools_->MouseMove(110, 10, RKInputEvent::LeftButton);  // ignored once
    ExpectNear(system_.Camera().GetEye(), eye, 0.0f);
    EXPECT_TRUE(tools_->MouseMove(210, 10, RKInputEvent::LeftButton));
    ExpectNear(system_.Camera().GetEye() - eye, {0, 100 * 900.0f / kHeight, 0});
}

TEST_F(ToolsTest, HotkeysChooseToolsAndPresetsAndTellTheWindow) {
    CRKHotkeys& keys = tools_->Hotkeys();
    const char bound[] = {'1', '2', '3', '4', '5', '6', 'M', 'Z', 'R', 'G', 'T', '\0'};
    for (int a = 0; a < CRKHotkeys::ActionCount; ++a) keys.SetKey(a, bound[a]);
    int tool = -1, preset = -1;
    tools_->Listener().toolChosen = [&](int t) { tool = t; };
    tools_->Listener().presetChosen = [&](int p) { preset = p; };
    EXPECT_TRUE(tools_->KeyPress('4'));
    EXPECT_EQ(preset, 3);
    ExpectNear(system_.Camera().GetDirection(), {-1, 0, 0});
    tools_->KeyPress('R');
    EXPECT_EQ(tool, CRKWindowTools::CameraRotate);
    // Object tools answer their keys only while their toolbar commands are enabled.
    tools_->KeyPress('G');
    EXPECT_EQ(tools_->CurrentTool(), CRKWindowTools::CameraRotate);
    tools_->SetManipulationMode(true);
    tools_->KeyPress('G');
    EXPECT_EQ(tools_->CurrentTool(), CRKWindowTools::ObjectMove);
    // Home returns to the front; F frames the whole avatar along the current direction.
    tools_->KeyPress('2');
    EXPECT_TRUE(tools_->KeyPress(RKInputEvent::KeyHome));
    EXPECT_EQ(preset, 0);
    ExpectNear(system_.Camera().GetDirection(), {0, 1, 0});
    system_.Camera().SetEye(0, -20000, 0);
    EXPECT_TRUE(tools_->KeyPress('F'));
    const auto head = OnScreen(ShapeCentre("Head"));
    const auto foot = OnScreen(ShapeCentre("LFoot"));
    EXPECT_GT(std::fabs(foot[1] - head[1]), kHeight * 0.5f);  // near, not lost in the distance
    for (const auto& p : {head, foot}) {
        EXPECT_GT(p[1], 0);
        EXPECT_LT(p[1], kHeight);
    }
}

TEST_F(ToolsTest, WheelZoomsTowardsThePointUnderTheCursor) {
    const rkVector eye = system_.Camera().GetEye();
    const float distance = rkLength(system_.cameraOffset);
    tools_->WheelTurn(kWidth / 2, kHeight / 2, 1.0f);
    const rkVector d = system_.Camera().GetDirection();
    ExpectNear(system_.Camera().GetEye() - eye,
               {d.x * distance * 0.1f, d.y * distance * 0.1f, d.z * distance * 0.1f}, 0.5f);
    // Off centre: the point under the cursor stays there.
    const float corner[1][2] = {{100, 80}};
    rkVector ray;
    ASSERT_TRUE(system_.Camera().Unproject(corner, 1, &ray));
    const rkVector from = system_.Camera().GetEye();
    const rkVector far = {from.x + (ray.x - from.x) * 50, from.y + (ray.y - from.y) * 50,
                          from.z + (ray.z - from.z) * 50};
    tools_->WheelTurn(100, 80, 2.0f);
    const auto at = OnScreen(far);
    EXPECT_NEAR(at[0], 100, 1.0f);
    EXPECT_NEAR(at[1], 80, 1.0f);
}

TEST_F(ToolsTest, MiddleDragOrbitsAndShiftMiddleDragPansWhateverTheTool) {
    tools_->SetTool(CRKWindowTools::NoTool);
    const rkVector target = system_.TargetPosition();
    const float distance = rkLength(system_.cameraOffset);
    tools_->MousePress(100, 300, RKInputEvent::MiddleButton, RKInputEvent::MiddleButton);
    tools_->MouseMove(300, 200, RKInputEvent::MiddleButton);
    EXPECT_NEAR(rkLength(system_.Camera().GetEye() - target), distance, 0.5f);
    EXPECT_GT(std::fabs(system_.Camera().GetDirection().x), 0.4f);
    const rkVector direction = system_.Camera().GetDirection();
    tools_->MouseMove(350, 200, RKInputEvent::MiddleButton, RKInputEvent::Shift);
    ExpectNear(system_.Camera().GetDirection(), direction, 1e-6f);
    EXPECT_GT(rkLength(system_.Camera().GetEye() - target), distance);
}

TEST_F(ToolsTest, AFollowingCameraKeepsItsOffsetWhileTheAvatarWalksAway) {
    tools_->SetTool(CRKWindowTools::CameraRotate);
    Drag(100, 300, 200, 300);  // some offset of the camera's own
    const rkVector offset = system_.cameraOffset;
    system_.follow = true;
    rkTranslateNode(system_.AvatarRoot(), 300, -200, 0);
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    ExpectNear(system_.Camera().GetEye() - system_.TargetPosition(), offset);
    system_.follow = false;
    rkTranslateNode(system_.AvatarRoot(), 300, 0, 0);
    const rkVector eye = system_.Camera().GetEye();
    ASSERT_EQ(system_.DrawScene(nullptr), 1);
    ExpectNear(system_.Camera().GetEye(), eye, 0.0f);
}

TEST_F(ToolsTest, DegenerateCamerasAndWindowsNeverGiveNaN) {
    // Eye on the target: turning and zooming stay finite.
    const rkVector t = system_.TargetPosition();
    system_.Camera().SetEye(t.x, t.y, t.z);
    for (int tool = 1; tool <= 6; ++tool) {
        tools_->PerformTool(tool, 10, 10, 30, 50);
        ASSERT_TRUE(Usable(system_.Camera())) << tool;
    }
    // Up along the direction: a vertical turn has no axis and is refused.
    system_.Camera().SetUp(0, 1, 0);
    system_.Camera().SetDirection(0, 1, 0);
    EXPECT_FALSE(tools_->Camera().Rotate(10, 10, 10, 50));
    EXPECT_TRUE(std::isfinite(system_.Camera().GetDirection().y));
    // A window without area: tools do nothing, the projection keeps its last aspect.
    system_.PresetCamera(0);
    tools_->Resize(0, 0);
    EXPECT_TRUE(std::isfinite(system_.Camera().view.aspect));
    for (int tool = 1; tool <= 6; ++tool) {
        EXPECT_FALSE(tools_->PerformTool(tool, 10, 10, 30, 50)) << tool;
    }
    EXPECT_FALSE(tools_->Camera().ZoomTowards(5, 5, 1));
    rkVector p;
    const float point[1][2] = {{0, 0}};
    EXPECT_FALSE(system_.Camera().Unproject(point, 1, &p));
    ASSERT_TRUE(Usable(system_.Camera()));
}

TEST_F(ToolsTest, RandomDragsNeverLeaveAnUnusableCamera) {
    std::mt19937 random(13);
    std::uniform_int_distribution<int> coordinate(-200, 1200), tool(0, 6), size(0, 1000);
    for (int round = 0; round < 3000; ++round) {
        if (round % 200 == 0)
            tools_->Resize(size(random) % 3 == 0 ? 0 : size(random), size(random));
        if (round % 500 == 250) {
            const rkVector t = system_.TargetPosition();
            system_.Camera().SetEye(t.x, t.y, t.z);
        }
        const float x0 = float(coordinate(random)), y0 = float(coordinate(random));
        const float x1 = random() % 4 == 0 ? x0 : float(coordinate(random));
        const float y1 = float(coordinate(random));
        switch (random() % 4) {
            case 0:
                tools_->PerformTool(tool(random), x0, y0, x1, y1);
                break;
            case 1:
                tools_->Camera().Orbit(x0, y0, x1, y1);
                break;
            case 2:
                tools_->Camera().ZoomTowards(x0, y0, float(int(random() % 7) - 3));
                break;
            default:
                tools_->Camera().Rotate(x0, y0, x1, y1);
                break;
        }
        ASSERT_TRUE(Usable(system_.Camera())) << "round " << round;
        const rkVector o = system_.cameraOffset;
        ASSERT_TRUE(std::isfinite(o.x) && std::isfinite(o.y) && std::isfinite(o.z));
    }
}

}  // namespace
}  // namespace tavrel::test
