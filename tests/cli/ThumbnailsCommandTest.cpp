// tavrel-cli thumbnails: a picture per readable motion, failures named, exit code 1 then.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../motion/MotionFiles.h"
#include "ToolRun.h"
#include "cli/Commands.h"
#include "support/PngFile.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;
using tavrel::testing::TempDir;
using testing::Has;
using testing::Result;

Result Thumbnails(Args args) {
    args.insert(args.begin(), "thumbnails");
    return testing::Tool(args);
}

TEST(ThumbnailsCommand, WritesEachMotionsPictureAndNamesTheUnreadable) {
    TempDir dir;
    fs::create_directory(dir / "in");
    fs::copy_file(TAVREL_SHARE_DIR "/Motion/Locomotion/walk.cha", dir / "in/Walk Ä.CHA");
    fs::copy_file(TAVREL_SHARE_DIR "/Motion/Sports/jump.htr", dir / "in/jump.htr");
    tavrel::testing::WriteText(dir / "in/broken.chb", "not a motion");
    tavrel::testing::WriteText(dir / "in/readme.txt", "skipped quietly");
    fs::copy_file(TAVREL_STOPS_DIR "/accessor-past-array.dae", dir / "in/stops.dae");

    const std::string store = dir / "store";
    Result r = Thumbnails({dir / "in", "-o", dir / "out", "--size", "32", "--cache", store});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "broken.chb"));
    EXPECT_TRUE(Has(r.err, "stops.dae")) << r.err;
    EXPECT_FALSE(Has(r.err, "readme.txt"));
    EXPECT_TRUE(Has(r.out, "wrote 2 pictures of 32x32"));
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    ASSERT_TRUE(tavrel::test::ReadPng(dir / "out/Walk Ä.CHA.png", &width, &height, &pixels));
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
    // The avatar stands before the even background: the picture is not one colour.
    EXPECT_NE(std::count(pixels.begin(), pixels.end(), pixels[0]), long(pixels.size()));
    EXPECT_TRUE(fs::exists(dir / "out/jump.htr.png"));
    EXPECT_FALSE(fs::exists(dir / "out/broken.chb.png"));

    // Again from the store: the same pictures, and the unreadable file still named.
    const std::vector<uint32_t> first = pixels;
    fs::remove(dir / "out/Walk Ä.CHA.png");
    r = Thumbnails({dir / "in", "-o", dir / "out", "--size", "32", "--cache", store});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "broken.chb"));
    ASSERT_TRUE(tavrel::test::ReadPng(dir / "out/Walk Ä.CHA.png", &width, &height, &pixels));
    EXPECT_EQ(pixels, first);

    fs::remove(dir / "in/broken.chb");
    fs::remove(dir / "in/stops.dae");
    r = Thumbnails({dir / "in", "-o", dir / "out", "--no-cache"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    ASSERT_TRUE(tavrel::test::ReadPng(dir / "out/jump.htr.png", &width, &height, &pixels));
    EXPECT_EQ(width, 50);
    // Four files at 32 pixels were kept (two pictures, two reasons), none at 50.
    EXPECT_EQ(std::distance(fs::directory_iterator(store), fs::directory_iterator()), 4);
}

TEST(ThumbnailsCommand, WrongUsageAndMissingFolders) {
    EXPECT_EQ(Thumbnails({"dir"}).code, kExitUsage);
    EXPECT_EQ(Thumbnails({"dir", "-o", "out", "--size", "0"}).code, kExitUsage);
    EXPECT_EQ(Thumbnails({"dir", "-o", "out", "--size", "5x5"}).code, kExitUsage);
    TempDir dir;
    const Result r = Thumbnails({dir / "missing", "-o", dir / "out"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "not a folder"));
}

}  // namespace
}  // namespace tavrel::cli
