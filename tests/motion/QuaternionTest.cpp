#include "motion/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace tavrel {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectQuat(const Quat& q, float w, float x, float y, float z, float eps = 1e-5f) {
    EXPECT_NEAR(q.w, w, eps);
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
}

TEST(Quaternion, KnownRotations) {
    rkMatrix m;
    rkIdentity(&m);
    ExpectQuat(MatrixToQuat(m), 1, 0, 0, 0);
    rkRotationMatrix(&m, 0, kPi);  // half turn about X takes the non-trace branch
    ExpectQuat(MatrixToQuat(m), 0, 1, 0, 0);
    rkRotationMatrix(&m, 1, kPi);
    ExpectQuat(MatrixToQuat(m), 0, 0, 1, 0);
    rkRotationMatrix(&m, 2, kPi / 2);
    const float h = std::sqrt(0.5f);
    ExpectQuat(MatrixToQuat(m), h, 0, 0, h);
}

TEST(Quaternion, RoundTripsRandomRotationsAndIgnoresLength) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> angle(-kPi, kPi);
    for (int i = 0; i < 200; ++i) {
        rkMatrix a, b, c, m;
        rkRotationMatrix(&a, 0, angle(random));
        rkRotationMatrix(&b, 1, angle(random));
        rkRotationMatrix(&c, 2, angle(random));
        rkMultiply(&m, a, b);
        rkMultiply(&m, m, c);
        Quat q = MatrixToQuat(m);
        q = {q.w * 3, q.x * 3, q.y * 3, q.z * 3};  // length must not matter
        rkMatrix back;
        QuatToMatrix(q, &back);
        for (int e = 0; e < 16; ++e) ASSERT_NEAR(back.m[e], m.m[e], 2e-5f) << "element " << e;
    }
}

TEST(Quaternion, SlerpEndsAndMidpoint) {
    const Quat id{1, 0, 0, 0};
    const float h = std::sqrt(0.5f);
    const Quat quarterZ{h, 0, 0, h};
    ExpectQuat(Slerp(id, quarterZ, 0), 1, 0, 0, 0);
    ExpectQuat(Slerp(id, quarterZ, 1), h, 0, 0, h);
    ExpectQuat(Slerp(id, quarterZ, 0.5f), std::cos(kPi / 8), 0, 0, std::sin(kPi / 8));
}

TEST(Quaternion, SlerpOfEqualOrOppositeQuaternionsReturnsTheFirst) {
    const Quat q{0.5f, 0.5f, -0.5f, 0.5f};
    const Quat minusQ{-0.5f, -0.5f, 0.5f, -0.5f};
    for (float t : {0.0f, 0.3f, 1.0f}) {
        ExpectQuat(Slerp(q, q, t), q.w, q.x, q.y, q.z);
        ExpectQuat(Slerp(q, minusQ, t), q.w, q.x, q.y, q.z);
    }
}

TEST(Quaternion, SlerpTakesTheShorterArc) {
    // 170 degrees about Z against -170 degrees: the short way passes through 180, not 0.
    const float a = 170.0f * kPi / 180.0f;
    const Quat q1{std::cos(a / 2), 0, 0, std::sin(a / 2)};
    const Quat q2{std::cos(-a / 2), 0, 0, std::sin(-a / 2)};
    const Quat mid = Slerp(q1, q2, 0.5f);
    EXPECT_NEAR(std::fabs(mid.w), 0.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(mid.z), 1.0f, 1e-5f);
}

}  // namespace
}  // namespace tavrel
