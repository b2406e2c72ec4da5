#include <gtest/gtest.h>

#include <random>

#include "compose/StepWarp.h"
#include "motion/MotionManager.h"
#include "tests/compose/Blends.h"

namespace tavrel {
namespace {

const std::string kShare = TAVREL_SHARE_DIR;

// B starting `overlap` frames before A's end, both blending over the whole overlap.
FadeSpan OverlapOf(int lengthA, int lengthB, int overlap) {
    const int bFirst = lengthA - overlap;
    return {bFirst, lengthA - 1, bFirst, overlap, 0, lengthA - 1, bFirst, bFirst + lengthB - 1};
}

// Whether the foot comes down (or lifts) at the frame.
bool Steps(const FootContacts& contacts, int side, bool down, int frame) {
    for (const FootPlant& p : contacts.Plants(side)) {
        if ((down ? p.first : p.last + 1) == frame) return true;
    }
    return false;
}

// Over random overlaps of the bundled motions, a warp keeps the overlap's ends, runs forward
// between half and twice B's own speed, and at each of its inner points a foot of B comes down
// (or lifts) where A's same foot does. Motions that do not walk (a jump, a wave) are not warped.
TEST(StepWarp, BringsTheSameFeetDownTogetherAndKeepsTheEnds) {
    const std::vector<std::string> files = testing::BundledSamples(kShare);
    CMotionManager manager;
    std::mt19937 random(11);
    int warped = 0;
    for (int k = 0; k < 60; ++k) {
        CMotion& a = *manager.GetMotion(files[random() % files.size()]);
        CMotion& b = *manager.GetMotion(files[random() % files.size()]);
        const int overlap =
            4 + int(random() % std::max(1, std::min(a.GetLength(), b.GetLength()) - 4));
        SCOPED_TRACE(a.GetPath() + " into " + b.GetPath() + " over " + std::to_string(overlap));
        const FadeSpan fade = OverlapOf(a.GetLength(), b.GetLength(), overlap);
        const FootContacts &ca = a.GetFootContacts(), &cb = b.GetFootContacts();
        std::string why;
        const CStepWarp warp = CStepWarp::InStep(ca, cb, fade, &why);
        const bool walks = !ca.Plants(0).empty() && !ca.Plants(1).empty() &&
                           !cb.Plants(0).empty() && !cb.Plants(1).empty();
        if (!walks) {
            EXPECT_FALSE(warp.Warps());
        }
        if (!warp.Warps()) {
            EXPECT_FALSE(why.empty());
            EXPECT_EQ(warp.LocalOfB(fade.first + 2, fade.bFirst), 2.0);
            continue;
        }
        ++warped;
        const auto& anchors = warp.Anchors();
        EXPECT_EQ(anchors.front().frame, fade.first);
        EXPECT_EQ(anchors.front().local, fade.first - fade.bFirst);
        EXPECT_EQ(anchors.back().frame, fade.last);
        EXPECT_EQ(anchors.back().local, fade.last - fade.bFirst);
        for (size_t i = 1; i < anchors.size(); ++i) {
            const double frames = anchors[i].frame - anchors[i - 1].frame;
            const double local = anchors[i].local - anchors[i - 1].local;
            EXPECT_GT(frames, 0.0);
            EXPECT_GE(local, 0.5 * frames - 1e-9);
            EXPECT_LE(local, 2.0 * frames + 1e-9);
            if (i + 1 == anchors.size()) continue;
            bool met = false;
            for (int k = 0; k < 4; ++k) {
                const int side = k % 2;
                const bool down = k < 2;
                met = met || (Steps(ca, side, down, int(anchors[i].frame) - fade.aFirst) &&
                              Steps(cb, side, down, int(anchors[i].local)));
            }
            EXPECT_TRUE(met) << anchors[i].frame << " " << anchors[i].local;
        }
        double before = -1e9;
        for (int f = fade.first - 3; f <= fade.last + 3; ++f) {
            const double local = warp.LocalOfB(f, fade.bFirst);
            EXPECT_GT(local, before) << f;
            before = local;
        }
    }
    EXPECT_GT(warped, 5) << "walks and runs meet often enough to be warped";
}

}  // namespace
}  // namespace tavrel
