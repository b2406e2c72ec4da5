#include "motion/Chtr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/DebugOutput.h"
#include "TestPoses.h"

namespace tavrel {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TEST(CHTR, PositionByNameFollowsTheChain) {
    CHTR pose(testing::MakeHipsTree());
    // Turning Spine's whole local matrix turns its offset too: both bones now point up +z.
    rkRotateNode(rkFindNode(pose.GetRoot(), "Spine"), 0, kPi / 2);
    float x, y, z;
    ASSERT_EQ(pose.GetPositionByName("Head", x, y, z), 1);
    EXPECT_NEAR(x, 0.0f, 1e-4f);
    EXPECT_NEAR(y, 0.0f, 1e-4f);
    EXPECT_NEAR(z, 120.0f, 1e-4f);
    DebugCapture capture;
    EXPECT_EQ(pose.GetPositionByName("Tail", x, y, z), 0);
    EXPECT_EQ(capture.Text(), "CHTR::GetPositionByName() failed: part name not exist!\n");
}

TEST(CHTR, QuaternionAccessKeepsTranslation) {
    CHTR pose(testing::MakeHipsTree());
    const float h = std::sqrt(0.5f);
    ASSERT_EQ(pose.SetQuatByName("Leg", h, h, 0, 0, 1), 1);
    const rkNode* leg = rkFindNode(pose.GetRoot(), "Leg");
    EXPECT_FLOAT_EQ(leg->local.m[13], 10.0f);
    EXPECT_NEAR(leg->local.m[6], 1.0f, 1e-6f);  // local y now points along the parent's z
    float w, x, y, z;
    ASSERT_EQ(pose.GetQuatByName("Leg", w, x, y, z), 1);
    EXPECT_NEAR(w, h, 1e-6f);
    EXPECT_NEAR(x, h, 1e-6f);
    DebugCapture capture;
    EXPECT_EQ(pose.GetQuatByName("leg", w, x, y, z), 0);
    EXPECT_EQ(pose.SetQuatByName("leg", 1, 0, 0, 0, 1), 0);
    EXPECT_EQ(capture.Text(),
              "CHTR::GetQuatByName() failed: part name not exist!\n"
              "CHTR::SetQuatByName() failed: part name not exist!\n");
}

TEST(CHTR, ZeroDeltaLeavesRotationUnchanged) {
    CHTR pose(testing::MakeHipsTree());
    rkNode* foot = rkFindNode(pose.GetRoot(), "Foot");
    rkRotateNode(foot, 1, 0.7f);
    const rkMatrix before = foot->local;
    ASSERT_EQ(pose.SetQuatByName("Foot", 0, 0, 0, 0, 0), 1);
    for (int e = 0; e < 16; ++e) EXPECT_NEAR(foot->local.m[e], before.m[e], 1e-5f);
}

TEST(CHTR, AQuaternionThatIsNoRotationIsRefused) {
    CHTR pose(testing::MakeHipsTree());
    rkNode* foot = rkFindNode(pose.GetRoot(), "Foot");
    rkRotateNode(foot, 1, 0.7f);
    const rkMatrix before = foot->local;
    float w, x, y, z;
    pose.GetQuatByName("Foot", w, x, y, z);
    DebugCapture capture;
    const float nan = std::nanf(""), inf = INFINITY;
    EXPECT_EQ(pose.SetQuatByName("Foot", 0, 0, 0, 0, 1), 0);
    EXPECT_EQ(pose.SetQuatByName("Foot", -w, -x, -y, -z, 0), 0);  // a delta that cancels it
    EXPECT_EQ(pose.SetQuatByName("Foot", nan, 0, 0, 0, 0), 0);
    EXPECT_EQ(pose.SetQuatByName("Foot", 1, inf, 0, 0, 1), 0);
    EXPECT_TRUE(capture.Contains("CHTR::SetQuatByName() failed: the quaternion is no rotation!\n"));
    for (int e = 0; e < 16; ++e) EXPECT_EQ(foot->local.m[e], before.m[e]);
}

TEST(CHTR, CloneIsDeepAndCopyToStopsWhereATreeEnds) {
    CHTR pose(testing::MakeHipsTree());
    auto copy = pose.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->GetRoot(), pose.GetRoot());
    rkTranslateNode(rkFindNode(pose.GetRoot(), "Foot"), 0, 0, 5);
    EXPECT_FLOAT_EQ(rkFindNode(copy->GetRoot(), "Foot")->local.m[14], 0.0f);

    // A target with only the spine branch takes what it can.
    rkNode* small = rkCreateNode("R");
    rkLinkNode(small, rkCreateNode("S"));
    CHTR target(small);
    rkTranslateNode(rkFindNode(pose.GetRoot(), "Spine"), 3, 0, 0);
    EXPECT_EQ(pose.CopyTo(target), 1);
    EXPECT_FLOAT_EQ(small->local.m[14], 100.0f);
    EXPECT_FLOAT_EQ(small->child->local.m[12], 3.0f);

    CHTR empty;
    EXPECT_EQ(empty.Clone(), nullptr);
    EXPECT_EQ(pose.CopyTo(empty), 0);
    EXPECT_EQ(empty.CopyTo(target), 0);
}

TEST(CHTR, BorrowedTreeIsLeftAloneWhenDetached) {
    rkNode* tree = testing::MakeHipsTree();
    {
        CHTR borrowed(tree);
        borrowed.SetRoot(nullptr);
    }
    EXPECT_STREQ(tree->child->name, "Spine");  // still alive
    rkFreeTree(tree);
}

}  // namespace
}  // namespace tavrel
