#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "MotionFiles.h"
#include "TestPoses.h"
#include "motion/AnimFileFactory.h"
#include "motion/FootContacts.h"
#include "motion/Legs.h"
#include "motion/Motion.h"
#include "motion/MotionImport.h"
#include "motion/MotionManager.h"
#include "tests/support/PoseSteps.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WalkingCapture.h"

namespace tavrel {
namespace {

// Where a person watching the sample motions sees each foot on the floor: a frame the foot
// certainly stands on, and one it certainly does not (-1: it never leaves the floor).
struct Watched {
    const char* file;
    std::vector<int> standsLeft, standsRight, liftedLeft, liftedRight;
};

bool Planted(const FootContacts& c, int side, int frame) {
    return c.PlantAt(side, frame);
}

TEST(FootContacts, SamplesArePlantedAtTheFramesAPersonCounts) {
    // The samples run at 60 frames a second. Walk: a 66-frame stride, the left heel striking
    // at frame 6, the right half a stride later. Turn: six small steps of 30 frames from frame
    // 30, left first. Jump: in the air from about frame 70 to 100. Kick: the right foot swings
    // from about frame 40 to 110.
    const std::vector<Watched> table = {
        {"Locomotion/walk.cha",
         {10, 30, 80, 100, 150},
         {2, 50, 120, 180},
         {56, 120, 188},
         {20, 90, 156}},
        {"Locomotion/turn.chb",
         {10, 70, 130, 200},
         {10, 40, 100, 160, 220},
         {44, 104, 164},
         {74, 134, 194}},
        {"Sports/jump.htr", {10, 140, 170}, {10, 140, 170}, {76, 84, 92}, {76, 84, 92}},
        {"Sports/kick.htr", {0, 60, 120, 178}, {10, 140}, {}, {60, 80, 100}},
        {"Everyday/idle.cha", {0, 120, 238}, {0, 120, 238}, {}, {}},
        {"Gestures/bow.chb", {0, 120, 238}, {0, 120, 238}, {}, {}},
    };
    CMotionManager manager;
    for (const Watched& w : table) {
        CMotion* motion = manager.GetMotion(std::string(TAVREL_SHARE_DIR) + "/Motion/" + w.file);
        ASSERT_TRUE(motion->HasData()) << w.file;
        const FootContacts& c = motion->GetFootContacts();
        EXPECT_EQ(&c, &motion->GetFootContacts()) << "found once, then kept";
        EXPECT_EQ(c.FrameCount(), motion->GetLength());
        for (int f : w.standsLeft) EXPECT_TRUE(Planted(c, kLeftFoot, f)) << w.file << " " << f;
        for (int f : w.standsRight) EXPECT_TRUE(Planted(c, kRightFoot, f)) << w.file << " " << f;
        for (int f : w.liftedLeft) EXPECT_FALSE(Planted(c, kLeftFoot, f)) << w.file << " " << f;
        for (int f : w.liftedRight) EXPECT_FALSE(Planted(c, kRightFoot, f)) << w.file << " " << f;
        // Each walk stance lasts about half a stride and a little more.
        if (std::string(w.file) == "Locomotion/walk.cha") {
            for (const FootPlant& p : c.Plants(kLeftFoot)) {
                EXPECT_GE(p.last - p.first + 1, 28);
                EXPECT_LE(p.last - p.first + 1, 44);
            }
        }
    }
}

TEST(FootContacts, ARealCaptureOfAnotherSkeletonIsPlantedWhereItsFeetStandAtEveryRate) {
    // A walk of a 31-joint capture skeleton on a floor not quite level, with noise on every
    // turn, mapped onto ours at its own rate as the command line does (and at the timeline's
    // rate as a dropped file is).
    using testing::walk_detail::kFlat, testing::walk_detail::kHeelOff;
    testing::TempFolder dir;
    for (const double fps : {24.0, 30.0, 60.0, 120.0}) {
        for (const int rate : {0, CMotionImport::kTimelineFrameRate}) {
            testing::WalkingCaptureShape shape;
            shape.fps = fps;
            const std::string path = dir.Write("walk.bvh", testing::WalkingCaptureBvh(shape));
            const CSkeletonMapper::Result mapped = CMotionImport::ImportFile(path, {}, rate);
            ASSERT_TRUE(mapped.motion) << mapped.message;
            ANIMFILE& m = *mapped.motion;
            const int count = m.GetEndFrame() - m.GetBeginFrame() + 1;
            const double frameRate = m.GetFrameRate();
            const FootContacts found = FindFootContacts(
                count, [&](int i) { return m.GetFrame(m.GetBeginFrame() + i); }, m.GetFrameRate());
            const std::string label =
                std::to_string(int(fps)) + " fps at " + std::to_string(int(frameRate)) + ": ";
            int flat = 0;
            for (int side = 0; side < 2; ++side) {
                for (int f = 0; f < count; ++f) {
                    const double u = testing::FootPhase(shape, side, f / frameRate);
                    if (u > kFlat + 0.02 && u < kHeelOff) {
                        ++flat;
                        EXPECT_TRUE(Planted(found, side, f)) << label << side << " " << f;
                    }
                    if (u > 0.72 && u < 0.92) {
                        EXPECT_FALSE(Planted(found, side, f)) << label << side << " " << f;
                    }
                }
                // One plant a stance, none broken up.
                EXPECT_LE(found.Plants(side).size(), 5u) << label << side;
            }
            EXPECT_GT(flat, int(frameRate * 2)) << label;
        }
    }
}

TEST(FootContacts, BadMotionsGiveNoPlantsAndNeverNaN) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Each case moves the root of frame f; the figure keeps its shape.
    struct Case {
        const char* name;
        int frames;
        std::function<void(rkNode*, int)> move;
        bool anyPlant;
    };
    const std::vector<Case> cases = {
        {"one frame", 1, [](rkNode*, int) {}, false},
        {"swimming: always moving fast", 40, [](rkNode* r, int f) { r->local.m[12] = 80.0f * f; },
         false},
        {"not a number", 40, [&](rkNode* r, int) { r->local.m[14] = nan; }, false},
        {"standing still", 40, [](rkNode*, int) {}, true},
        {"jumping up and away", 40,
         [](rkNode* r, int f) { r->local.m[14] += f < 10 ? 0.0f : 400.0f; }, true},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<CHTR>> frames;
        for (int f = 0; f < c.frames; ++f) {
            frames.push_back(std::make_unique<CHTR>(rkCloneNode(record->GetFrame(0))));
            c.move(frames.back()->GetRoot(), f);
        }
        const FootContacts found =
            FindFootContacts(c.frames, [&](int i) { return frames[i]->GetRoot(); });
        bool any = false;
        for (int side = 0; side < 2; ++side) {
            for (int f = -2; f < c.frames + 2; ++f) {
                const float w = found.LockWeight(side, f);
                ASSERT_TRUE(w >= 0.0f && w <= 1.0f) << c.name;
                any |= w > 0.0f;
            }
        }
        EXPECT_EQ(any, c.anyPlant) << c.name;
    }
    // A figure without legs, and frames that cannot be read.
    CHTR hips(testing::MakeHipsTree());
    EXPECT_TRUE(FindFootContacts(10, [&](int) { return hips.GetRoot(); }).Plants(0).empty());
    EXPECT_TRUE(FindFootContacts(10, [](int) { return nullptr; }).Plants(1).empty());
}


TEST(FootContacts, LargestJointStepIsTheFurthestAnyJointMovesInAFrame) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // Each case changes frame 5 of a figure standing still.
    struct Case {
        const char* name;
        std::function<void(rkNode*)> change;
        float ankle;
    };
    const auto turnUpperBody = [](rkNode* root) {
        const Legs legs = FindLegs(root);
        for (rkNode* c = root->child; c; c = c->next) {
            if (c == legs[0].thigh || c == legs[1].thigh) continue;
            rkMatrix turn;
            rkRotationMatrix(&turn, 0, 0.2f);
            rkMultiply(&c->local, turn, c->local);
            return;
        }
    };
    const std::vector<Case> cases = {
        {"standing still", [](rkNode*) {}, 0.0f},
        {"stepping 30 mm aside", [](rkNode* r) { r->local.m[12] += 30.0f; }, 30.0f},
        {"turning the upper body", turnUpperBody, 0.0f},
        {"not a number", [&](rkNode* r) { r->local.m[14] = nan; }, 0.0f},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<CHTR>> frames;
        for (int f = 0; f < 10; ++f) {
            frames.push_back(std::make_unique<CHTR>(rkCloneNode(record->GetFrame(0))));
            if (f == 5) c.change(frames.back()->GetRoot());
        }
        const FootContacts found =
            FindFootContacts(10, [&](int i) { return frames[i]->GetRoot(); });
        ASSERT_FALSE(std::isnan(found.LargestJointStep())) << c.name;
        EXPECT_NEAR(found.LargestAnkleStep(), c.ankle, 1e-3f) << c.name;
        const float each = testing::LargestNodeStep(frames[5]->GetRoot(), frames[4]->GetRoot());
        if (std::isfinite(each)) {
            EXPECT_NEAR(found.LargestJointStep(), each, 1e-3f) << c.name;
        }
    }
}

TEST(FootContacts, AMotionTakenAtHalfTheRateIsPlantedAndEasedOverTheSameSeconds) {
    CMotion walk(std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha", 0);
    ASSERT_TRUE(walk.HasData());
    std::vector<std::unique_ptr<CHTR>> frames;
    for (int f = 0; f < walk.GetLength(); ++f) frames.push_back(walk.GetPose(f));
    const int half = (walk.GetLength() + 1) / 2;
    const FootContacts at60 = FindFootContacts(
        walk.GetLength(), [&](int i) { return frames[i]->GetRoot(); }, 60.0f);
    const FootContacts at30 = FindFootContacts(
        half, [&](int i) { return frames[2 * i]->GetRoot(); }, 30.0f);
    for (int side = 0; side < 2; ++side) {
        ASSERT_EQ(at30.Plants(side).size(), at60.Plants(side).size()) << side;
        for (size_t p = 0; p < at60.Plants(side).size(); ++p) {
            EXPECT_NEAR(2 * at30.Plants(side)[p].first, at60.Plants(side)[p].first, 4) << side;
            EXPECT_NEAR(2 * at30.Plants(side)[p].last, at60.Plants(side)[p].last, 4) << side;
        }
        // The lock is as firm at the same moment, whatever the rate.
        for (int f = 0; f < half; ++f) {
            EXPECT_NEAR(at30.LockWeight(side, f), at60.LockWeight(side, 2 * f), 0.35f) << f;
        }
    }
}

TEST(FootContacts, LockWeightRisesAndFallsSmoothlyInsideAPlant) {
    const FootContacts c({std::vector<FootPlant>{{0, 9}, {20, 39}}, {}}, 50);
    EXPECT_EQ(c.LockWeight(kLeftFoot, 0), 1.0f) << "a plant at the start is held at once";
    EXPECT_EQ(c.LockWeight(kLeftFoot, 15), 0.0f);
    EXPECT_EQ(c.LockWeight(kRightFoot, 25), 0.0f);
    float previous = 0.0f;
    for (int f = 19; f <= 40; ++f) {
        const float w = c.LockWeight(kLeftFoot, f);
        EXPECT_LE(std::fabs(w - previous), 0.5f) << f;  // no pop
        if (f <= 24) {
            EXPECT_GE(w, previous) << f;
        }
        previous = w;
    }
    EXPECT_EQ(c.LockWeight(kLeftFoot, 30), 1.0f);
    EXPECT_GT(c.LockWeight(kLeftFoot, 20), 0.0f);
    EXPECT_LT(c.LockWeight(kLeftFoot, 20), 0.5f);
}

}  // namespace
}  // namespace tavrel
