#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "motion/FadeFoot.h"

namespace tavrel {
namespace {

// A foot swinging through a blend while a lock far away takes hold within a few frames, as a
// clip's planted foot does when its clip comes in (late in the blend too, so that the foot
// must set out before the hold does): unlimited, the ankle jumps across.
std::vector<FadeFoot> TakingHold(std::mt19937& random, int frames, float step) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    const float away = (6.0f + 4.0f * std::fabs(unit(random))) * step, turn = 3.2f * unit(random);
    const rkVector target{away * std::cos(turn), away * std::sin(turn), 0.0f};
    const int holdFrom = frames / 4 + int(random() % (frames * 3 / 4 - 2));
    const int holdBy = std::min(holdFrom + 1 + int(random() % 4), frames - 1);
    std::vector<FadeFoot> feet(frames);
    rkVector posed{0.0f, 0.0f, unit(random) * step};
    for (int i = 0; i < frames; ++i) {
        posed = posed + rkVector{unit(random), unit(random), unit(random)} * (0.4f * step);
        const float hold = std::clamp(float(i - holdFrom) / float(holdBy - holdFrom), 0.0f, 1.0f);
        feet[i] = {posed, {target, hold}};
    }
    return feet;
}

TEST(FadeFoot, NoAnkleStepsFurtherThanTheLimitAndAPathWithinItIsKept) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 500; ++trial) {
        SCOPED_TRACE(trial);
        const float step = 10.0f + float(random() % 30);
        std::vector<FadeFoot> feet = TakingHold(random, 40, step);
        const rkVector before = feet.front().posed, after = AnkleOf(feet.back());
        LimitLockSteps(feet, before, after, step);
        rkVector from = before;
        for (const FadeFoot& foot : feet) {
            ASSERT_GE(foot.lock.weight, 0.0f);
            ASSERT_LE(foot.lock.weight, 1.0f);
            ASSERT_LE(rkLength(AnkleOf(foot) - from), step * 1.0001f);
            from = AnkleOf(foot);
        }
        ASSERT_LE(rkLength(after - from), step * 1.0001f);

        // Limited once, the path is within the limit: a second time changes nothing.
        std::vector<FadeFoot> again = feet;
        LimitLockSteps(again, before, after, step);
        for (size_t i = 0; i < feet.size(); ++i)
            ASSERT_NEAR(again[i].lock.weight, feet[i].lock.weight, 1e-4f) << i;
    }
}

TEST(FadeFoot, AHoldThatCannotBeKeptGivesWayNeverFasterThanTheMixMovesTheFoot) {
    // The mix slides the foot further a frame than the clips step (clips placed far apart),
    // while the clip coming in holds it where that clip stands: no path from the ankle before
    // the blend to the one after it keeps within the clips' step, and the hold has to give way.
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE(trial);
        const int frames = 2 + int(random() % 30);
        const float step = 10.0f + float(random() % 30);
        const float slide = step * (1.5f + 4.0f * std::fabs(unit(random)));
        const rkVector way{unit(random), unit(random), 0.1f * unit(random)};
        const rkVector end = way * (slide * float(frames + 1) / rkLength(way));
        std::vector<FadeFoot> feet(frames);
        for (int i = 0; i < frames; ++i) {
            const float share = float(i + 1) / float(frames + 1);
            const float hold = std::clamp(2.0f * share - 0.2f, 0.0f, 1.0f);
            feet[i] = {end * share, {end + rkVector{unit(random), unit(random), 0.0f}, hold}};
        }
        LimitLockSteps(feet, {0.0f, 0.0f, 0.0f}, end, step);
        rkVector from{0.0f, 0.0f, 0.0f}, posed = from;
        for (const FadeFoot& foot : feet) {
            const float bound = std::max(step, rkLength(foot.posed - posed));
            ASSERT_LE(rkLength(AnkleOf(foot) - from), bound * 1.001f);
            from = AnkleOf(foot), posed = foot.posed;
        }
        ASSERT_LE(rkLength(end - from), std::max(step, rkLength(end - posed)) * 1.001f);
    }
}

TEST(FadeFoot, UnknownLimitsAndBrokenPathsLeaveTheLocksAlone) {
    std::mt19937 random(3);
    const std::vector<FadeFoot> raw = TakingHold(random, 12, 20.0f);
    for (float step : {-1.0f, NAN, INFINITY}) {
        std::vector<FadeFoot> feet = raw;
        LimitLockSteps(feet, raw.front().posed, AnkleOf(raw.back()), step);
        for (size_t i = 0; i < raw.size(); ++i) EXPECT_EQ(feet[i].lock.weight, raw[i].lock.weight);
    }
    std::vector<FadeFoot> broken = raw;
    broken[5].posed.x = NAN;
    broken[6].lock.target.y = INFINITY;
    LimitLockSteps(broken, raw.front().posed, AnkleOf(raw.back()), 20.0f);
    for (const FadeFoot& foot : broken) {
        EXPECT_TRUE(std::isfinite(foot.lock.weight));
    }
}

}  // namespace
}  // namespace tavrel
