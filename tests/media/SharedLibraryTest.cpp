// Libraries opened when first needed: what is missing is reported, never called.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <string>

#include "base/DebugOutput.h"
#include "media/FfmpegLibrary.h"
#include "media/MagickLibrary.h"
#include "base/SharedLibrary.h"

namespace tavrel {
namespace {

bool Mapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(name) != std::string::npos) return true;
    }
    return false;
}

TEST(SharedLibrary, FindsFunctionsAndReportsWhatIsMissing) {
    DebugCapture debug;
    SharedLibrary missing({"libtavrel-no-such-library.so.1"});
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_TRUE(debug.Contains("SharedLibrary: cannot load libtavrel-no-such-library.so.1"));

    SharedLibrary zlib({"libz.so.1"});
    ASSERT_TRUE(zlib.IsOpen());
    decltype(&::zlibVersion) version = nullptr;
    ASSERT_TRUE(zlib.Find("zlibVersion", &version));
    EXPECT_STREQ(version(), zlibVersion());
    decltype(&::zlibVersion) absent = version;
    EXPECT_FALSE(zlib.Find("tavrel_no_such_function", &absent));
    EXPECT_EQ(absent, nullptr);
    EXPECT_TRUE(debug.Contains("SharedLibrary: no function tavrel_no_such_function"));

    // One missing file of several makes the set unusable, though the others open.
    SharedLibrary partly({"libz.so.1", "libtavrel-no-such-library.so.1"});
    EXPECT_FALSE(partly.IsOpen());
}

// The video library is mapped only once a video is wanted, and then whole.
TEST(SharedLibrary, FfmpegIsLoadedOnFirstUseOnly) {
    if (Mapped("libavformat")) GTEST_SKIP() << "this test program was linked with FFmpeg";
    const FfmpegLibrary* ffmpeg = Ffmpeg();
    ASSERT_NE(ffmpeg, nullptr);
    EXPECT_TRUE(Mapped("libavformat"));
    EXPECT_NE(ffmpeg->sws_scale, nullptr);
    EXPECT_EQ(Ffmpeg(), ffmpeg);
    ASSERT_NE(Magick(), nullptr);
    EXPECT_NE(Magick()->SplitImageList, nullptr);
}

}  // namespace
}  // namespace tavrel
