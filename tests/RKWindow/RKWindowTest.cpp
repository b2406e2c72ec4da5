// Timeline frames on the avatar: the display motion, the mix of two motions through each curve,
// the rest pose, pose clips, the preview player, and the picture or video frame behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "../media/MediaFixtures.h"
#include "../motion/MotionFiles.h"
#include "RKWindow/RKPreviewPlayer.h"
#include "RKWindow/RKWindow.h"
#include "RKWindow/RKWindowTools.h"
#include "base/DebugOutput.h"
#include "motion/CurveFunction.h"
#include "support/GlFixture.h"
#include "support/PngFile.h"
#include "tests/support/TempFolder.h"

namespace tavrel::test {
namespace {

using tavrel::testing::WriteStandardMotion;

constexpr int kWidth = 120;
constexpr int kHeight = 160;
constexpr uint8_t kBackground[3] = {92, 100, 116};
constexpr uint32_t kBackgroundColour = 0x5C6474;

float RootX(CMotion& motion, int i) {
    const std::unique_ptr<CHTR> pose = motion.GetPose(i);
    return pose ? pose->GetRoot()->local.m[12] : NAN;
}

FrameSample Sample(int frame, const std::string& a, int localA, const std::string& b = "",
                   int localB = -1, float weight = 0, int curve = 0) {
    FrameSample s;
    s.frame = frame;
    s.clipFile = b.empty() ? a : b;
    s.fileA = a, s.localA = localA, s.fileB = b, s.localB = localB;
    s.weight = weight, s.curve = CurveType(curve);
    return s;
}

class RKWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = SharedHost();
        ASSERT_NE(host_, nullptr) << "no EGL surfaceless context";
        ASSERT_TRUE(window_.Initialise(host_, kWidth, kHeight));
        window_.System().SetBackgroundColor(kBackground[0], kBackground[1], kBackground[2], true);
        WriteStandardMotion(a_, 10);
        WriteStandardMotion(b_, 20);
    }

    std::vector<uint32_t> Frame() {
        std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
        EXPECT_EQ(rkReadFrame(RK_READ_COLOR, pixels.data()), 1);
        for (uint32_t& p : pixels) p |= 0xFF000000u;
        return pixels;
    }
    uint32_t Pixel(int x, int y) { return Frame()[size_t(y) * kWidth + x] & 0xFFFFFF; }

    // Shows the sample with the camera placed around the pose it shows, then compares.
    void ShowAndExpectGolden(const FrameSample& sample, const char* name) {
        window_.ShowFrameSample(sample, 0);
        window_.PoseCurrentFrame();
        window_.System().PresetCamera(RKViewport::Front);
        ASSERT_EQ(window_.ShowCurrentFrame(), 1);
        const std::vector<uint32_t> frame = Frame();
        ExpectMatchesGolden(frame, kWidth, kHeight, name);
    }

    static std::string Share(const char* file) {
        return std::string(TAVREL_SHARE_DIR) + "/" + file;
    }

    rkEglHost* host_ = nullptr;
    CMotionManager manager_;
    CRKWindow window_{manager_, TAVREL_SHARE_DIR};
    tavrel::testing::TempFolder dir_;
    const std::string a_ = dir_ / "a.chb";
    const std::string b_ = dir_ / "b.cha";
};

TEST_F(RKWindowTest, EachShownFrameIsStoredAndBecomesCurrent) {
    // A frame before the first clip shows the clip's first pose at the requested frame.
    EXPECT_EQ(window_.ShowFrameSample(Sample(4, a_, 0), 1), 1);
    EXPECT_EQ(window_.GetCurrentFrame(), 4);
    EXPECT_FLOAT_EQ(RootX(window_.DisplayMotion(), 4), 0.0f);
    EXPECT_EQ(window_.CurrentClipName(), a_);
    for (int f = 0; f < 10; ++f) ASSERT_EQ(window_.ShowFrameSample(Sample(f, a_, f), 0), 1);
    ASSERT_EQ(window_.DisplayMotion().GetLength(), 10);
    // Beyond the end the gap is filled with copies of the old last frame.
    EXPECT_EQ(window_.ShowFrameSample(Sample(100, a_, 2), 0), 1);
    EXPECT_EQ(window_.DisplayMotion().GetLength(), 101);
    EXPECT_EQ(window_.GetCurrentFrame(), 100);
    for (int f : {10, 50, 99}) EXPECT_FLOAT_EQ(RootX(window_.DisplayMotion(), f), 9.0f) << f;
    EXPECT_FLOAT_EQ(RootX(window_.DisplayMotion(), 100), 2.0f);
    // Frames no timeline has, and samples naming only B, change nothing.
    EXPECT_EQ(window_.ShowFrameSample(Sample(-3, a_, 2), 0), 0);
    EXPECT_EQ(window_.ShowFrameSample(Sample(CRKWindow::kMaxFrames, a_, 2), 0), 0);
    EXPECT_EQ(window_.ShowFrameSample(Sample(3, "", -1, b_, 4, 0.5f), 1), 0);
    EXPECT_EQ(window_.DisplayMotion().GetLength(), 101);
    EXPECT_EQ(window_.SetCurrentFrame(101), 0);
    EXPECT_EQ(window_.GetCurrentFrame(), 100);
    EXPECT_EQ(window_.SetCurrentFrame(3), 1);
}

// The avatar moved by hand stays where it was put while the timeline's frames go by: each
// frame shown is the motion's own place plus the moves made so far, and a pose read back from
// the avatar (for a pose clip) holds the motion's place alone.
TEST_F(RKWindowTest, AnObjectMoveLastsThroughTheFramesShownAfterIt) {
    CRKSystem& system = window_.System();
    CRKWindowTools tools(system);
    tools.SetMoveConstraint(CRKWindowTools::AllAxes);
    const rkNode* root = system.AvatarRoot();
    ASSERT_NE(root, nullptr);
    auto place = [&] { return rkVector{root->local.m[12], root->local.m[13], root->local.m[14]}; };
    rkVector moved{0, 0, 0};
    const int frames[] = {2, 5, 7, 5, 0};
    for (int step = 0; step < 5; ++step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(window_.ShowFrameSample(Sample(frames[step], a_, frames[step]), 0), 1);
        window_.PoseCurrentFrame();
        EXPECT_NEAR(place().x, float(frames[step]) + moved.x, 1e-3f);
        const rkVector before = place();
        ASSERT_TRUE(tools.MoveObject(40.0f, 60.0f, 55.0f + 10 * step, 50.0f));
        const rkVector after = place();
        moved = {moved.x + after.x - before.x, moved.y + after.y - before.y,
                 moved.z + after.z - before.z};
        std::unique_ptr<CHTR> pose = window_.DisplayMotion().GetPose(frames[step]);
        ASSERT_TRUE(pose);
        system.ReadAvatarPose(pose->GetRoot());
        EXPECT_NEAR(pose->GetRoot()->local.m[12], float(frames[step]), 1e-3f);
    }
    EXPECT_GT(std::fabs(moved.x) + std::fabs(moved.y) + std::fabs(moved.z), 1e-2f);
}

TEST_F(RKWindowTest, NoClipShowsTheRestPoseAtFrameZero) {
    ASSERT_EQ(window_.ShowFrameSample(Sample(6, a_, 5), 0), 1);
    EXPECT_EQ(window_.ShowFrameSample(FrameSample{}, 1), 1);
    EXPECT_EQ(window_.GetCurrentFrame(), 0);
    CMotion init(Share("Init.chb"), 0);
    const auto rest = init.GetPose(0);
    const auto shown = window_.DisplayMotion().GetPose(0);
    ASSERT_TRUE(rest && shown);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(shown->GetRoot()->local.m[i], rest->GetRoot()->local.m[i]);
}

TEST_F(RKWindowTest, TransitionsMixThroughTheirCurve) {
    // A's pose 0 has its root at x = 0, B's pose 8 at x = 8: the mix puts it at 8 c.
    const char* names[] = {"Linear", "EaseIn", "EaseOut", "Curve"};
    for (int curve = 0; curve < 4; ++curve) {
        for (float weight : {0.0f, 0.3f, 0.5f, 1.0f}) {
            ASSERT_EQ(window_.ShowFrameSample(Sample(1, a_, 0, b_, 8, weight, curve), 0), 1);
            const float c = CCurveFunction::GetValue(names[curve], weight);
            EXPECT_NEAR(RootX(window_.DisplayMotion(), 1), 8 * c, 1e-4) << names[curve] << weight;
        }
    }
    EXPECT_NEAR(RootX(window_.DisplayMotion(), 1), 8.0f, 1e-5);  // weight 1 is B
    // An unknown curve shows A alone.
    DebugCapture debug;
    ASSERT_EQ(window_.ShowFrameSample(Sample(1, a_, 3, b_, 8, 0.7f, 7), 0), 1);
    EXPECT_FLOAT_EQ(RootX(window_.DisplayMotion(), 1), 3.0f);
    EXPECT_TRUE(debug.Contains("CCurveFunction::GetValue() failed: sTypeName not support.\n"));
}

TEST_F(RKWindowTest, AMotionThatCannotBeReadLeavesThePreviousPose) {
    ASSERT_EQ(window_.ShowFrameSample(Sample(2, a_, 5), 0), 1);
    DebugCapture debug;
    EXPECT_EQ(window_.ShowFrameSample(Sample(2, dir_ / "missing.chb", 1), 1), 0);
    EXPECT_EQ(window_.ShowFrameSample(Sample(3, a_, 1, dir_ / "broken.cha", 1, 0.5f), 1), 0);
    EXPECT_EQ(window_.ShowFrameSample(Sample(3, a_, 99), 1), 0);  // past A's end
    EXPECT_FLOAT_EQ(RootX(window_.DisplayMotion(), 2), 5.0f);
    EXPECT_EQ(window_.GetCurrentFrame(), 2);
    EXPECT_EQ(window_.DisplayMotion().GetLength(), 3);
}

TEST_F(RKWindowTest, PoseClipsAreWrittenAndReloaded) {
    ASSERT_EQ(window_.ShowFrameSample(Sample(3, a_, 6), 0), 1);
    const std::string clip = dir_ / "pose.chb";
    manager_.GetMotion(clip);  // a stale entry that the write must replace
    ASSERT_EQ(window_.WritePoseClip(clip, 3), 1);
    CMotion* written = manager_.GetMotion(clip);
    ASSERT_TRUE(written->HasData());
    EXPECT_EQ(written->GetLength(), 1);
    EXPECT_FLOAT_EQ(RootX(*written, 0), 6.0f);
    DebugCapture debug;
    EXPECT_EQ(window_.WritePoseClip(dir_ / "pose2.chb", 4), 0);  // no such pose
    EXPECT_EQ(window_.WritePoseClip(dir_ / "no/folder/pose.chb", 3), 0);
    EXPECT_EQ(window_.WritePoseClip(dir_ / "pose.txt", 3), 0);

    const std::string initial = dir_ / "initial.cha";
    ASSERT_EQ(window_.WriteInitialPoseClip(initial), 1);
    CMotion init(Share("Init.chb"), 0);
    EXPECT_FLOAT_EQ(RootX(*manager_.GetMotion(initial), 0), RootX(init, 0));
    EXPECT_EQ(window_.WriteInitialPoseClip(dir_ / "no/folder/i.cha"), 0);

    // The timeline's pose-clip edits write through the hook: 12 the initial pose, 13 the
    // pose on screen.
    CMotionManagerSide side(manager_);
    side.SetPoseWriter(window_.PoseWriter());
    ASSERT_TRUE(side.WritePoseClip(13, dir_ / "current.chb"));
    EXPECT_FLOAT_EQ(RootX(*manager_.GetMotion(dir_ / "current.chb"), 0), 6.0f);
    ASSERT_TRUE(side.WritePoseClip(12, dir_ / "initial.chb"));
    EXPECT_FLOAT_EQ(RootX(*manager_.GetMotion(dir_ / "initial.chb"), 0), RootX(init, 0));
    EXPECT_FALSE(side.WritePoseClip(5, dir_ / "other.chb"));
}

TEST_F(RKWindowTest, PreviewPlayerFollowsTheClockAndWraps) {
    for (int f = 0; f < 10; ++f) ASSERT_EQ(window_.ShowFrameSample(Sample(f, a_, f), 0), 1);
    ASSERT_EQ(window_.SetCurrentFrame(0), 1);
    CRKPreviewPlayer player(window_);
    EXPECT_EQ(player.Tick(5000), -1);  // not started
    player.Start(1000);
    EXPECT_EQ(player.Tick(1010), -1);  // 0.6 frames
    EXPECT_EQ(player.Tick(1050), 3);
    EXPECT_EQ(window_.GetCurrentFrame(), 3);
    // The due time moved by 49 ms, not 50: 151 ms later are 9 frames, 3 + 9 wraps to 2.
    EXPECT_EQ(player.Tick(1200), 2);
    EXPECT_EQ(player.Tick(1200 + 1000000), (2 + 60000) % 10);
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(window_.GetCurrentFrame(), 0);
    EXPECT_EQ(player.Tick(2000000), -1);
}

TEST_F(RKWindowTest, StillPictureBehindKeepsItsProportions) {
    // A picture twice as wide as high in a 120 x 160 window: bands above and below.
    const std::string picture = dir_ / "wide.png";
    ASSERT_TRUE(tavrel::testing::WritePicture(
        picture, "PNG", 60, 30, [](int x, int) { return x < 30 ? 0xE03030u : 0x30B030u; }));
    FrameSample sample = Sample(0, a_, 0);
    sample.mediaFile = picture;
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_EQ(Pixel(2, 2), kBackgroundColour);
    EXPECT_EQ(Pixel(2, 80), 0xE03030u);
    EXPECT_EQ(Pixel(117, 80), 0x30B030u);
    EXPECT_EQ(Pixel(2, 157), kBackgroundColour);
    EXPECT_EQ(window_.System().Background().ImageName(), picture);

    // An empty name removes it.
    sample.mediaFile.clear();
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_FALSE(window_.System().Background().HasPicture());
    EXPECT_EQ(Pixel(2, 80), kBackgroundColour);
}

// A clip whose picture or video cannot be shown shows the plain background, not the picture
// of the clip before; its file is read once, not on every frame, until it changes.
TEST_F(RKWindowTest, MediaThatCannotBeShownShowsThePlainBackground) {
    const std::string picture = dir_ / "red.png";
    ASSERT_TRUE(
        tavrel::testing::WritePicture(picture, "PNG", 8, 8, [](int, int) { return 0xE03030u; }));
    const std::string broken = dir_ / "broken.png";
    std::filesystem::copy_file(picture, broken);
    std::filesystem::resize_file(broken, 40);
    const std::string text = dir_ / "text.avi";
    std::ofstream(text) << "RIFF but not really a video at all";
    struct Case {
        std::string file;
        int mediaFrame;
        std::string failure;
    };
    const Case cases[] = {
        {broken, -1, "CRImage::Load(" + broken + ") failed.\n"},
        {dir_ / "missing.png", -1, "CRImage::Load(" + (dir_ / "missing.png") + ") failed.\n"},
        {text, 30, "CRAvi::Load() failed: cannot open avi file.\n"},
        {dir_ / "missing.avi", 30, "CRAvi::Load() failed: cannot open avi file.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        FrameSample sample = Sample(0, a_, 0);
        sample.mediaFile = picture;
        ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
        ASSERT_EQ(Pixel(4, 80), 0xE03030u);
        sample.mediaFile = c.file;
        DebugCapture debug;
        for (int frame = 0; frame < 3; ++frame) {
            sample.mediaFrame = c.mediaFrame < 0 ? -1 : c.mediaFrame + frame;
            ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
            EXPECT_EQ(Pixel(4, 80), kBackgroundColour);
        }
        size_t reads = 0;
        for (size_t at = 0; (at = debug.Text().find(c.failure, at)) != std::string::npos; ++at)
            ++reads;
        EXPECT_EQ(reads, 1u);
    }
    // A file that changed is read again.
    std::filesystem::copy_file(picture, broken, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::last_write_time(
        broken, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(5));
    FrameSample sample = Sample(0, a_, 0);
    sample.mediaFile = broken;
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_EQ(Pixel(4, 80), 0xE03030u);
}

// The working folder gives the next project's picture or video the name the last one's had:
// what is shown behind comes from the file under the name now, not from the one read before.
TEST_F(RKWindowTest, AnotherFileUnderTheSameNameIsReadAnew) {
    struct Case {
        const char* name;
        int mediaFrame;
        std::function<bool(const std::string& path, uint32_t colour)> write;
    };
    const Case cases[] = {
        {"same.png", -1,
         [](const std::string& path, uint32_t colour) {
             return tavrel::testing::WritePicture(path, "PNG", 8, 8,
                                                  [colour](int, int) { return colour; });
         }},
        {"same.avi", 6,
         [](const std::string& path, uint32_t colour) {
             char source[64];
             std::snprintf(source, sizeof source, "color=c=0x%06X:s=64x48:r=25:d=1", colour);
             return tavrel::testing::HaveFfmpeg() &&
                    tavrel::testing::Ffmpeg(std::string("-f lavfi -i ") + source +
                                            " -c:v mjpeg -q:v 2 " + path);
         }},
    };
    auto red = [](uint32_t p) { return int(p >> 16) > 0xC0 && int(p >> 8 & 0xFF) < 0x60; };
    auto green = [](uint32_t p) { return int(p >> 8 & 0xFF) > 0xA0 && int(p >> 16) < 0x60; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir_ / c.name;
        if (!c.write(path, 0xE03030u)) {
            std::printf("skipped (the ffmpeg command makes the video): %s\n", c.name);
            continue;
        }
        FrameSample sample = Sample(0, a_, 0);
        sample.mediaFile = path;
        sample.mediaFrame = c.mediaFrame;
        ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
        EXPECT_TRUE(red(Pixel(4, 80))) << std::hex << Pixel(4, 80);
        // The folder emptied and the next project's file copied in under the same name.
        std::filesystem::remove(path);
        ASSERT_TRUE(c.write(path, 0x30B030u));
        sample.mediaFrame = c.mediaFrame < 0 ? -1 : c.mediaFrame + 1;
        ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
        EXPECT_TRUE(green(Pixel(4, 80))) << std::hex << Pixel(4, 80);
    }
}

// A video wider than the pictures behind may be is scaled down as a picture is.
TEST_F(RKWindowTest, VideoWiderThanTheLimitIsScaledDown) {
    if (!tavrel::testing::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command makes the video";
    const std::string video = dir_ / "wide.avi";
    ASSERT_TRUE(
        tavrel::testing::Ffmpeg("-f lavfi -i color=c=0xE03030:s=2112x256:r=10:d=0.2 -f lavfi -i "
                                "color=c=0x3030E0:s=2112x256:r=10:d=0.2 "
                                "-filter_complex hstack -c:v mjpeg -q:v 2 " +
                                video));
    FrameSample sample = Sample(0, a_, 0);
    sample.mediaFile = video;
    sample.mediaFrame = 1;
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_EQ(Pixel(60, 10), kBackgroundColour);
    EXPECT_NEAR(int(Pixel(4, 80) >> 16), 0xE0, 8);
    EXPECT_NEAR(int(Pixel(115, 80) & 0xFF), 0xE0, 8);
}

TEST_F(RKWindowTest, VideoFramesBehindComeFromOneOpenFile) {
    if (!tavrel::testing::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command makes the video";
    const std::string video = dir_ / "ramp.avi";
    ASSERT_TRUE(tavrel::testing::Ffmpeg(
        "-f lavfi -i color=c=black:s=64x48:r=25:d=2,format=rgb24,geq=r='N*5':g='N*5':b='N*5' "
        "-c:v mjpeg -q:v 2 " +
        video));
    FrameSample sample = Sample(0, a_, 0);
    sample.mediaFile = video;
    sample.mediaFrame = 60;  // 1000 ms: frame 25
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_NEAR(int(Pixel(4, 60) & 0xFF), 125, 3);
    EXPECT_EQ(window_.Video().GetPath(), video);
    // The next frame comes from the file opened before: it is gone from disk by now.
    std::filesystem::remove(video);
    sample.mediaFrame = 91;  // 1516 ms: frame 37
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_NEAR(int(Pixel(4, 60) & 0xFF), 185, 3);
    // Past the end the last picture stays.
    sample.mediaFrame = 600;
    ASSERT_EQ(window_.ShowFrameSample(sample, 1), 1);
    EXPECT_NEAR(int(Pixel(4, 60) & 0xFF), 185, 3);
}

TEST_F(RKWindowTest, GoldenFrames) {
    const std::string walk = Share("Motion/Locomotion/walk.cha");
    const std::string wave = Share("Motion/Gestures/wave.cha");
    const char* names[] = {"frame_mix_linear", "frame_mix_easein", "frame_mix_easeout",
                           "frame_mix_curve"};
    for (int curve = 0; curve < 4; ++curve)
        ShowAndExpectGolden(Sample(40, walk, 80, wave, 120, 0.3f, curve), names[curve]);
    ShowAndExpectGolden(FrameSample{}, "frame_rest");

    const std::string picture = dir_ / "quarters.png";
    ASSERT_TRUE(tavrel::testing::WritePicture(picture, "PNG", 64, 32, [](int x, int y) {
        return x < 32 ? (y < 16 ? 0xD04040u : 0x4040D0u) : (y < 16 ? 0xE0E040u : 0x40C040u);
    }));
    FrameSample still = Sample(0, walk, 20);
    still.mediaFile = picture;
    ShowAndExpectGolden(still, "frame_still_behind");

    if (!tavrel::testing::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command makes the video";
    const std::string video = dir_ / "bars.avi";
    ASSERT_TRUE(
        tavrel::testing::Ffmpeg("-f lavfi -i testsrc=s=96x72:r=25:d=1 -c:v mjpeg -q:v 3 " + video));
    FrameSample moving = Sample(0, walk, 20);
    moving.mediaFile = video;
    moving.mediaFrame = 30;
    ShowAndExpectGolden(moving, "frame_video_behind");
}

}  // namespace
}  // namespace tavrel::test
