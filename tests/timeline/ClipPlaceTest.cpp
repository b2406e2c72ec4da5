#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "tests/timeline/TimelineFixture.h"
#include "timeline/ClipPlace.h"
#include "timeline/ProjectFileWriter.h"

namespace tavrel {
namespace {

using Offsets = std::vector<std::array<int32_t, 3>>;

TEST(ClipPlace, AnyOffsetDecodesSoundlyAndPlacesRoundTrip) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> shift(-1e6f, 1e6f), turn(-20.0f, 20.0f);
    for (int k = 0; k < 2000; ++k) {
        const ClipPlace place{
            {shift(random), shift(random), turn(random)}, k % 2 == 0, k % 3 == 0, k % 5 == 0};
        const ClipPlace back = ClipPlaceOf(OffsetOf(place));
        EXPECT_EQ(back.ownPlace, place.ownPlace);
        EXPECT_EQ(back.feetFree, place.feetFree);
        EXPECT_EQ(back.ownTiming, place.ownTiming);
        EXPECT_LE(std::fabs(back.ground.x - place.ground.x), 0.5f);
        // The same turn within a hundredth of a degree, whatever the number of whole turns.
        const float d = std::remainder(back.ground.heading - place.ground.heading,
                                       2.0f * std::numbers::pi_v<float>);
        EXPECT_LE(std::fabs(d), 1e-4f) << place.ground.heading;
        EXPECT_EQ(OffsetOf(back), OffsetOf(place)) << "stable once stored";
    }
    // Numbers from a file of another program: never NaN, switches off when out of range.
    for (const std::array<int32_t, 3> o : {std::array<int32_t, 3>{INT32_MIN, INT32_MAX, -1},
                                           {0, 0, INT32_MAX},
                                           {0, 0, INT32_MIN},
                                           {7, -7, 288000}}) {
        const ClipPlace p = ClipPlaceOf(o);
        EXPECT_TRUE(std::isfinite(p.ground.x + p.ground.y + p.ground.heading));
        EXPECT_FALSE(p.ownPlace || p.feetFree || p.ownTiming);
        EXPECT_GE(p.ground.heading, 0.0f);
    }
    EXPECT_EQ(ClipPlaceOf({}), ClipPlace()) << "zeros: in place, continuing, feet planted";
}

class ClipPlaceEdits : public testing::TimelineFixture {
protected:
    ClipPlaceEdits() {
        // Every motion walks 10 units a frame along its heading, which turns 1 degree a frame.
        motion.rootPlace = [](const std::string&, int local) {
            const float h = local * std::numbers::pi_v<float> / 180.0f;
            return std::optional<GroundPlace>(
                {10.0f * local * std::cos(h), 10.0f * local * std::sin(h), h});
        };
    }
    Offsets OffsetsNow() const {
        Offsets o;
        for (const MotionClip& c : Clips()) o.push_back(c.offset);
        return o;
    }
    // Where the body leaves clip `from` (time order) at the frame clip `to` starts, against
    // where `to` puts its root at its own first frame.
    float Gap(int from, int to) const {
        const std::vector<MotionClip> clips = Clips();
        const MotionClip& a = clips[from];
        const MotionClip& b = clips[to];
        const int meet = std::clamp(b.firstFrame - a.firstFrame, 0, a.Length() - 1);
        const GroundPlace leaves =
            PlaceOnPlace(*motion.rootPlace("", meet), ClipPlaceOf(a.offset).ground);
        const GroundPlace starts =
            PlaceOnPlace(*motion.rootPlace("", 0), ClipPlaceOf(b.offset).ground);
        return std::hypot(leaves.x - starts.x, leaves.y - starts.y) +
               100.0f * std::fabs(std::remainder(leaves.heading - starts.heading, 6.2831853f));
    }
};

TEST_F(ClipPlaceEdits, EachClipStartsWhereTheOneBeforeLeavesAndUndoRedoIsExact) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(30, 30).done);
    ASSERT_TRUE(Add(30, 70).done);
    ASSERT_TRUE(model->MoveClip(0, 50).done);  // cross-fading with the second
    EXPECT_EQ(Clips()[0].offset, (std::array<int32_t, 3>{0, 0, 0})) << "the first stays put";
    for (int k = 1; k < 3; ++k) EXPECT_LT(Gap(k - 1, k), 2.0f) << k;

    // Random moves of every clip: each keeps its successors continuing, and every step back and
    // forth restores the places exactly.
    std::mt19937 random(11);
    std::vector<Offsets> seen{OffsetsNow()};
    for (int step = 0; step < 25; ++step) {
        const int position = std::uniform_int_distribution<int>(0, 2)(random);
        const MotionClip* clip = model->ClipAtPosition(position);
        const int to = clip->firstFrame + std::uniform_int_distribution<int>(-12, 12)(random);
        if (!model->MoveClip(position, std::max(0, to)).done) continue;
        for (int k = 1; k < 3; ++k) EXPECT_LT(Gap(k - 1, k), 2.0f) << step;
        seen.push_back(OffsetsNow());
    }
    ASSERT_GT(seen.size(), 5u);
    for (size_t k = seen.size() - 1; k > 0; --k) {
        ASSERT_TRUE(model->Undo().done);
        EXPECT_EQ(OffsetsNow(), seen[k - 1]) << k;
    }
    for (size_t k = 1; k < seen.size(); ++k) {
        ASSERT_TRUE(model->Redo().done);
        EXPECT_EQ(OffsetsNow(), seen[k]) << k;
    }
}

TEST_F(ClipPlaceEdits, OwnPlaceAndFeetSwitchesAreEditsAndFilesKeepTheirPlaces) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(30, 30).done);
    ASSERT_TRUE(Add(30, 60).done);
    const Offsets continuing = OffsetsNow();
    // The last clip keeps its own place: moving the one before no longer moves it.
    ASSERT_TRUE(model->SetClipSwitches(0, true, false).done);
    EXPECT_TRUE(ClipPlaceOf(Clips()[2].offset).ownPlace);
    EXPECT_TRUE(ClipPlaceOf(Clips()[2].offset).feetFree);
    const auto kept = Clips()[2].offset;
    ASSERT_TRUE(model->MoveClip(1, 25).done);
    EXPECT_EQ(Clips()[2].offset, kept);
    EXPECT_NE(Clips()[1].offset, continuing[1]) << "the moved clip follows the first sooner";
    ASSERT_TRUE(model->Undo().done);
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(OffsetsNow(), continuing);
    EXPECT_FALSE(model->SetClipSwitches(0, false, true).done) << "nothing to change";
    // Keeping steps in step is a switch of the earlier clip of a blend, undone as the others.
    EXPECT_FALSE(model->SetKeepInStep(1, true).done) << "in step already";
    ASSERT_TRUE(model->SetKeepInStep(1, false).done);
    EXPECT_TRUE(ClipPlaceOf(Clips()[1].offset).ownTiming);
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(OffsetsNow(), continuing);

    // A project file's places are kept as stored, however far from continuing they are.
    CTimelineProject stored = model->Project();
    for (int p = 0; p < stored.motionClips.Count(); ++p)
        stored.motionClips.At(p)->offset = {5, 6, 7};
    std::string error;
    const std::string path = root / "user/stored.tvp";
    ASSERT_TRUE(CProjectFileWriter::Write(stored, path, &error)) << error;
    model->OpenProject(path);
    for (const MotionClip& c : Clips()) EXPECT_EQ(c.offset, (std::array<int32_t, 3>{5, 6, 7}));
    // New clips may come with their feet free, by the user's setting.
    model->SetNewClipsKeepFeetPlanted(false);
    ASSERT_TRUE(Add(10, 200).done);
    EXPECT_TRUE(ClipPlaceOf(Clips().back().offset).feetFree);
}

}  // namespace
}  // namespace tavrel
