#include "ZU2/rkMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

void ExpectNear(const rkVector& a, const rkVector& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

TEST(rkMath, RowVectorConventionComposesLeftToRight) {
    rkMatrix turn, shift, both;
    rkRotationMatrix(&turn, 2, std::numbers::pi_v<float> / 2);
    rkIdentity(&shift);
    shift.m[12] = 10.0f;
    rkMultiply(&both, turn, shift);  // first turn, then shift
    ExpectNear(rkTransformPoint({1, 0, 0}, both), {10, 1, 0});
    rkMultiply(&both, shift, turn);  // first shift, then turn
    ExpectNear(rkTransformPoint({1, 0, 0}, both), {0, 11, 0});
}

TEST(rkMath, RotationsFollowTheRightHandAboutEachAxis) {
    rkMatrix r;
    const float quarter = std::numbers::pi_v<float> / 2;
    rkRotationMatrix(&r, 0, quarter);
    ExpectNear(rkTransformPoint({0, 1, 0}, r), {0, 0, 1});
    rkRotationMatrix(&r, 1, quarter);
    ExpectNear(rkTransformPoint({0, 0, 1}, r), {1, 0, 0});
    rkRotationMatrix(&r, 2, quarter);
    ExpectNear(rkTransformPoint({1, 0, 0}, r), {0, 1, 0});
}

TEST(rkMath, TransformPointDividesByW) {
    rkMatrix m;
    rkIdentity(&m);
    m.m[15] = 2.0f;
    ExpectNear(rkTransformPoint({2, 4, 6}, m), {1, 2, 3});
}

TEST(rkMath, NormalMatrixOrthonormalisesAndDropsScaleAndTranslation) {
    rkMatrix m;
    rkRotationMatrix(&m, 2, 0.3f);
    for (int i : {0, 1, 2, 4, 5, 6}) m.m[i] *= 3.0f;  // scale x and y
    m.m[12] = 5.0f;
    rkMatrix n;
    rkNormalMatrix(&n, m);
    ExpectNear(rkTransformPoint({1, 0, 0}, n), {std::cos(0.3f), std::sin(0.3f), 0});
    EXPECT_FLOAT_EQ(n.m[12], 0.0f);
    EXPECT_FLOAT_EQ(n.m[15], 1.0f);
}

TEST(rkMath, NormalMatrixOfAMirrorFlipsAllRows) {
    rkMatrix mirror;
    rkIdentity(&mirror);
    mirror.m[0] = -1.0f;
    rkMatrix n;
    rkNormalMatrix(&n, mirror);
    EXPECT_FLOAT_EQ(n.m[0], 1.0f);
    EXPECT_FLOAT_EQ(n.m[5], -1.0f);
    EXPECT_FLOAT_EQ(n.m[10], -1.0f);
}

}  // namespace
