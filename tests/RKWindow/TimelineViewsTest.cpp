// The 3D window's views of other frames than the one shown: ghosts of the frames around it,
// faint and in the colours of past and future, and the paths of the root and the feet over the
// timeline, following its edits. Both stop at the timeline's ends and stay out of picks; a
// video has them only when asked.
#include <gtest/gtest.h>

#include <filesystem>

#include "RKWindow/RKPicker.h"
#include "RKWindow/RKWindow.h"
#include "RKWindow/TimelineVideo.h"
#include "motion/GroundPlace.h"
#include "support/GlFixture.h"
#include "tests/support/TempFolder.h"
#include "timeline/FrameSample.h"

namespace tavrel::test {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
const std::string kWalk = std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha";

// A project of one clip playing the file over the given frames.
CTimelineProject OneClip(const std::string& file, int first, int last) {
    MotionClip clip;
    clip.fileName = file;
    clip.SetFrames(first, last);
    clip.SetTransitionIn(0), clip.SetTransitionOut(0);
    clip.sourceLast = last - first;
    CTimelineProject project;
    project.motionClips.InsertSorted(clip);
    return project;
}

class TimelineViews : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(SharedHost(), nullptr) << "no EGL surfaceless context";
        ASSERT_TRUE(window_.Initialise(SharedHost(), kWidth, kHeight));
        window_.System().SetBackgroundColor(92, 100, 116, true);
        CMotion walk(kWalk, 0);
        ASSERT_TRUE(walk.HasData());
        walkLength_ = walk.GetLength();
        project_ = OneClip(kWalk, 0, walkLength_ - 1);
        window_.SetTimelineSource([this] { return TimelineView{&project_, state_}; });
    }

    // The frame shown with the camera placed by the preset around the avatar, then drawn.
    std::vector<uint32_t> Draw(int frame, int preset) {
        window_.ShowFrameSample(GetFrameSample(&project_, frame), 0);
        window_.PoseCurrentFrame();
        window_.System().PresetCamera(preset);
        EXPECT_EQ(window_.ShowCurrentFrame(), 1);
        std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
        EXPECT_EQ(rkReadFrame(RK_READ_COLOR, pixels.data()), 1);
        for (uint32_t& p : pixels) p |= 0xFF000000u;
        return pixels;
    }
    void SetGhosts(bool shown, int count, int step) {
        window_.Ghosts().SetSettings({shown, count, step});
    }
    // Where the root of the timeline's pose at the frame lands in the picture.
    float ScreenXOfRoot(int frame) {
        CPoseEvaluator evaluator(manager_, window_.InitialPosePath());
        const auto pose = evaluator.PoseOf(GetFrameSample(&project_, frame));
        const rkVector root = rkOrigin(pose->GetRoot()->local);
        float at[1][4];
        window_.System().Camera().Project(&root, 1, at);
        return at[0][0];
    }

    CMotionManager manager_;
    CRKWindow window_{manager_, TAVREL_SHARE_DIR};
    CTimelineProject project_;
    uint64_t state_ = 1;
    int walkLength_ = 0;
};

using RKWindowGhosts = TimelineViews;
using RKWindowPaths = TimelineViews;

// Seen from the side, the ghosts before the frame are bluish and lie where the walk came from,
// those after it amber and ahead.
TEST_F(RKWindowGhosts, GhostsShowFaintlyBeforeAndAfterInTheirColours) {
    const int frame = walkLength_ / 2;
    SetGhosts(false, 3, 12);
    const std::vector<uint32_t> plain = Draw(frame, RKViewport::Left);
    SetGhosts(true, 3, 12);
    const std::vector<uint32_t> ghosts = Draw(frame, RKViewport::Left);
    ExpectMatchesGolden(ghosts, kWidth, kHeight, "ghosts_walk_left");
    EXPECT_EQ(window_.Ghosts().Frames(), (std::vector<int>{frame - 12, frame - 24, frame - 36,
                                                           frame + 12, frame + 24, frame + 36}));
    double bluish = 0, amber = 0, bluishX = 0, amberX = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const uint32_t before = plain[size_t(i)], after = ghosts[size_t(i)];
        if (before == after) continue;
        const int warmer = (Red(after) - Blue(after)) - (Red(before) - Blue(before));
        if (warmer < -25) bluish += 1, bluishX += i % kWidth;
        if (warmer > 25) amber += 1, amberX += i % kWidth;
    }
    ASSERT_GT(bluish, 150) << "the past ghosts must be seen";
    ASSERT_GT(amber, 150) << "the future ghosts must be seen";
    const float past = ScreenXOfRoot(frame - 24), future = ScreenXOfRoot(frame + 24);
    EXPECT_LT(std::abs(bluishX / bluish - past), std::abs(bluishX / bluish - future));
    EXPECT_LT(std::abs(amberX / amber - future), std::abs(amberX / amber - past));
}

// Frames before 0 and past the timeline's last have no ghost; an empty timeline, a one-frame
// clip or no timeline at all give none, and each still draws.
TEST_F(RKWindowGhosts, GhostFramesStopAtTheTimelinesEnds) {
    struct Case {
        const char* what;
        CTimelineProject project;
        int frame, count, step;
        std::vector<int> frames;
    };
    const int last = walkLength_ - 1;
    const Case cases[] = {
        {"the start", OneClip(kWalk, 0, last), 5, 3, 4, {1, 9, 13, 17}},
        {"the end", OneClip(kWalk, 0, last), last - 2, 2, 2, {last - 4, last - 6, last}},
        {"the first frame", OneClip(kWalk, 0, last), 0, 2, 30, {30, 60}},
        {"a one-frame clip", OneClip(kWalk, 0, 0), 0, 8, 1, {}},
        {"an empty timeline", CTimelineProject(), 0, 4, 5, {}},
        {"past the end", OneClip(kWalk, 0, 20), 40, 2, 10, {20}},
        {"settings out of range",
         OneClip(kWalk, 0, last),
         40,
         99,
         -3,
         {39, 38, 37, 36, 35, 34, 33, 32, 41, 42, 43, 44, 45, 46, 47, 48}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        project_ = c.project;
        ++state_;
        SetGhosts(true, c.count, c.step);
        Draw(c.frame, RKViewport::Front);
        EXPECT_EQ(window_.Ghosts().Frames(), c.frames);
    }
    window_.SetTimelineSource({});
    Draw(10, RKViewport::Front);
    EXPECT_TRUE(window_.Ghosts().Frames().empty()) << "no timeline";
}

// A click on a ghost picks nothing (it is another frame's avatar); one on the avatar its part.
TEST_F(RKWindowGhosts, APickOnAGhostPicksNothing) {
    const int frame = walkLength_ / 2;
    SetGhosts(false, 2, 20);
    const std::vector<uint32_t> plain = Draw(frame, RKViewport::Left);
    SetGhosts(true, 2, 20);
    const std::vector<uint32_t> ghosts = Draw(frame, RKViewport::Left);
    const uint32_t background = plain[0];
    int ghostOnly = -1, avatar = -1;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        if (ghostOnly < 0 && plain[size_t(i)] == background && ghosts[size_t(i)] != background)
            ghostOnly = i;
        if (avatar < 0 && i % kWidth == kWidth / 2 && plain[size_t(i)] != background) avatar = i;
    }
    ASSERT_GE(ghostOnly, 0);
    ASSERT_GE(avatar, 0);
    CRKSystem& system = window_.System();
    EXPECT_EQ(CRKPicker::Pick(system, ghostOnly % kWidth, ghostOnly / kWidth), nullptr);
    EXPECT_NE(CRKPicker::Pick(system, avatar % kWidth, avatar / kWidth), nullptr);
    // The pick leaves the ghosts as they were.
    EXPECT_EQ(Draw(frame, RKViewport::Left)[size_t(ghostOnly)], ghosts[size_t(ghostOnly)]);
}

// From above, the root's and the feet's paths lie on the way walked, the feet's above the
// floor, with their plants marked.
TEST_F(RKWindowPaths, PathsShowTheWayWalkedWithItsPlantsFromAbove) {
    window_.Paths().Show(true);
    const std::vector<uint32_t> picture = Draw(walkLength_ / 2, RKViewport::Up);
    ExpectMatchesGolden(picture, kWidth, kHeight, "paths_walk_up");
    const auto& paths = window_.Paths().Paths();
    ASSERT_EQ(paths.size(), 3u);
    for (const MotionPath& path : paths) {
        SCOPED_TRACE(path.segment);
        EXPECT_EQ(path.first, 0);
        EXPECT_EQ(path.Last(), walkLength_ - 1);
        for (const rkVector& p : path.points) ASSERT_GT(p.z, kGroundHeight);
    }
    EXPECT_FALSE(paths[1].plants.empty());
    EXPECT_FALSE(paths[2].plants.empty());
    int red = 0;
    for (uint32_t p : picture) red += Red(p) > 200 && Green(p) < 90 && Blue(p) < 90;
    EXPECT_GT(red, 20) << "the plants are marked";
}

// An edit of the timeline (a new state of its clips) remakes the paths at the next frame.
TEST_F(RKWindowPaths, PathsFollowAnEditAtOnce) {
    window_.Paths().Show(true);
    const std::vector<uint32_t> before = Draw(20, RKViewport::Up);
    const float startX = window_.Paths().Paths()[0].points[0].x;
    project_ = OneClip(kWalk, 0, walkLength_ / 2);
    ++state_;
    const std::vector<uint32_t> after = Draw(20, RKViewport::Up);
    ASSERT_FALSE(window_.Paths().Paths().empty());
    EXPECT_EQ(window_.Paths().Paths()[0].Last(), walkLength_ / 2);
    EXPECT_FLOAT_EQ(window_.Paths().Paths()[0].points[0].x, startX);
    EXPECT_NE(before, after);
    window_.Paths().Show(false);
    Draw(20, RKViewport::Up);
    project_ = CTimelineProject();
    ++state_;
    window_.Paths().Show(true);
    Draw(0, RKViewport::Up);
    EXPECT_TRUE(window_.Paths().Paths().empty()) << "an empty timeline has no path";
}

// A video made with ghosts and paths shows them; one made without shows neither.
TEST_F(RKWindowGhosts, AVideoHasGhostsAndPathsOnlyWhenAsked) {
    tavrel::testing::TempFolder dir;
    for (bool asked : {true, false}) {
        SCOPED_TRACE(asked);
        CMotionManager manager;
        CRKWindow window(manager, TAVREL_SHARE_DIR);
        ASSERT_TRUE(window.Initialise(SharedHost(), kWidth, kHeight));
        VideoExport job;
        job.out = dir / (asked ? "with.mp4" : "without.mp4");
        job.width = kWidth, job.height = kHeight;
        job.from = 30, job.to = 33;
        job.ghosts = {asked, 2, 5};
        job.paths = asked;
        const VideoOutcome outcome = RenderTimelineVideo(window, project_, job);
        ASSERT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(window.Ghosts().Frames().size(), asked ? 4u : 0u);
        EXPECT_EQ(window.Paths().Paths().empty(), !asked);
    }
}

}  // namespace
}  // namespace tavrel::test
