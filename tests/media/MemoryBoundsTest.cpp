// Small files that claim huge pictures, and huge files with small pictures, cost what the picture
// needs and no more. The cases run in a child process whose address space may grow by 256 MB
// only: a reader that allocates what a file claims, or reads a file whole, fails there.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "MediaFixtures.h"
#include "base/DebugOutput.h"
#include "media/RAvi.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using testing::TempFolder;

void LimitGrowthTo(size_t bytes) {
    size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * sysconf(_SC_PAGESIZE) + bytes;
    const rlimit address{limit, limit};
    setrlimit(RLIMIT_AS, &address);
}

void PutLittle(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

// A second of 64 x 48 MJPEG in AVI whose headers and frames claim 16000 x 16000 pixels.
std::string HugeVideo(const std::string& small, const std::string& path) {
    std::string bytes = testing::ReadFile(small);
    const size_t header = bytes.find("strf");  // its bitmap header: size, width, height
    if (header == std::string::npos) return {};
    PutLittle(bytes, header + 12, 16000);
    PutLittle(bytes, header + 16, 16000);
    // Each frame's start-of-frame marker, its length and precision, then height and width.
    for (size_t at = 0; (at = bytes.find("\xFF\xC0", at)) != std::string::npos; at += 2) {
        if (at + 9 > bytes.size()) break;
        bytes[at + 5] = bytes[at + 7] = char(16000 >> 8);
        bytes[at + 6] = bytes[at + 8] = char(16000 & 0xFF);
    }
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The number of cases that failed, each named on the error output.
int FailuresUnderTheLimit(const std::string& dir) {
    // The libraries and their threads are there before the limit.
    CRAvi warm;
    CRImage picture;
    if (!warm.Load(dir + "/small.avi") || !picture.Load(dir + "/one.png")) return 100;
    LimitGrowthTo(256u << 20);
    int failures = 0;
    auto check = [&](bool good, const char* what) {
        if (good) return;
        std::fprintf(stderr, "%s\n", what);
        ++failures;
    };
    check(picture.Load(dir + "/long.png") && picture.GetWidth() == 1, "the long file's picture");
    check(!picture.Load(dir + "/claims.png"), "the picture claiming 16000 x 16000");
    DebugCapture debug;
    CRAvi avi;
    check(!avi.Load(dir + "/huge.avi") && debug.Contains("too large"),
          "the video claiming 16000 x 16000");
    return failures;
}

TEST(MemoryBounds, FilesCostWhatTheirPictureNeeds) {
    if (!testing::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command makes the video";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder dir;
    const std::string small = dir / "small.avi";
    ASSERT_TRUE(testing::Ffmpeg("-f lavfi -i color=c=gray:s=64x48:r=10:d=1 -c:v mjpeg " + small));
    ASSERT_FALSE(HugeVideo(small, dir / "huge.avi").empty());
    const std::string one = dir / "one.png";
    std::ofstream(one, std::ios::binary) << testing::PngOfSize(1, 1);
    // The same picture followed by 300 MB it does not need.
    const std::string longFile = dir / "long.png";
    std::filesystem::copy_file(one, longFile);
    std::filesystem::resize_file(longFile, 300u << 20);
    std::ofstream(dir / "claims.png", std::ios::binary) << testing::PngOfSize(16000, 16000);

    EXPECT_EXIT(std::_Exit(FailuresUnderTheLimit(dir.Path())), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tavrel
