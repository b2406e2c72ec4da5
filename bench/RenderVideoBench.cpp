// render-video as tavrel-cli runs it, in process: a 297-frame timeline with a picture behind
// and a sound track, encoded at 640x360. The counter is output frames a second.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/Commands.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 297;

void WriteSilence(const std::string& path, int seconds) {
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t data = 44100u * 4 * seconds;
    out << "RIFF";
    u32(36 + data);
    out << "WAVEfmt ";
    u32(16), u16(1), u16(2), u32(44100), u32(44100 * 4), u16(4), u16(16);
    out << "data";
    u32(data);
    out << std::string(data, '\0');
}

void BM_RenderVideo640x360(benchmark::State& state) {
    setenv("TAVREL_HOME", TAVREL_SHARE_DIR, 1);
    const fs::path folder =
        fs::temp_directory_path() / ("tavrel-bench-video-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    fs::copy_file(TAVREL_SHARE_DIR "/Motion/Locomotion/walk.cha", folder / "walk.cha",
                  fs::copy_options::overwrite_existing);
    WriteSilence(folder / "tune.wav", 6);
    std::ofstream(folder / "p.tvp") << "D,bench\n3\nM,0,98,10,10,0,0,walk.cha,0,98,0,0,0,*\n"
                                       "M,99,197,10,10,0,1,walk.cha,0,98,0,0,0,*\n"
                                       "M,198,296,10,10,0,2,walk.cha,0,98,0,0,0,*\n"
                                       "0\nS,tune.wav\nI,0\n";
    for (auto _ : state) {
        std::ostringstream out, err;
        const int code = tavrel::cli::RunTool({"tavrel-cli", "render-video", (folder / "p.tvp"),
                                               "-o", (folder / "v.mp4"), "--size", "640x360"},
                                              out, err);
        if (code != 0) state.SkipWithError(err.str().c_str());
    }
    state.counters["frames/s"] =
        benchmark::Counter(double(kFrames) * state.iterations(), benchmark::Counter::kIsRate);
    std::error_code error;
    fs::remove_all(folder, error);
}
BENCHMARK(BM_RenderVideo640x360)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
