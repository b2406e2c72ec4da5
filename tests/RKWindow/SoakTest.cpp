// A long play: a timeline of clips blending into each other over a video background, with sound
// playing on a null device, shown frame by frame through the 3D window. Memory must settle:
// after the first minute of play, resident memory stays where it was. Run under
// AddressSanitizer, the leak check at exit covers the rest. TAVREL_SOAK_FRAMES sets the
// timeline's length (the short default suits every test run; `make soak` plays 18000).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "../media/MediaFixtures.h"
#include "../media/WaveFiles.h"
#include "../motion/MotionFiles.h"
#include "RKWindow/RKWindow.h"
#include "media/NullWaveOutDevice.h"
#include "media/RWaveOut.h"
#include "support/GlFixture.h"
#include "tests/support/TempFolder.h"

namespace tavrel::test {
namespace {

constexpr int kClipLength = 60;
constexpr int kTransition = 10;
constexpr int kFramesPerMinute = 30 * 60;
constexpr int kVideoFrames = 50;

int SoakFrames() {
    const char* text = std::getenv("TAVREL_SOAK_FRAMES");
    const int frames = text ? std::atoi(text) : 1900;
    return std::clamp(frames, kFramesPerMinute + kClipLength, CRKWindow::kMaxFrames);
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// Frame f of a timeline of 60-frame clips alternating between two motions, each blending into
// the next over its last ten frames, with the video's frames behind.
FrameSample SampleAt(int f, const std::string& a, const std::string& b, const std::string& video) {
    const int clip = f / kClipLength;
    const int local = f % kClipLength;
    const std::string& mine = clip % 2 ? b : a;
    const std::string& next = clip % 2 ? a : b;
    FrameSample s;
    s.frame = f;
    s.fileA = mine;
    s.localA = local % 10;
    s.clipFile = mine;
    if (local >= kClipLength - kTransition) {
        s.fileB = next;
        s.localB = local - (kClipLength - kTransition);
        s.clipFile = next;
        s.weight = float(s.localB + 1) / float(kTransition + 1);
        s.curve = CurveType(clip % 8);
    }
    s.mediaFile = video;
    s.mediaFrame = f % kVideoFrames;
    return s;
}

TEST(Soak, ALongPlayKeepsItsMemory) {
    rkEglHost* host = SharedHost();
    ASSERT_NE(host, nullptr) << "no EGL surfaceless context";
    if (!testing::HaveFfmpeg()) GTEST_SKIP() << "the ffmpeg command is needed for the video";
    tavrel::testing::TempFolder folder;
    const std::string a = folder / "a.chb", b = folder / "b.chb", video = folder / "v.avi";
    tavrel::testing::WriteStandardMotion(a, 10);
    tavrel::testing::WriteStandardMotion(b, 20);
    ASSERT_TRUE(testing::Ffmpeg("-f lavfi -i testsrc=size=32x24:rate=25:duration=2 -c:v mjpeg '" +
                                video + "'"));
    const std::string sound = folder.Write(
        "s.wav", tavrel::testing::Wav({1, 1, 8000, 16}, tavrel::testing::Samples(8000 * 2 * 3)));

    CMotionManager manager;
    CRKWindow window(manager, TAVREL_SHARE_DIR);
    ASSERT_TRUE(window.Initialise(host, 96, 128));
    CRWaveOut player(std::make_unique<CNullWaveOutDevice>());
    ASSERT_TRUE(player.Load(sound));

    const int frames = SoakFrames();
    // Twice over the timeline: the first pass fills the display motion's frames.
    size_t settled = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (int f = 0; f < frames; ++f) {
            if (!player.IsPlaying()) {
                ASSERT_TRUE(player.Play());
            }
            ASSERT_EQ(window.ShowFrameSample(SampleAt(f, a, b, video), 0), 1) << f;
            ASSERT_EQ(window.ShowCurrentFrame(), 1) << f;
            if (pass == 1 && f == kFramesPerMinute) settled = ResidentBytes();
            if (f % kFramesPerMinute == 0) {
                std::printf("pass %d, minute %d: %zu KiB resident\n", pass, f / kFramesPerMinute,
                            ResidentBytes() / 1024);
            }
        }
    }
    player.Stop();
    // Allocators keep some slack; a leak per frame would add far more over these frames.
    EXPECT_LT(ResidentBytes(), settled + 16 * 1024 * 1024)
        << "resident memory grew from " << settled << " bytes";
}

}  // namespace
}  // namespace tavrel::test
