#include "motion/PoseBlender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "motion/Quaternion.h"
#include "TestPoses.h"

namespace tavrel {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectSameLocals(const rkNode* a, const rkNode* b, float eps) {
    ASSERT_TRUE(a && b);
    for (int e = 0; e < 16; ++e) EXPECT_NEAR(a->local.m[e], b->local.m[e], eps) << a->name;
    for (a = a->child, b = b->child; a && b; a = a->next, b = b->next) ExpectSameLocals(a, b, eps);
}

// Pose B: every joint of the hips tree turned and moved differently from pose A.
std::unique_ptr<CHTR> MovedPose() {
    auto pose = std::make_unique<CHTR>(testing::MakeHipsTree());
    int i = 0;
    for (const char* name : {"Root", "Spine", "Head", "Leg", "Foot"}) {
        rkNode* n = rkFindNode(pose->GetRoot(), name);
        rkRotateNode(n, i % 3, 0.4f + 0.3f * i);
        rkTranslateNode(n, float(i), 2.0f, -1.0f);
        ++i;
    }
    return pose;
}

TEST(PoseBlender, FullWeightGivesAAndZeroGivesB) {
    CHTR a(testing::MakeHipsTree());
    auto b = MovedPose();
    CPoseBlender blender;
    auto allA = blender.Blend(&a, b.get(), 1.0f);
    auto allB = blender.Blend(&a, b.get(), 0.0f);
    ExpectSameLocals(allA->GetRoot(), a.GetRoot(), 1e-5f);
    ExpectSameLocals(allB->GetRoot(), b->GetRoot(), 1e-5f);
    EXPECT_STREQ(allB->GetRoot()->child->child->name, "Head");  // A's shape and names
}

TEST(PoseBlender, HalfWayTurnsHalfTheAngleAndMovesHalfTheDistance) {
    CHTR a(testing::MakeHipsTree());
    CHTR b(testing::MakeHipsTree());
    rkNode* legB = rkFindNode(b.GetRoot(), "Leg");
    rkRotateNode(legB, 2, kPi / 2);
    rkTranslateNode(legB, 4, 0, 0);
    auto mid = CPoseBlender().Blend(&a, &b, 0.5f);
    const rkNode* leg = rkFindNode(mid->GetRoot(), "Leg");
    const Quat q = MatrixToQuat(leg->local);
    EXPECT_NEAR(2.0f * std::acos(q.w), kPi / 2 / 2, 1e-5f);
    // Leg's translation in A is (0, 10, 0); in B the turn carried it to (-10, 0, 0) + (4, 0, 0).
    EXPECT_NEAR(leg->local.m[12], -3.0f, 1e-5f);
    EXPECT_NEAR(leg->local.m[13], 5.0f, 1e-5f);
}

TEST(PoseBlender, HalfTurnApartFollowsTheShorterArc) {
    CHTR a(testing::MakeHipsTree());
    CHTR b(testing::MakeHipsTree());
    rkRotateNode(rkFindNode(a.GetRoot(), "Head"), 2, 175.0f * kPi / 180.0f);
    rkRotateNode(rkFindNode(b.GetRoot(), "Head"), 2, -175.0f * kPi / 180.0f);
    auto mid = CPoseBlender().Blend(&a, &b, 0.5f);
    const rkNode* head = rkFindNode(mid->GetRoot(), "Head");
    EXPECT_NEAR(head->local.m[0], -1.0f, 1e-4f);  // 180 degrees, not 0
}

TEST(PoseBlender, MissingOrSmallerPoses) {
    CHTR a(testing::MakeHipsTree());
    CPoseBlender blender;
    EXPECT_EQ(blender.Blend(&a, nullptr, 0.5f), nullptr);
    EXPECT_EQ(blender.Blend(nullptr, &a, 0.5f), nullptr);
    CHTR lone(rkCreateNode("Root"));
    rkTranslateNode(lone.GetRoot(), 0, 0, 200);
    auto result = blender.Blend(&a, &lone, 0.5f);  // B runs out after its root
    ASSERT_NE(result, nullptr);
    EXPECT_FLOAT_EQ(result->GetRoot()->local.m[14], 150.0f);
    ExpectSameLocals(result->GetRoot()->child, a.GetRoot()->child, 0.0f);
}

TEST(PoseBlender, ThreeMatricesShareTranslationByWeight) {
    rkMatrix m[3];
    for (int k = 0; k < 3; ++k) {
        rkIdentity(&m[k]);
        m[k].m[12] = float(10 * (k + 1));
    }
    const rkMatrix* list[3] = {&m[0], &m[1], &m[2]};
    const float weights[2] = {0.5f, 0.25f};
    rkMatrix out;
    CPoseBlender::BlendMatrices(list, 3, weights, &out);
    EXPECT_NEAR(out.m[12], 0.5f * 10 + 0.25f * 20 + 0.25f * 30, 1e-5f);
    EXPECT_TRUE(rkIsIdentity([&] { rkMatrix r = out; r.m[12] = 0; return r; }(), 1e-6f));
}

}  // namespace
}  // namespace tavrel
