// The motion paths' builder: the stretch cut to the timeline, a tick on every tenth timeline
// frame, the points where the poses put the segments, and the feet's plants where
// FindFootContacts finds them, in timeline frames.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "RKWindow/MotionPath.h"
#include "motion/AnimFileFactory.h"
#include "motion/Chtr.h"
#include "motion/Legs.h"

namespace tavrel::test {
namespace {

// A standard figure gliding along x, standing still over the frames `still` names; frames in
// `missing` have no pose. One tree is refilled frame by frame, as the window's evaluation does.
class Glide {
public:
    Glide() : pose_(rkCloneNode(CreateAnimFile(nullptr, kTypeCHB, 1)->GetFrame(0))) {}

    float XAt(int frame) const {
        float x = 0;
        for (int f = 1; f <= frame; ++f) x += still.count(f) ? 0.0f : 25.0f;
        return x;
    }
    const rkNode* operator()(int frame) {
        ++asked;
        if (missing.count(frame)) return nullptr;
        pose_.GetRoot()->local.m[12] = XAt(frame);
        return pose_.GetRoot();
    }
    TimelinePoseAt Source() {
        return [this](int frame) { return (*this)(frame); };
    }

    std::set<int> still, missing;
    int asked = 0;

private:
    CHTR pose_;
};

const std::vector<std::string> kSegments{"LowerTorso", "LFoot", "RFoot"};

std::vector<int> MultiplesOfTen(int first, int last) {
    std::vector<int> ticks;
    for (int f = 0; f <= last; f += 10) {
        if (f >= first) ticks.push_back(f);
    }
    return ticks;
}

TEST(RKWindowMotionPaths, TheStretchIsCutToTheTimelineAndTickedEveryTenFrames) {
    struct Case {
        const char* what;
        int from, to, last;
        std::set<int> missing;
        int first, end;  // expected frames of the first and last point; end < first: no paths
    };
    const Case cases[] = {
        {"inside the timeline", 3, 47, 100, {}, 3, 47},
        {"frames before 0 and past the last are skipped", -25, 80, 30, {}, 0, 30},
        {"one frame", 0, 0, 0, {}, 0, 0},
        {"an empty timeline", 0, 50, -1, {}, 0, -1},
        {"a stretch wholly past the end", 40, 60, 30, {}, 0, -1},
        {"the first frames without a pose", 0, 30, 30, {0, 1, 2, 3, 4}, 5, 30},
        {"no frame with a pose", 0, 9, 30, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Glide glide;
        glide.missing = c.missing;
        const auto paths = BuildMotionPaths(c.from, c.to, c.last, kSegments, glide.Source());
        if (c.end < c.first) {
            EXPECT_TRUE(paths.empty());
            continue;
        }
        ASSERT_EQ(paths.size(), 3u);
        for (const MotionPath& path : paths) {
            EXPECT_EQ(path.first, c.first);
            EXPECT_EQ(path.Last(), c.end);
            EXPECT_EQ(path.ticks, MultiplesOfTen(c.first, c.end));
        }
        EXPECT_FLOAT_EQ(paths[0].points.back().x, glide.XAt(c.end));
    }
}

TEST(RKWindowMotionPaths, AFrameWithoutAPoseKeepsThePoseBeforeAndUnknownSegmentsHaveNone) {
    Glide glide;
    glide.missing = {12, 13};
    const auto paths =
        BuildMotionPaths(0, 20, 20, {"LowerTorso", "NoSuchPart", "RHand"}, glide.Source());
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0].segment, "LowerTorso");
    EXPECT_EQ(paths[1].segment, "RHand");
    for (int f : {12, 13}) EXPECT_FLOAT_EQ(paths[0].points[f].x, glide.XAt(11)) << f;
    EXPECT_FLOAT_EQ(paths[0].points[14].x, glide.XAt(14));
    // The hand's path is the hand's place, not the root's.
    CHTR rest(rkCloneNode(CreateAnimFile(nullptr, kTypeCHB, 1)->GetFrame(0)));
    const rkVector hand = rkOrigin(WorldOf(rkFindNode(rest.GetRoot(), "RHand")));
    EXPECT_NEAR(paths[1].points[0].z, hand.z, 1e-3f);
    EXPECT_NEAR(paths[1].points[0].y, hand.y, 1e-3f);
}

// Over random stretches of a figure that glides and halts, each foot's plants are those
// FindFootContacts finds over the frames shown, moved to timeline frames; the root has none.
TEST(RKWindowMotionPaths, PlantsAreTheFootContactsOfTheFramesShownInTimelineFrames) {
    std::mt19937 random(7);
    int plantsSeen = 0;
    for (int round = 0; round < 30; ++round) {
        Glide glide;
        const int last = std::uniform_int_distribution<int>(20, 400)(random);
        for (int halt = 0; halt < 4; ++halt) {
            const int at = std::uniform_int_distribution<int>(0, last)(random);
            const int length = std::uniform_int_distribution<int>(5, 60)(random);
            for (int f = at; f < at + length; ++f) glide.still.insert(f);
        }
        const int from = std::uniform_int_distribution<int>(-30, last)(random);
        const int to = std::uniform_int_distribution<int>(from, last + 30)(random);
        SCOPED_TRACE(std::to_string(from) + ".." + std::to_string(to) + " of " +
                     std::to_string(last));
        const auto paths = BuildMotionPaths(from, to, last, kSegments, glide.Source());
        ASSERT_EQ(paths.size(), 3u);
        const int first = std::max(from, 0), end = std::min(to, last);
        Glide again;
        again.still = glide.still;
        const FootContacts contacts =
            FindFootContacts(end - first + 1, [&](int i) { return again(first + i); });
        EXPECT_TRUE(paths[0].plants.empty());
        const Legs legs = FindLegs(const_cast<rkNode*>(glide(0)));
        for (int side = 0; side < 2; ++side) {
            const MotionPath& foot = paths[1 + side];
            ASSERT_EQ(foot.segment, legs[side].foot->name);
            std::vector<FootPlant> expected;
            for (FootPlant p : contacts.Plants(side))
                expected.push_back({p.first + first, p.last + first});
            EXPECT_EQ(foot.plants, expected);
            for (const FootPlant& p : foot.plants) {
                EXPECT_TRUE(foot.PlantedAt(p.first) && foot.PlantedAt(p.last));
                EXPECT_FALSE(foot.PlantedAt(p.first - 1));
                EXPECT_FALSE(foot.PlantedAt(p.last + 1));
            }
            plantsSeen += int(foot.plants.size());
        }
    }
    EXPECT_GT(plantsSeen, 20) << "the halts must give plants for the check to mean anything";
}

}  // namespace
}  // namespace tavrel::test
