#include <gtest/gtest.h>

#include "timeline/ClipRules.h"
#include "timeline/FrameSample.h"
#include "timeline/PlaybackStepper.h"

namespace tavrel {
namespace {

void AddClip(CTimelineProject& project, const std::string& file, int first, int last,
             int transition = 5) {
    MotionClip clip;
    clip.fileName = file;
    clip.SetFrames(first, last);
    clip.SetTransitionIn(transition);
    clip.SetTransitionOut(transition);
    clip.curveType = kCurveEaseOut;
    project.motionClips.InsertSorted(clip);
}

// What a frame shows: the clip under it, or the two it lies between and how far it has come
// from the one to the other.
TEST(GetFrameSample, FramesShowTheirClipAndBlendOverTransitions) {
    struct Clip {
        const char* file;
        int first, last, transition;
    };
    const std::vector<Clip> touching = {{"a", 0, 29, 5}, {"b", 30, 59, 5}};
    const std::vector<Clip> gap = {{"a", 0, 29, 5}, {"b", 40, 59, 5}};
    const std::vector<Clip> overlap = {{"a", 0, 29, 5}, {"b", 20, 49, 5}};
    const std::vector<Clip> late = {{"a", 10, 29, 5}, {"b", 30, 49, 5}};
    const struct {
        const char* name;
        std::vector<Clip> clips;
        int frame;
        const char* fileA;
        int localA;
        const char* fileB;
        int localB;
        float weight;
        const char* clipFile;  // the clip under the frame; null: not asked
        int curve;             // -1: not asked
    } cases[] = {
        {"touching, before the cut", touching, 27, "a", 27, "b", 0, 2.0f / 9, nullptr, -1},
        {"touching, after the cut", touching, 32, "a", 29, "b", 2, 7.0f / 9, "b", kCurveEaseOut},
        {"touching, inside one", touching, 10, "a", 10, "", -1, 0, nullptr, -1},
        {"a gap belongs to the transition", gap, 35, "a", 29, "b", 0, 10.0f / 19, "", -1},
        {"overlapping clips cross-fade on A's curve", overlap, 25, "a", 25, "b", 5, 0.5f, nullptr,
         kCurveEaseOut},
        {"beside the overlap, in one clip", overlap, 18, "a", 18, "", -1, 0, nullptr, -1},
        {"before the first clip", late, 3, "a", 0, "", -1, 0, nullptr, -1},
        {"after the last clip", late, 80, "b", 19, "", -1, 0, nullptr, -1},
        {"a one-frame clip never blends",
         {{"a", 0, 29, 5}, {"pose", 30, 30, 1}, {"c", 31, 60, 5}},
         30,
         "pose",
         0,
         "",
         -1,
         0,
         nullptr,
         -1},
        {"a zone of one frame shows A",
         {{"a", 0, 9, 1}, {"b", 10, 19, 0}},
         9,
         "a",
         9,
         "b",
         0,
         0,
         nullptr,
         -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTimelineProject project;
        for (const Clip& clip : c.clips) {
            AddClip(project, clip.file, clip.first, clip.last, clip.transition);
        }
        const FrameSample s = GetFrameSample(&project, c.frame);
        EXPECT_EQ(s.frame, c.frame);
        EXPECT_EQ(s.fileA, c.fileA);
        EXPECT_EQ(s.localA, c.localA);
        EXPECT_EQ(s.fileB, c.fileB);
        EXPECT_EQ(s.localB, c.localB);
        EXPECT_FLOAT_EQ(s.weight, c.weight);
        if (c.clipFile) {
            EXPECT_EQ(s.clipFile, c.clipFile);
        }
        if (c.curve >= 0) {
            EXPECT_EQ(s.curve, c.curve);
        }
    }
}

TEST(GetFrameSample, AnyFrameOfABlendIsFoundFromAnyOther) {
    // Touching, with a gap, overlapping, and with transitions of one frame and none.
    struct Pair {
        const char* name;
        int aLast, bFirst, transition;
    };
    for (const Pair& p :
         {Pair{"touching", 29, 30, 5}, Pair{"gap", 29, 40, 5}, Pair{"overlap", 29, 20, 5},
          Pair{"one frame", 29, 30, 1}, Pair{"none", 29, 30, 0}}) {
        SCOPED_TRACE(p.name);
        CTimelineProject project;
        AddClip(project, "a", 0, p.aLast, p.transition);
        AddClip(project, "b", p.bFirst, p.bFirst + 29, p.transition);
        int blended = 0, after = 0;
        for (int from = 0; from < 70; ++from) {
            const FrameSample sample = GetFrameSample(&project, from);
            if (sample.fileB.empty() && sample.follows.fade.last >= sample.follows.fade.first) {
                // B alone after the blend finds the blend's last frame.
                ++after;
                const FrameSample last = LastOfBlendBefore(sample);
                const FrameSample direct = GetFrameSample(&project, sample.follows.fade.last);
                ASSERT_GT(from, last.frame);
                ASSERT_EQ(last.fade, direct.fade) << from;
                ASSERT_EQ(last.fileA + last.fileB, direct.fileA + direct.fileB) << from;
                ASSERT_EQ(last.localA, direct.localA) << from;
                ASSERT_EQ(last.localB, direct.localB) << from;
                ASSERT_EQ(last.placeB, direct.placeB) << from;
                ASSERT_FLOAT_EQ(last.weight, direct.weight) << from;
            }
            if (sample.fileB.empty()) continue;
            ++blended;
            ASSERT_GE(from, sample.fade.first);
            ASSERT_LE(from, sample.fade.last);
            for (int to = sample.fade.first; to <= sample.fade.last; ++to) {
                const FrameSample again = SampleInFade(sample, to);
                const FrameSample direct = GetFrameSample(&project, to);
                ASSERT_EQ(again.localA, direct.localA) << from << " to " << to;
                ASSERT_EQ(again.localB, direct.localB) << from << " to " << to;
                ASSERT_FLOAT_EQ(again.weight, direct.weight) << from << " to " << to;
            }
        }
        EXPECT_EQ(blended > 0, p.transition > 0 || p.bFirst <= p.aLast);
        EXPECT_EQ(after > 0, blended > 0);
    }
}

TEST(GetFrameSample, WithoutProjectOrClipsGivesDefaults) {
    FrameSample defaults;
    defaults.frame = 5;
    EXPECT_EQ(GetFrameSample(nullptr, 5), defaults);
    CTimelineProject project;
    MediaClip still;
    still.fileName = "still.bmp";
    still.SetFrames(3, 3);
    project.mediaClips.InsertSorted(still);
    FrameSample s = GetFrameSample(&project, 3);
    EXPECT_EQ(s.mediaFile, "still.bmp");
    EXPECT_EQ(s.mediaFrame, -1);
    EXPECT_EQ(s.fileA, "");
    EXPECT_EQ(GetFrameSample(&project, 4).mediaFile, "");
}

// The clip's kind decides what is shown: a video of one frame is still a video, not a picture.
TEST(GetFrameSample, MediaClipsShowAsTheirKind) {
    const struct {
        uint32_t header;
        int first, last, frame, mediaFrame;
    } cases[] = {
        {MediaClip::kHeaderImage, 3, 3, 3, -1},
        {MediaClip::kHeaderVideo, 10, 19, 12, 2},
        {MediaClip::kHeaderVideo, 30, 30, 30, 0},
    };
    CTimelineProject project;
    for (const auto& c : cases) {
        MediaClip clip;
        clip.header = c.header;
        clip.fileName = "clip" + std::to_string(c.first);
        clip.SetFrames(c.first, c.last);
        project.mediaClips.InsertSorted(clip);
    }
    for (const auto& c : cases) {
        const FrameSample s = GetFrameSample(&project, c.frame);
        EXPECT_EQ(s.mediaFile, "clip" + std::to_string(c.first));
        EXPECT_EQ(s.mediaFrame, c.mediaFrame) << "frame " << c.frame;
    }
}

TEST(ClipRules, MovesMayCrossFadeButNotSwallow) {
    CTimelineProject project;
    AddClip(project, "a", 0, 29);
    AddClip(project, "b", 100, 129);
    AddClip(project, "c", 200, 204);
    AddClip(project, "p", 300, 300);
    // Positions from First: p 0, c 1, b 2, a 3.
    EXPECT_TRUE(CanMoveClip(project, 2, 20, 49));     // over a's last 10 frames
    EXPECT_FALSE(CanMoveClip(project, 1, 5, 9));      // inside a
    EXPECT_FALSE(CanMoveClip(project, 2, 198, 227));  // c would lie inside it
    EXPECT_FALSE(CanMoveClip(project, 2, 290, 319));  // over a one-frame clip
    EXPECT_FALSE(CanMoveClip(project, 0, 10, 10));    // a one-frame clip onto another
    EXPECT_FALSE(CanMoveClip(project, 2, -1, 28));
    EXPECT_FALSE(CanMoveClip(project, 2, kMaxFrame - 28, kMaxFrame + 1));
    // Between two clips, touching both; but not when those two overlap each other.
    CTimelineProject three;
    AddClip(three, "a", 0, 29);
    AddClip(three, "b", 25, 54);
    AddClip(three, "c", 100, 129);
    EXPECT_FALSE(CanMoveClip(three, 0, 20, 49));  // onto a and b, which overlap
    AddClip(three, "d", 60, 89);
    EXPECT_TRUE(CanMoveClip(three, 0, 50, 65));  // onto b and d, which do not
}

TEST(PlaybackStepper, FramesFollowTheClock) {
    int64_t now = 1000;
    CPlaybackStepper stepper([&] { return now; });
    stepper.Start();
    now += 10;
    EXPECT_FALSE(stepper.StepAll(0, 100).advanced);
    EXPECT_EQ(stepper.DueTime(), 1000);
    now += 23;  // 33 ms: one frame, the rest carried over
    PlaybackStep step = stepper.StepAll(0, 100);
    EXPECT_EQ(step.next, 1);
    EXPECT_EQ(stepper.DueTime(), 1016);
    now = 1066;  // 3.96 frames since the start: two more
    EXPECT_EQ(stepper.StepAll(1, 100).next, 3);
    EXPECT_EQ(stepper.DueTime(), 1050);
    now += 1000;  // 60 frames more; 63 past the end of 0..50 wraps to frame 12
    step = stepper.StepAll(3, 50);
    EXPECT_TRUE(step.wrapped);
    EXPECT_EQ(step.next, 12);
    EXPECT_EQ(step.soundPositionMs, 200);
    // A minute of 33 ms ticks later the clock is 60466 ms past the start: frame 3627, less the
    // 51 frames of the wrap. Rounding each tick's share ran a second ahead of it.
    int frame = 12;
    for (int tick = 0; tick < 1800; ++tick) {
        now += 33;
        step = stepper.StepAll(frame, 17999);
        if (step.advanced) frame = step.next;
    }
    EXPECT_EQ(frame, 3627 - 51);
}

TEST(PlaybackStepper, RangesWrapToTheirStart) {
    int64_t now = 0;
    CPlaybackStepper stepper([&] { return now; });
    stepper.Start();
    now = 50;                                                  // 3 frames
    EXPECT_EQ(stepper.StepRange(0, 10, 12, 0, 100).next, 10);  // starts at 10, 13 wraps to 10
    now = 100;
    EXPECT_EQ(stepper.StepRange(20, -1, 21, 5, 100).next, 6);
    // An in mark after the last frame must not hang playback.
    now = 200;
    PlaybackStep step = stepper.StepRange(0, 500, -1, 0, 100);
    EXPECT_TRUE(step.wrapped);
    EXPECT_EQ(step.next, 500);
    EXPECT_FALSE(stepper.StepAll(0, -1).advanced);
    // Marks at frame 0 bound the range although the first clip starts later.
    now = 250;
    EXPECT_EQ(stepper.StepRange(3, 0, -1, 5, 100).next, 6);
    now = 300;
    step = stepper.StepRange(99, 0, -1, 5, 100);  // 102 wraps to 1
    EXPECT_TRUE(step.wrapped);
    EXPECT_EQ(step.next, 1);
    now = 350;
    step = stepper.StepRange(0, -1, 0, 0, 100);
    EXPECT_TRUE(step.wrapped);
    EXPECT_EQ(step.next, 0);
}

}  // namespace
}  // namespace tavrel
