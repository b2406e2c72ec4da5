// The camera record: defaults, presets, view and projection matrices, project and unproject.
#include "RKWindow/RKViewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/DebugOutput.h"

using namespace tavrel;

namespace {

void ExpectNear(const rkVector& a, const rkVector& b, float eps = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(RKViewport, StartsAsTheFrontCameraAtTheOrigin) {
    RKViewport camera;
    EXPECT_FALSE(camera.changed);
    ExpectNear(camera.GetEye(), {0, -2500, -31});
    ExpectNear(camera.GetDirection(), {0, 1, 0});
    ExpectNear(camera.GetUp(), {0, 0, 1});
    EXPECT_EQ(camera.view.nearPlane, 10.0f);
    EXPECT_EQ(camera.view.farPlane, std::numeric_limits<float>::max());
    EXPECT_EQ(camera.view.fieldOfView, 0.7853975f);
}

TEST(RKViewport, PresetsPlaceTheEyeAroundTheAvatarByScale) {
    RKViewport camera;
    const rkVector root = {1, 2, 3};
    const struct {
        int index;
        rkVector eye, direction, up;
    } presets[] = {
        {0, {1, -4998, -59}, {0, 1, 0}, {0, 0, 1}},  {1, {1, 5002, -59}, {0, -1, 0}, {0, 0, 1}},
        {2, {-4999, 2, -59}, {1, 0, 0}, {0, 0, 1}},  {3, {5001, 2, -59}, {-1, 0, 0}, {0, 0, 1}},
        {4, {1, 2, 4363}, {0, 0, -1}, {0, 1, 0}},    {5, {1, 2, -3737}, {0, 0, 1}, {0, -1, 0}},
    };
    for (const auto& p : presets) {
        SCOPED_TRACE(p.index);
        ASSERT_TRUE(camera.PresetCamera(p.index, root, 2.0f));
        ExpectNear(camera.GetEye(), p.eye);
        ExpectNear(camera.GetDirection(), p.direction);
        ExpectNear(camera.GetUp(), p.up);
    }
    EXPECT_FALSE(camera.PresetCamera(6, root, 1.0f));
}

TEST(RKViewport, ViewportRectGivesTheAspectAndTheVerticalAngle) {
    RKViewport camera;
    camera.SetViewportRect(10, 20, 410, 320);
    EXPECT_TRUE(camera.changed);
    EXPECT_EQ(camera.view.viewport[2], 400);
    EXPECT_EQ(camera.view.viewport[3], 300);
    EXPECT_FLOAT_EQ(camera.view.aspect, 0.75f);
    rkMatrix projection;
    camera.GetProjectionMatrix(&projection);
    const float fov = camera.view.fieldOfView;  // pi / 4 as stored
    EXPECT_FLOAT_EQ(projection.m[0], 1 / std::tan(fov / 2));
    EXPECT_FLOAT_EQ(projection.m[5], 1 / (0.75f * std::tan(fov / 2)));
    EXPECT_EQ(projection.m[11], 1.0f);
    EXPECT_EQ(projection.m[15], 0.0f);
}

TEST(RKViewport, PixelsStaySquareAndUprightAtAnyAspect) {
    // A square in front of the camera must show as a square, the right way up, in wide,
    // landscape and tall windows alike.
    const int sizes[][2] = {{1600, 900}, {800, 600}, {400, 400}, {100, 400}, {100, 500}, {60, 900}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        RKViewport camera;
        camera.SetViewportRect(0, 0, size[0], size[1]);
        camera.PresetCamera(RKViewport::Front, {0, 0, 0}, 1.0f);
        const rkVector corners[] = {{-20, 0, -10}, {20, 0, -10}, {0, 0, -30}, {0, 0, 10}};
        float window[4][4];
        ASSERT_TRUE(camera.Project(corners, 4, window));
        const float width = std::fabs(window[1][0] - window[0][0]);
        const float height = window[2][1] - window[3][1];  // +z is up in the world
        EXPECT_GT(width, 1.0f);
        EXPECT_NEAR(height, width, 1e-3f * width);
    }
}

TEST(RKViewport, ProjectionMapsNearAndFarToZeroAndOne) {
    rkMatrix p;
    RKViewport::ProjectionMatrix(&p, 10, 1000, 1.0f, 1.0f);
    EXPECT_NEAR(rkTransformPoint({0, 0, 10}, p).z, 0.0f, 1e-6);
    EXPECT_NEAR(rkTransformPoint({0, 0, 1000}, p).z, 1.0f, 1e-6);
}

TEST(RKViewport, TheUpPresetNeedsNoFallback) {
    RKViewport camera;
    camera.PresetCamera(RKViewport::Up, {0, 0, 0}, 1.0f);
    rkMatrix view;
    ASSERT_TRUE(camera.BuildViewMatrix(&view));
    // Columns hold right, up and direction.
    ExpectNear({view.m[1], view.m[5], view.m[9]}, {0, 1, 0});
    ExpectNear({view.m[2], view.m[6], view.m[10]}, {0, 0, -1});
    ExpectNear(rkTransformPoint({0, 0, 0}, view), {0, 0, 2180});
}

TEST(RKViewport, UpAlongTheDirectionFallsBackTwice) {
    rkVector direction = {0, 3, 0};
    rkMatrix view;
    ASSERT_TRUE(RKViewport::BuildViewMatrix(&view, {0, 0, 0}, &direction, {0, 1, 0}));
    ExpectNear(direction, {0, 1, 0});  // normalised in place
    ExpectNear({view.m[1], view.m[5], view.m[9]}, {0, 0, 1});
}

TEST(RKViewport, AZeroDirectionYieldsTheIdentityAndAReport) {
    tavrel::DebugCapture capture;
    rkVector direction = {0, 0, 0};
    rkMatrix view;
    EXPECT_FALSE(RKViewport::BuildViewMatrix(&view, {5, 5, 5}, &direction, {0, 0, 1}));
    EXPECT_TRUE(rkIsIdentity(view));
    EXPECT_TRUE(capture.Contains("BuildViewMatrix fail. (RKWindow\\RKViewport:"));
}

TEST(RKViewport, ProjectIsTheReverseOfUnproject) {
    RKViewport camera;
    camera.SetViewportRect(0, 0, 400, 300);
    camera.PresetCamera(RKViewport::Left, {0, 0, 100}, 1.0f);
    const rkVector world[] = {{0, 0, 100}, {0, 120, 40}, {50, -80, 160}};
    float window[3][4];
    ASSERT_TRUE(camera.Project(world, 3, window));
    EXPECT_NEAR(window[0][0], 200, 1e-3);
    float points[3][2];
    for (int i = 0; i < 3; ++i) points[i][0] = window[i][0], points[i][1] = window[i][1];
    rkVector back[3];
    ASSERT_TRUE(camera.Unproject(points, 3, back));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        // The point on the near plane lies on the ray from the eye through the world point.
        const rkVector eye = camera.GetEye();
        const rkVector a = {world[i].x - eye.x, world[i].y - eye.y, world[i].z - eye.z};
        const rkVector b = {back[i].x - eye.x, back[i].y - eye.y, back[i].z - eye.z};
        ExpectNear(rkNormalize(a), rkNormalize(b), 1e-3f);
        EXPECT_EQ(window[i][3], 1.0f);
        EXPECT_GT(window[i][2], 0.0f);
        EXPECT_LT(window[i][2], 1.0f);
    }
    // Seen from the left (looking +x), world +y lies to the left of the window's centre.
    EXPECT_LT(window[1][0], 200);
    EXPECT_LT(window[2][1], 150);  // higher points are higher in the window
}

}  // namespace
