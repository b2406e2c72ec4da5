// Timeline frames on the avatar and the media behind it: a cross-fade shown and drawn at
// 800 x 600, video frames of a 640 x 480 H.264 file fetched in order and at random, and the
// 50 x 50 picture of a motion from a warm image generator.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "RKWindow/IMImageGenerator.h"
#include "RKWindow/RKWindow.h"
#include "ZU2/rkEglHost.h"
#include "media/RAvi.h"

using namespace tavrel;

namespace {

namespace fs = std::filesystem;

const std::string kData = TAVREL_SHARE_DIR;
const std::string kWalk = kData + "/Motion/Locomotion/walk.cha";
const std::string kWave = kData + "/Motion/Gestures/wave.cha";

// Ten seconds of 640 x 480 H.264 at 30 frames a second, a key frame every two seconds, made
// once per run with the ffmpeg command.
const std::string& Video() {
    static const std::string path = [] {
        const fs::path file = fs::temp_directory_path() / "tavrel-bench-640x480.mp4";
        const std::string command =
            "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=s=640x480:r=30:d=10 -c:v libx264 "
            "-g 60 -pix_fmt yuv420p " +
            file.string();
        return fs::exists(file) || std::system(command.c_str()) == 0 ? file.string()
                                                                     : std::string();
    }();
    return path;
}

void BM_ShowFrameSampleCrossFade800x600(benchmark::State& state) {
    rkEglHost host;
    if (!host.Create(800, 600)) return state.SkipWithError("no GL context");
    tavrel::CMotionManager manager;
    CRKWindow window(manager, kData);
    if (!window.Initialise(&host, 800, 600)) return state.SkipWithError("no device");
    window.presentTarget = &host;  // waits for the frame to be finished
    tavrel::FrameSample sample;
    sample.fileA = sample.clipFile = kWalk;
    sample.fileB = kWave;
    sample.curve = tavrel::kCurveCurve;
    // The fade walks through both motions, each within its own length.
    tavrel::CMotion* walk = manager.GetMotion(kWalk);
    tavrel::CMotion* wave = manager.GetMotion(kWave);
    if (!walk || !wave || walk->GetLength() < 1 || wave->GetLength() < 1)
        return state.SkipWithError("no sample motions");
    const int walkLength = walk->GetLength(), waveLength = wave->GetLength();
    int step = 0;
    for (auto _ : state) {
        sample.frame = step % 60;
        sample.localA = (40 + step % 60) % walkLength;
        sample.localB = step % 60 % waveLength;
        sample.weight = (step % 60) / 59.0f;
        if (!window.ShowFrameSample(sample, 1)) return state.SkipWithError("no pose");
        ++step;
    }
}
BENCHMARK(BM_ShowFrameSampleCrossFade800x600)->Unit(benchmark::kMillisecond);

void BM_VideoFrameSequential640x480(benchmark::State& state) {
    tavrel::CRAvi avi;
    if (Video().empty() || !avi.Load(Video())) return state.SkipWithError("no video");
    int64_t t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(avi.FrameAt(t));
        t = (t + 33) % avi.GetLength();  // one frame on, as playback asks
    }
}
BENCHMARK(BM_VideoFrameSequential640x480)->Unit(benchmark::kMillisecond);

void BM_VideoFrameRandomSeek640x480(benchmark::State& state) {
    tavrel::CRAvi avi;
    if (Video().empty() || !avi.Load(Video())) return state.SkipWithError("no video");
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> time(0, avi.GetLength() - 1);
    for (auto _ : state) benchmark::DoNotOptimize(avi.FrameAt(time(random)));
}
BENCHMARK(BM_VideoFrameRandomSeek640x480)->Unit(benchmark::kMillisecond);

// The same fetch handed out as a picture (what GetFrameAt's callers get).
void BM_VideoFrameAsPicture640x480(benchmark::State& state) {
    tavrel::CRAvi avi;
    if (Video().empty() || !avi.Load(Video())) return state.SkipWithError("no video");
    int64_t t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(avi.GetFrameAt(t));
        t = (t + 33) % avi.GetLength();
    }
}
BENCHMARK(BM_VideoFrameAsPicture640x480)->Unit(benchmark::kMillisecond);

void BM_ThumbnailWarm50x50(benchmark::State& state) {
    CIMImageGenerator generator(kData);
    const int window = 0;
    if (!generator.SetWindow(&window) || !generator.SetImageSize(50, 50))
        return state.SkipWithError("no generator");
    if (!generator.GetImage(kWalk)) return state.SkipWithError("no picture");
    for (auto _ : state) benchmark::DoNotOptimize(generator.GetImage(kWalk));
}
BENCHMARK(BM_ThumbnailWarm50x50)->Unit(benchmark::kMillisecond);

}  // namespace
