// Reading and writing CHA and CHB files of a long motion: 18000 frames of 20 segments.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "AnimRead/CHARead/CHARead.h"
#include "AnimRead/CHBRead/CHBRead.h"

using namespace tavrel;

namespace {

constexpr int kFrames = 18000;

// The generated motion and its two files, made once for all benchmarks.
class LongMotion {
public:
    LongMotion() {
        std::string pattern = (std::filesystem::temp_directory_path() / "animbench-XXXXXX").string();
        folder_ = mkdtemp(pattern.data()) ? pattern : std::string(".");
        motion_ = std::make_unique<CHBREAD>();
        rkNode* root = motion_->GetFrame(0);
        for (int frame = 0; frame < kFrames; ++frame) {
            for (int32_t i = 0; i < motion_->GetSegmentCount(); ++i) {
                rkNode* node = motion_->GetSegment(i)->node;
                for (int e : {0, 1, 2, 4, 5, 6, 8, 9, 10}) {
                    node->local.m[e] = static_cast<float>(std::sin(frame * 0.01 + i + e));
                }
                node->local.m[12] = static_cast<float>(std::cos(frame * 0.003 + i) * 120.0);
                node->local.m[13] = static_cast<float>(std::sin(frame * 0.002 + i) * 80.0);
            }
            motion_->SetFrame(root, frame);
        }
        motion_->WriteAs(Cha().c_str(), 0);
        motion_->WriteAs(Chb().c_str(), 1);
    }
    ~LongMotion() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    ANIMFILE& Motion() { return *motion_; }
    std::string Cha() const { return folder_ + "/long.cha"; }
    std::string Chb() const { return folder_ + "/long.chb"; }
    std::string Out() const { return folder_ + "/out"; }

private:
    std::string folder_;
    std::unique_ptr<ANIMFILE> motion_;
};

LongMotion& Shared() {
    static LongMotion motion;
    return motion;
}

int64_t SizeOf(const std::string& path) {
    return static_cast<int64_t>(std::filesystem::file_size(path));
}

void BM_ChaRead(benchmark::State& state) {
    const std::string path = Shared().Cha();
    for (auto _ : state) {
        CHAREAD motion(path.c_str(), 1);
        benchmark::DoNotOptimize(motion.GetSegment(0)->frames.data());
    }
    state.SetBytesProcessed(state.iterations() * SizeOf(path));
}

void BM_ChbRead(benchmark::State& state) {
    const std::string path = Shared().Chb();
    for (auto _ : state) {
        CHBREAD motion(path.c_str(), 1);
        benchmark::DoNotOptimize(motion.GetSegment(0)->frames.data());
    }
    state.SetBytesProcessed(state.iterations() * SizeOf(path));
}

void BM_ChaWrite(benchmark::State& state) {
    LongMotion& shared = Shared();
    for (auto _ : state) shared.Motion().WriteAs(shared.Out().c_str(), 0);
    state.SetBytesProcessed(state.iterations() * SizeOf(shared.Out()));
}

void BM_ChbWrite(benchmark::State& state) {
    LongMotion& shared = Shared();
    for (auto _ : state) shared.Motion().WriteAs(shared.Out().c_str(), 1);
    state.SetBytesProcessed(state.iterations() * SizeOf(shared.Out()));
}

}  // namespace

BENCHMARK(BM_ChaRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChbRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChaWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChbWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
