#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "ZU2/rkMath.h"
#include "ZU2/rkUtil.h"

namespace {

void ExpectNear(const rkVector& a, const rkVector& b, float eps = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

// Vectors and rotations drawn with a fixed seed, so that a failing case comes back.
class RandomInputs {
public:
    rkVector Vector() { return {spread_(random_), spread_(random_), spread_(random_)}; }
    // A turn about all three axes, placed at a random point.
    rkMatrix Placement() {
        rkMatrix a, b, c;
        rkRotationMatrix(&a, 0, angle_(random_));
        rkRotationMatrix(&b, 1, angle_(random_));
        rkRotationMatrix(&c, 2, angle_(random_));
        rkMatrix m = a * b * c;
        const rkVector t = Vector();
        m.m[12] = t.x, m.m[13] = t.y, m.m[14] = t.z;
        return m;
    }

private:
    std::mt19937 random_{20240611};
    std::uniform_real_distribution<float> spread_{-10.0f, 10.0f};
    std::uniform_real_distribution<float> angle_{-std::numbers::pi_v<float>,
                                                 std::numbers::pi_v<float>};
};

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

TEST(rkMath, VectorHelpersKeepTheirIdentitiesForRandomInputs) {
    RandomInputs random;
    for (int i = 0; i < 500; ++i) {
        SCOPED_TRACE(i);
        const rkVector a = random.Vector(), b = random.Vector();
        const float la = rkLength(a), lb = rkLength(b);
        const rkVector c = rkCross(a, b);
        EXPECT_NEAR(rkDot(c, a), 0.0f, 1e-5f * la * la * lb);
        EXPECT_NEAR(rkDot(c, b), 0.0f, 1e-5f * la * lb * lb);
        // Lagrange: |a x b|^2 + (a . b)^2 = |a|^2 |b|^2.
        EXPECT_NEAR(rkDot(c, c) + rkDot(a, b) * rkDot(a, b), la * la * lb * lb,
                    1e-4f * la * la * lb * lb);
        const rkVector unit = rkNormalize(b);
        EXPECT_NEAR(rkLength(unit), 1.0f, 1e-6f);
        EXPECT_NEAR(rkDot(unit, b), lb, 1e-5f * lb);
        const rkVector across = rkReject(a, unit);
        EXPECT_NEAR(rkDot(across, unit), 0.0f, 1e-5f * la);
        ExpectNear(across + unit * rkDot(a, unit), a, 1e-5f * la);
        ExpectNear(rkLerp(a, b, 0.0f), a, 0.0f);
        ExpectNear(rkLerp(a, b, 1.0f), b, 1e-5f * (la + lb));
        ExpectNear(rkLerp(a, b, 0.5f), (a + b) * 0.5f, 1e-5f * (la + lb));
    }
    // Callers test for a zero result instead of a division by zero.
    ExpectNear(rkNormalize({0, 0, 0}), {0, 0, 0}, 0.0f);
}

TEST(rkMath, PlacementsRoundTripForRandomTurns) {
    RandomInputs random;
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        const rkMatrix m = random.Placement(), other = random.Placement();
        const rkVector p = random.Vector();
        const rkMatrix turn = rkRotationPart(m);
        ExpectNear(rkOrigin(turn), {0, 0, 0}, 0.0f);
        ExpectNear(rkTransformPoint(p, m), rkTurned(p, turn) + rkOrigin(m), 1e-4f);
        EXPECT_NEAR(rkLength(rkTurned(p, turn)), rkLength(p), 1e-4f);
        EXPECT_TRUE(rkIsIdentity(turn * rkTransposed(turn), 1e-5f));
        const rkMatrix rows =
            rkRows({m.m[0], m.m[1], m.m[2]}, {m.m[4], m.m[5], m.m[6]}, {m.m[8], m.m[9], m.m[10]});
        for (int e = 0; e < 16; ++e) EXPECT_EQ(rows.m[e], turn.m[e]) << e;
        // Both inverses undo the placement, and they agree.
        const rkMatrix back = rkAffineInverse(m);
        ExpectNear(rkTransformPoint(rkTransformPoint(p, m), back), p, 1e-4f);
        rkMatrix inverse;
        ASSERT_TRUE(rkInvert(&inverse, m));
        for (int e = 0; e < 16; ++e) EXPECT_NEAR(back.m[e], inverse.m[e], 1e-5f) << e;
        // m * other places by m first.
        ExpectNear(rkTransformPoint(p, m * other), rkTransformPoint(rkTransformPoint(p, m), other),
                   1e-4f);
    }
    rkMatrix flat;
    rkIdentity(&flat);
    flat.m[10] = 0.0f;
    EXPECT_TRUE(rkIsIdentity(rkAffineInverse(flat)));
}

// How far a rotation turns, from its trace (1 + 2 cos angle).
float AngleOf(const rkMatrix& r) {
    return std::acos(std::clamp((r.m[0] + r.m[5] + r.m[10] - 1.0f) / 2.0f, -1.0f, 1.0f));
}

TEST(rkMath, ArcRotationTurnsOneDirectionOntoAnotherTheShortWay) {
    RandomInputs random;
    for (int i = 0; i < 300; ++i) {
        const rkVector a = random.Vector(), other = random.Vector();
        const rkVector across = rkNormalize(rkCross(a, other)) * rkLength(a);
        const rkVector targets[] = {other, a * -0.5f, a * -2.0f + across * 3e-6f, a * 3.0f};
        for (const rkVector& b : targets) {
            SCOPED_TRACE(testing::Message() << i << " to " << b.x << " " << b.y << " " << b.z);
            const rkMatrix r = rkArcRotation(a, b);
            ExpectNear(rkTurned(a, r), b * (rkLength(a) / rkLength(b)), 1e-5f * rkLength(a));
            EXPECT_TRUE(rkIsIdentity(r * rkTransposed(r), 1e-5f));
            const rkVector x{r.m[0], r.m[1], r.m[2]}, y{r.m[4], r.m[5], r.m[6]};
            EXPECT_NEAR(rkDot(rkCross(x, y), {r.m[8], r.m[9], r.m[10]}), 1.0f, 1e-5f);
            const float between = std::atan2(rkLength(rkCross(a, b)), rkDot(a, b));
            EXPECT_NEAR(AngleOf(r), between, 2e-3f);
        }
    }
    // Opposite directions along each axis: half a turn.
    for (const rkVector& a : {rkVector{1, 0, 0}, rkVector{0, 2, 0}, rkVector{0, 0, -3}}) {
        const rkMatrix r = rkArcRotation(a, a * -1.0f);
        ExpectNear(rkTurned(a, r), a * -1.0f);
        EXPECT_NEAR(r.m[0] + r.m[5] + r.m[10], -1.0f, 1e-6f);
    }
    EXPECT_TRUE(rkIsIdentity(rkArcRotation({0, 0, 0}, {1, 0, 0})));
    EXPECT_TRUE(rkIsIdentity(rkArcRotation({1, 0, 0}, {0, 0, 0})));
    EXPECT_TRUE(rkIsIdentity(rkArcRotation({1, 2, 3}, {2, 4, 6}), 1e-6f));
}

}  // namespace
