// tavrel-cli render of a project's timeline frame, and tavrel-cli frame of a video.
#include <gtest/gtest.h>

#include <filesystem>

#include "../media/MediaFixtures.h"
#include "../motion/MotionFiles.h"
#include "ToolRun.h"
#include "cli/Commands.h"
#include "support/PngFile.h"

namespace tavrel::cli {
namespace {

using tavrel::testing::TempDir;
using testing::Has;
using testing::Result;
using testing::Tool;

const std::string kShare = TAVREL_SHARE_DIR;

uint32_t At(const std::vector<uint32_t>& pixels, int width, int x, int y) {
    return pixels[size_t(y) * width + x] & 0xFFFFFF;
}

TEST(RenderCommand, AProjectFrameShowsItsMixedPoseInFrontOfItsPicture) {
    TempDir dir;
    std::filesystem::copy_file(kShare + "/Motion/Locomotion/walk.cha", dir / "a.cha");
    std::filesystem::copy_file(kShare + "/Motion/Gestures/wave.cha", dir / "b.cha");
    ASSERT_TRUE(tavrel::testing::WritePicture(dir / "sky.png", "PNG", 40, 10,
                                              [](int, int) { return 0x2080F0u; }));
    tavrel::testing::WriteText(dir / "p.tvp",
                               "D,demo\n2\nM,0,98,10,10,0,0,a.cha,0,98,0,0,0,*\n"
                               "M,99,150,10,10,0,1,b.cha,0,51,0,0,0,*\n1\nI,95,95,sky.png\n"
                               "S,none\nI,0\n");
    const Result r =
        Tool({"render", dir / "p.tvp", "--frame", "95", "--size", "80x60", "-o", dir / "f.png"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out, "wrote " + dir / "f.png" + " (80x60, frame 95)\n");
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(test::ReadPng(dir / "f.png", &width, &height, &pixels));
    ASSERT_EQ(width, 80);
    // The 4:1 picture lies in a band across the middle; above it the window's colour.
    EXPECT_EQ(At(pixels, 80, 2, 30), 0x2080F0u);
    EXPECT_NE(At(pixels, 80, 2, 2), 0x2080F0u);
    EXPECT_NE(At(pixels, 80, 40, 25), 0x2080F0u);  // the avatar in front

    // The next frame of the transition shows another pose, and a picture is one frame long.
    ASSERT_EQ(
        Tool({"render", dir / "p.tvp", "--frame", "96", "--size", "80x60", "-o", dir / "g.png"})
            .code,
        kExitOk);
    std::vector<uint32_t> next;
    ASSERT_TRUE(test::ReadPng(dir / "g.png", &width, &height, &next));
    EXPECT_NE(next, pixels);
    EXPECT_NE(At(next, 80, 2, 30), 0x2080F0u);

    EXPECT_EQ(Tool({"render", dir / "p.tvp", "--frame", "-1", "-o", dir / "x.png"}).code,
              kExitFailed);
    const Result missing = Tool({"render", dir / "none.tvp", "-o", dir / "x.png"});
    EXPECT_EQ(missing.code, kExitFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

class FrameCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!tavrel::testing::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command makes the video";
        ASSERT_TRUE(tavrel::testing::Ffmpeg(
            "-f lavfi -i color=c=black:s=32x24:r=10:d=1,format=rgb24,geq=r='N*20':g=0:b=0 "
            "-c:v libx264 -qp 0 -pix_fmt yuv444p " +
            dir / "red.mp4"));
    }
    TempDir dir;
};

TEST_F(FrameCommand, WritesTheFrameShownAtTheTime) {
    const Result png = Tool({"frame", dir / "red.mp4", "--time", "450", "-o", dir / "f.png"});
    ASSERT_EQ(png.code, kExitOk) << png.err;
    EXPECT_EQ(png.out, "wrote " + dir / "f.png" + " (32x24, time 450 ms)\n");
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(test::ReadPng(dir / "f.png", &width, &height, &pixels));
    EXPECT_EQ(width, 32);
    EXPECT_NEAR(int(At(pixels, 32, 16, 12) >> 16), 80, 3);  // frame 4

    const Result bmp = Tool({"frame", dir / "red.mp4", "--time", "999", "-o", dir / "f.BMP"});
    ASSERT_EQ(bmp.code, kExitOk) << bmp.err;
    const std::string bytes = tavrel::testing::ReadBytes(dir / "f.BMP");
    ASSERT_EQ(bytes.size(), 54u + 32 * 3 * 24);
    EXPECT_NEAR(uint8_t(bytes[54 + 12 * 96 + 16 * 3 + 2]), 180, 3);  // frame 9, red last in BMP
}

TEST_F(FrameCommand, RefusesWhatItCannotDo) {
    const Result late = Tool({"frame", dir / "red.mp4", "--time", "1000", "-o", dir / "f.png"});
    EXPECT_EQ(late.code, kExitFailed);
    EXPECT_TRUE(Has(late.err, "no frame at 1000 ms")) << late.err;
    EXPECT_EQ(Tool({"frame", dir / "none.mp4", "--time", "5", "-o", dir / "f.png"}).code,
              kExitFailed);
    EXPECT_FALSE(std::filesystem::exists(dir / "f.png"));
    // The video is never written over.
    const std::string before = tavrel::testing::ReadBytes(dir / "red.mp4");
    std::filesystem::copy_file(dir / "red.mp4", dir / "red.png");
    EXPECT_EQ(Tool({"frame", dir / "red.png", "--time", "5", "-o", dir / "red.png"}).code,
              kExitFailed);
    EXPECT_EQ(tavrel::testing::ReadBytes(dir / "red.png"), before);
}

}  // namespace
}  // namespace tavrel::cli
