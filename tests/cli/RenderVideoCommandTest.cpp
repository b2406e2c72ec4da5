// tavrel-cli render-video: the encoded file, probed with ffprobe, and what is left on disk when
// an export cannot finish.
#include <gtest/gtest.h>
#include <stdio.h>

#include <cmath>
#include <filesystem>

#include "../motion/MotionFiles.h"
#include "RKWindow/TimelineVideo.h"
#include "ToolRun.h"
#include "ZU2/rkEglHost.h"
#include "cli/OpenedProject.h"
#include "media/RWave.h"
#include "media/VideoWriter.h"
#include "tests/media/WaveFiles.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;
using tavrel::testing::TempDir;
using tavrel::testing::WriteStandardMotion;
using tavrel::testing::WriteText;
using testing::Has;
using testing::Result;
using testing::Tool;

// A WAV file of 16-bit samples, every channel of frame i holding value(i).
void WriteWave(const std::string& path, int rate, int channels, int frames, int16_t (*value)(int)) {
    std::string data;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) data += tavrel::testing::Le16(uint16_t(value(i)));
    }
    WriteText(path, tavrel::testing::Wav({1, uint16_t(channels), uint32_t(rate), 16}, data));
}

int16_t Tone(int i) {
    return int16_t(8000 * std::sin(i * 0.06));
}

// What ffprobe says of the file: "codec_type=... nb_frames=..." lines and the duration.
std::string Probe(const std::string& path) {
    const std::string command =
        "ffprobe -v error -count_frames -show_entries "
        "stream=codec_type,nb_read_frames:format=duration -of "
        "default=noprint_wrappers=1 '" +
        path + "' 2>&1";
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
        pclose(pipe);
    }
    return text;
}

double Duration(const std::string& probe) {
    const auto at = probe.find("duration=");
    return at == std::string::npos ? -1.0 : std::atof(probe.c_str() + at + 9);
}

bool NoTemporaryFiles(const TempDir& dir) {
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        if (entry.path().filename().string().find(".part-") != std::string::npos) return false;
    return true;
}

class RenderVideo : public ::testing::Test {
protected:
    RenderVideo() {
        setenv("TAVREL_HOME", TAVREL_SHARE_DIR, 1);
        WriteStandardMotion(dir / "a.chb", 40);
        WriteWave(dir / "tune.wav", 22050, 1, 22050 * 2, Tone);
        WriteText(dir / "p.tvp",
                  "D,demo\n1\nM,0,39,5,5,0,0,a.chb,0,39,0,0,0,*\n0\nS,tune.wav\nI,0\n");
    }
    ~RenderVideo() override { unsetenv("TAVREL_HOME"); }
    TempDir dir;
};

TEST_F(RenderVideo, TheVideoHoldsEveryFrameAtSixtyAndTheSound) {
    if (std::system("ffprobe -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
    const Result r = Tool({"render-video", dir / "p.tvp", "-o", dir / "v.mp4", "--size", "96x64"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Has(r.out, "40 frames at 60 fps, 96x64")) << r.out;
    EXPECT_TRUE(Has(r.out, "with sound"));
    EXPECT_TRUE(Has(r.err, "rendering frame 40 of 40 (100%)")) << r.err;
    const std::string probe = Probe(dir / "v.mp4");
    EXPECT_TRUE(Has(probe, "codec_type=video\nnb_read_frames=40\n")) << probe;
    EXPECT_TRUE(Has(probe, "codec_type=audio")) << probe;
    // 40 frames are two thirds of a second; the sound encoder may pad its last block.
    EXPECT_NEAR(Duration(probe), 40 / 60.0, 0.06) << probe;

    // A part of the timeline, without sound when the project has none.
    WriteText(dir / "q.tvp", "D,demo\n1\nM,0,39,5,5,0,0,a.chb,0,39,0,0,0,*\n0\nS,none\nI,0\n");
    const Result part = Tool({"render-video", dir / "q.tvp", "-o", dir / "w.mkv", "--size", "32x32",
                              "--from", "10", "--to", "21", "--camera", "left"});
    ASSERT_EQ(part.code, kExitOk) << part.err;
    const std::string partProbe = Probe(dir / "w.mkv");
    EXPECT_TRUE(Has(partProbe, "nb_read_frames=12\n")) << partProbe;
    EXPECT_FALSE(Has(partProbe, "codec_type=audio")) << partProbe;
    EXPECT_NEAR(Duration(partProbe), 12 / 60.0, 0.03) << partProbe;
    EXPECT_TRUE(NoTemporaryFiles(dir));
}

TEST_F(RenderVideo, RefusalsLeaveNoFileAndTouchNothing) {
    const std::string project = tavrel::testing::ReadBytes(dir / "p.tvp");
    EXPECT_EQ(Tool({"render-video", dir / "p.tvp"}).code, kExitUsage);
    EXPECT_EQ(Tool({"render-video", dir / "p.tvp", "-o", dir / "v.mp4", "--size", "33x32"}).code,
              kExitUsage);
    EXPECT_EQ(
        Tool({"render-video", dir / "p.tvp", "-o", dir / "v.mp4", "--from", "9", "--to", "3"}).code,
        kExitUsage);
    EXPECT_EQ(Tool({"render-video", dir / "p.tvp", "-o", dir / "p.tvp"}).code, kExitFailed);
    EXPECT_EQ(Tool({"render-video", dir / "p.tvp", "-o", dir / "v.mp4", "--from", "40"}).code,
              kExitFailed);  // past the last frame
    EXPECT_EQ(Tool({"render-video", dir / "p.tvp", "-o", dir / "v.unknownformat"}).code,
              kExitFailed);
    EXPECT_EQ(Tool({"render-video", dir / "p.tvp", "-o", dir / "none/v.mp4"}).code, kExitFailed);
    EXPECT_EQ(tavrel::testing::ReadBytes(dir / "p.tvp"), project);
    EXPECT_FALSE(fs::exists(dir / "v.mp4"));
    EXPECT_TRUE(NoTemporaryFiles(dir));
}

TEST_F(RenderVideo, ACancelledExportLeavesNoPartialFile) {
    OpenedProject project;
    ASSERT_TRUE(project.Open(dir / "p.tvp").empty());
    rkEglHost host;
    ASSERT_TRUE(host.Create(32, 32));
    CRKWindow window(project.Manager(), TAVREL_SHARE_DIR);
    ASSERT_TRUE(window.Initialise(&host, 32, 32));
    WriteText(dir / "old.mp4", "an older video");
    VideoExport job;
    job.out = dir / "old.mp4";
    job.width = job.height = 32;
    int calls = 0;
    const VideoOutcome outcome =
        RenderTimelineVideo(window, project.Model().Project(), job, [&](int done, int total) {
            ++calls;
            EXPECT_EQ(total, 40);
            return done < 5;
        });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(tavrel::testing::ReadBytes(dir / "old.mp4"), "an older video");
    EXPECT_TRUE(NoTemporaryFiles(dir));
}

TEST(WaveAsFloat, ConvertsResamplesAndSpreadsChannels) {
    TempDir dir;
    WriteWave(dir / "ramp.wav", 8000, 1, 800, [](int i) { return int16_t(i * 40); });
    CRWave wave;
    ASSERT_TRUE(wave.LoadWaveFile(dir / "ramp.wav"));
    const std::vector<float> same = WaveAsFloat(wave, 8000, 1);
    ASSERT_EQ(same.size(), 800u);
    EXPECT_FLOAT_EQ(same[100], 4000 / 32768.0f);
    // Twice the rate: twice the samples, the new ones halfway between; mono doubled.
    const std::vector<float> up = WaveAsFloat(wave, 16000, 2);
    ASSERT_EQ(up.size(), 1600u * 2);
    EXPECT_FLOAT_EQ(up[2 * 201], (4000 + 4040) / 2 / 32768.0f);
    EXPECT_FLOAT_EQ(up[2 * 201 + 1], up[2 * 201]);
    EXPECT_TRUE(WaveAsFloat(CRWave(), 8000, 1).empty());
}

}  // namespace
}  // namespace tavrel::cli
