// Motions brought to the timeline's frame rate keep their length in seconds and their poses in
// time; edits keep the rate of the motion they were made from.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "AnimRead/StandardSkeleton.h"
#include "MotionFiles.h"
#include "motion/FrameStep.h"
#include "motion/Legs.h"
#include "motion/Motion.h"
#include "motion/MotionImport.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WalkingCapture.h"

namespace tavrel {
namespace {

constexpr float kTurnPerFrame = 0.05f;

// A standard motion at a frame rate: in frame k the root is at x = 3k and the left thigh is
// turned by kTurnPerFrame * k from rest, so any time between frames has a known pose.
void WriteTimedMotion(const std::string& path, int frames, int rate) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    rkNode* thigh = rkFindNode(pose.GetRoot(), "LThigh");
    const rkMatrix rest = thigh->local;
    for (int k = 0; k < frames; ++k) {
        pose.GetRoot()->local.m[12] = 3.0f * k;
        thigh->local = rest;
        rkRotateNode(thigh, 0, kTurnPerFrame * k);
        record->SetFrame(pose.GetRoot(), k);
    }
    record->SetFrameRate(rate);
    record->WriteAs(path.c_str(), MotionFileTypeOf(path) == kTypeCHB ? 1 : 0);
}

// The thigh's local matrix at a source frame position that may lie between frames.
rkMatrix ThighAt(float position) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    rkNode* thigh = rkFindNode(record->GetFrame(0), "LThigh");
    rkRotateNode(thigh, 0, kTurnPerFrame * position);
    return thigh->local;
}

TEST(MotionImport, ResamplingKeepsSecondsAndPosesInTimeOverRandomRates) {
    testing::TempDir dir;
    std::mt19937 random(21);
    for (int trial = 0; trial < 12; ++trial) {
        const int rate = std::uniform_int_distribution<int>(24, 120)(random);
        const int frames = std::uniform_int_distribution<int>(2, 90)(random);
        const std::string path = dir / (trial % 2 ? "m.cha" : "m.chb");
        WriteTimedMotion(path, frames, rate);
        SCOPED_TRACE("rate " + std::to_string(rate) + ", frames " + std::to_string(frames));

        const CSkeletonMapper::Result in = CMotionImport::ImportFile(path, {}, 60);
        ASSERT_TRUE(in.motion) << in.message;
        ANIMFILE& out = *in.motion;
        EXPECT_EQ(out.GetFrameRate(), 60);
        EXPECT_TRUE(in.unmapped.empty());
        // Its last frame falls within one frame of the source's last moment, never after it.
        const double seconds = double(frames - 1) / rate;
        const double outSeconds = double(out.GetEndFrame() - out.GetBeginFrame()) / 60;
        EXPECT_LE(outSeconds, seconds + 1e-9);
        EXPECT_GT(outSeconds, seconds - 1.0 / 60);

        const int32_t root = out.FindSegment("LowerTorso"), thigh = out.FindSegment("LThigh");
        for (int k = 0; k <= out.GetEndFrame(); ++k) {
            const float at = float(k) * rate / 60;  // the source frame at this moment
            EXPECT_NEAR(out.GetSegment(root)->FrameAt(k).m[12], 3.0f * at, 1e-3f) << k;
            const rkMatrix expected = ThighAt(at);
            const rkMatrix& got = out.GetSegment(thigh)->FrameAt(k);
            // Turning through quaternions straightens the rest pose's three-decimal matrices a
            // little; CHA text keeps three decimals too. A frame off in time is 0.02 away.
            const float near = trial % 2 ? 3e-3f : 1e-3f;
            for (int e = 0; e < 12; ++e) EXPECT_NEAR(got.m[e], expected.m[e], near) << k;
        }
    }
}

TEST(MotionImport, RatesThatAreNoRatesAreRefusedAndTheRightRateIsKept) {
    testing::TempDir dir;
    const std::pair<int, bool> cases[] = {{0, false}, {-30, false}, {60, true}, {30, true}};
    for (const auto& [rate, imported] : cases) {
        WriteTimedMotion(dir / "m.cha", 5, rate);
        const CSkeletonMapper::Result in = CMotionImport::ImportFile(dir / "m.cha", {}, 60);
        EXPECT_EQ(bool(in.motion), imported) << rate;
        EXPECT_EQ(in.message.empty(), imported) << rate << ": " << in.message;
        EXPECT_EQ(CMotionImport::NeedsImport(dir / "m.cha", 60), rate != 60) << rate;
        EXPECT_FALSE(CMotionImport::NeedsImport(dir / "m.cha", 0)) << rate;
    }
    // Another skeleton is always brought onto ours; a file that cannot be read is not.
    testing::WriteText(dir / "three.cha", testing::kThreeSegmentCha);
    EXPECT_TRUE(CMotionImport::NeedsImport(dir / "three.cha", 0));
    testing::WriteText(dir / "broken.chb", "not a motion");
    EXPECT_FALSE(CMotionImport::NeedsImport(dir / "broken.chb", 60));
    EXPECT_FALSE(CMotionImport::ImportFile(dir / "broken.chb", {}, 60).motion);
    EXPECT_EQ(CMotionImport::UnmappedSummary({"a", "b", "c", "d", "e", "f", "g", "h"}),
              "a, b, c, d, e, f and 2 more");
}

TEST(MotionImport, EditsKeepTheFrameRateOfTheirSource) {
    testing::TempDir dir;
    for (int rate : {60, 24}) {
        WriteTimedMotion(dir / "m.chb", 8, rate);
        CMotion motion(dir / "m.chb", 0);
        ASSERT_EQ(motion.SaveReversed(dir / "reversed.chb"), 1);
        ASSERT_EQ(motion.SaveSplit(3, dir / "a.cha", dir / "b.chb"), 1);
        ASSERT_EQ(motion.Resample(dir / "stretched.chb", 12), 1);
        ASSERT_EQ(motion.SaveTranslated(dir / "moved.cha", 1, 2, 3, 0), 1);
        ASSERT_EQ(motion.Save(dir / "saved.cha"), 1);
        for (const char* name :
             {"reversed.chb", "a.cha", "b.chb", "stretched.chb", "moved.cha", "saved.cha"}) {
            EXPECT_EQ(CMotion(dir / name, 0).GetData()->GetFrameRate(), rate) << name;
        }
    }
    EXPECT_EQ(CMotion().GetData()->GetFrameRate(), CMotionImport::kTimelineFrameRate);
}

TEST(FrameStep, PreviewsPlayEveryRateAtItsOwnSpeedAndStartAgainAfterTheLastFrame) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 40; ++trial) {
        const int rate = std::uniform_int_distribution<int>(1, 240)(random);
        const int interval = std::uniform_int_distribution<int>(10, 60)(random);
        const int first = std::uniform_int_distribution<int>(0, 5)(random);
        const int last = first + std::uniform_int_distribution<int>(1, 400)(random);
        double carry = 0;
        int frame = first, ticks = 0;
        // Until the last frame is shown: it is, and it takes the motion's length in seconds.
        while (frame < last) {
            const int next = NextFrameAtRate(frame, rate, interval, first, last, &carry);
            ASSERT_GE(next, frame);
            frame = next;
            ++ticks;
        }
        const double seconds = double(last - first) / rate, played = ticks * interval / 1000.0;
        EXPECT_NEAR(played, seconds, interval / 1000.0 + 1e-9) << rate << " fps, " << interval;
        EXPECT_EQ(NextFrameAtRate(last, rate, interval, first, last, &carry), first);
        EXPECT_EQ(carry, 0);
    }
}

TEST(MotionImport, AMappedWalkStepsAsFarForItsLegsAsTheCaptureAndStandsOnOurFloor) {
    // Captures of walks of short, usual and long steps, at two rates, imported at their own rate
    // and at the timeline's. Steps are measured at the planted ankles (middle of each plant)
    // and along the root, both over the leg's length: the mapping scales by legs, so a step is
    // the same share of a leg on both figures.
    const float ourLeg = 0.85f / StandardMetresPerUnit();
    const float sourceLeg = float(testing::walk_detail::kThigh + testing::walk_detail::kShin);
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    const float ankleAtRest = WorldOf(rkFindNode(record->GetFrame(0), "LFoot")).m[14];
    testing::TempFolder dir;
    for (const double step : {55.0, 65.0, 75.0}) {
        for (const double fps : {30.0, 120.0}) {
            for (const int rate : {0, CMotionImport::kTimelineFrameRate}) {
                testing::WalkingCaptureShape shape;
                shape.fps = fps, shape.step = step, shape.slope = 0;  // a level floor
                const std::string path = dir.Write("walk.bvh", testing::WalkingCaptureBvh(shape));
                const CSkeletonMapper::Result mapped = CMotionImport::ImportFile(path, {}, rate);
                ASSERT_TRUE(mapped.motion) << mapped.message;
                ANIMFILE& m = *mapped.motion;
                const int first = m.GetBeginFrame(), count = m.GetEndFrame() - first + 1;
                const std::string label = std::to_string(int(step)) + " cm at " +
                                          std::to_string(int(fps)) + " fps, imported at " +
                                          std::to_string(m.GetFrameRate());
                auto rootAt = [&](int i) { return rkOrigin(m.GetFrame(first + i)->local); };
                const rkVector start = rootAt(0), end = rootAt(count - 1);
                const float travel = std::hypot(end.x - start.x, end.y - start.y);
                const float seconds = float(count - 1) / float(m.GetFrameRate());
                const float sourceTravel = float(testing::WalkSpeed(shape)) * seconds;
                EXPECT_NEAR((travel / ourLeg) / (sourceTravel / sourceLeg), 1.0f, 0.05f) << label;
                // Each stride from one plant of a foot to its next: two steps.
                const FootContacts plants = FindFootContacts(
                    count, [&](int i) { return m.GetFrame(first + i); }, m.GetFrameRate());
                for (int side = 0; side < 2; ++side) {
                    std::vector<rkVector> ankles;
                    for (const FootPlant& p : plants.Plants(side)) {
                        if (p.first == 0 || p.last == count - 1) continue;  // cut by the ends
                        rkNode* root = m.GetFrame(first + (p.first + p.last) / 2);
                        Legs legs = FindLegs(root);
                        ankles.push_back(rkOrigin(WorldOf(legs[side].foot)));
                        // Planted on our floor, as our figure stands at rest.
                        EXPECT_NEAR(ankles.back().z, ankleAtRest, 0.03f * ourLeg) << label;
                    }
                    ASSERT_GE(ankles.size(), 2u) << label << " side " << side;
                    for (size_t i = 1; i < ankles.size(); ++i) {
                        const rkVector d = ankles[i] - ankles[i - 1];
                        const float stride = std::hypot(d.x, d.y);
                        EXPECT_NEAR((stride / ourLeg) / (2 * step / sourceLeg), 1.0f, 0.05f)
                            << label << " side " << side;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tavrel
