// tavrel-cli render: options, failures, and the picture it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../motion/MotionFiles.h"
#include "ToolRun.h"
#include "cli/Commands.h"
#include "support/PngFile.h"

namespace tavrel::cli {
namespace {

using tavrel::testing::TempDir;

using testing::Result;

Result Render(Args args) {
    args.insert(args.begin(), "render");
    return testing::Tool(args);
}

const std::string kWalk = TAVREL_SHARE_DIR "/Motion/Locomotion/walk.cha";

TEST(RenderCommand, WrongOptionsAreUsageErrors) {
    EXPECT_EQ(Render({kWalk}).code, kExitUsage);  // no -o
    EXPECT_EQ(Render({"-o", "x.png"}).code, kExitUsage);
    EXPECT_EQ(Render({kWalk, "-o", "x.png", "--camera", "side"}).code, kExitUsage);
    EXPECT_EQ(Render({kWalk, "-o", "x.png", "--size", "0x10"}).code, kExitUsage);
    EXPECT_EQ(Render({kWalk, "-o", "x.png", "--size", "100"}).code, kExitUsage);
    EXPECT_EQ(Render({kWalk, "-o", "x.png", "--size", "99999x10"}).code, kExitUsage);
    EXPECT_EQ(Render({kWalk, "-o", "x.png", "--scale", "-1"}).code, kExitUsage);
    EXPECT_EQ(Render({kWalk, "-o", "x.png", "--frame", "two"}).code, kExitUsage);
    const Result r = Render({kWalk, "-o", "x.png", "--tilt"});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_NE(r.err.find("--tilt"), std::string::npos);
}

TEST(RenderCommand, UnreadableMotionFails) {
    TempDir dir;
    const std::string bad = dir / "broken.cha";
    std::ofstream(bad) << "not a motion\n";
    EXPECT_EQ(Render({bad, "-o", dir / "x.png"}).code, kExitFailed);
    EXPECT_EQ(Render({dir / "missing.htr", "-o", dir / "x.png"}).code, kExitFailed);
    EXPECT_EQ(Render({dir / "notes.txt", "-o", dir / "x.png"}).code, kExitFailed);
    // The head reads, the frames do not: the reader's message instead of an exception.
    tavrel::testing::WriteStandardMotion(dir / "cut.chb", 5);
    std::filesystem::resize_file(dir / "cut.chb", std::filesystem::file_size(dir / "cut.chb") - 9);
    const Result cut = Render({dir / "cut.chb", "-o", dir / "x.png"});
    EXPECT_EQ(cut.code, kExitFailed);
    EXPECT_NE(cut.err.find("cut.chb: code 2: File is corrupted!"), std::string::npos) << cut.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

TEST(RenderCommand, WritesThePictureOfTheFrameAsked) {
    TempDir dir;
    const Result r = Render({kWalk, "--frame", "5000", "--camera", "up", "--size", "64x48",
                             "--scale", "2", "-o", dir / "walk.png"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_NE(r.out.find("frame 197"), std::string::npos) << r.out;  // the last frame
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(test::ReadPng(dir / "walk.png", &width, &height, &pixels));
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    // Seen from above, the avatar fills the middle of the picture with other colours than
    // the background at its corner.
    const uint32_t corner = pixels[0];
    EXPECT_NE(pixels[24 * 64 + 32], corner);
    const Result cannot = Render({kWalk, "-o", dir / "no/such/folder.png"});
    EXPECT_EQ(cannot.code, kExitFailed);
}

}  // namespace
}  // namespace tavrel::cli
