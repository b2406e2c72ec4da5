// How far the sound heard runs from the picture shown, as a viewer samples it: the timeline's
// stepper follows a sound played on the paced null device by the machine's clock, ticks when
// the panel would, and at a random moment between ticks the sound's position is compared with
// the time of the frame on screen. Counters: the median offset and the 95th percentile of its
// size, in milliseconds (sound ahead of the picture is positive).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "media/NullWaveOutDevice.h"
#include "media/RWavePlayback.h"
#include "tests/media/WaveFiles.h"
#include "timeline/PlaybackStepper.h"

namespace {

using namespace tavrel;
using Clock = std::chrono::steady_clock;

constexpr int kLongestTick = 33;  // the panel's longest wait between ticks

std::string SilentWave(uint32_t milliseconds) {
    const auto path = std::filesystem::temp_directory_path() / "tavrel-soundsync-bench.wav";
    std::ofstream(path, std::ios::binary)
        << testing::Wav({1, 1, 48000, 16}, std::string(size_t(milliseconds) * 96, '\0'));
    return path.string();
}

void BM_SoundAgainstPicture(benchmark::State& state) {
    const std::string path = SilentWave(10000);
    std::mt19937 random(34);
    std::vector<double> offsets;
    for (auto _ : state) {
        CRWavePlayback player(std::make_unique<CNullWaveOutDevice>());
        player.Load(path);
        CPlaybackStepper stepper;
        int frame = 0;
        stepper.Start();
        player.SetPosition(0);
        player.Play();
        stepper.SoundStartsAt(0);
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < end) {
            const auto wait =
                std::chrono::milliseconds(stepper.MillisecondsToNextFrame(kLongestTick));
            const auto tick = Clock::now() + wait;
            std::this_thread::sleep_until(
                Clock::now() + std::uniform_real_distribution<double>(0, 1)(random) * wait);
            offsets.push_back(player.GetPosition() - frame * 1000.0 / 60);
            std::this_thread::sleep_until(tick);
            stepper.FollowSound(player.GetPosition());
            const PlaybackStep step = stepper.StepAll(frame, 100000);
            if (step.advanced) frame = step.next;
        }
        player.Stop();
    }
    std::sort(offsets.begin(), offsets.end());
    state.counters["median_ms"] = offsets[offsets.size() / 2];
    for (double& offset : offsets) offset = std::abs(offset);
    std::sort(offsets.begin(), offsets.end());
    state.counters["p95_ms"] = offsets[offsets.size() * 95 / 100];
    state.counters["samples"] = double(offsets.size());
}
BENCHMARK(BM_SoundAgainstPicture)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
