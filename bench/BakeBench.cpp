// Bake: a whole timeline of 18000 frames written as one motion file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "RKWindow/TimelineBake.h"
#include "ZU2/rkNode.h"
#include "motion/AnimFileFactory.h"
#include "motion/Chtr.h"
#include "motion/MotionManager.h"

namespace {

using namespace tavrel;
namespace fs = std::filesystem;

constexpr int kClips = 30;
constexpr int kClipLength = 600;  // 30 touching clips fill 18000 frames

// A motion on the standard skeleton whose root walks and whose thigh turns.
void WriteMotion(const std::string& path) {
    auto record = CreateAnimFile(nullptr, kTypeCHB, 1);
    CHTR pose(rkCloneNode(record->GetFrame(0)));
    for (int k = 0; k < kClipLength; ++k) {
        pose.GetRoot()->local.m[12] = float(k);
        rkRotateNode(rkFindNode(pose.GetRoot(), "LThigh"), 0, 0.01f);
        record->SetFrame(pose.GetRoot(), k);
    }
    record->WriteAs(path.c_str(), 1);
}

void BM_Bake18000Frames(benchmark::State& state) {
    const fs::path folder =
        fs::temp_directory_path() / ("tavrel-bench-bake-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    CTimelineProject project;
    for (int i = 0; i < kClips; ++i) {
        MotionClip clip;
        clip.fileName = (folder / ("clip" + std::to_string(i % 4) + ".chb")).string();
        if (i < 4) WriteMotion(clip.fileName);
        clip.SetFrames(i * kClipLength, (i + 1) * kClipLength - 1);
        clip.SetDefaultTransitions();
        clip.sourceLast = kClipLength - 1;
        project.motionClips.InsertSorted(clip);
    }
    const std::string out = (folder / "baked.chb").string();
    for (auto _ : state) {
        CMotionManager manager;  // a cold cache, as a fresh bake meets it
        const BakeOutcome outcome = BakeTimeline(project, manager, "", out);
        if (!outcome.ok || outcome.frames != kClips * kClipLength)
            state.SkipWithError("bake failed");
    }
    std::error_code error;
    fs::remove_all(folder, error);
}
BENCHMARK(BM_Bake18000Frames)->Unit(benchmark::kMillisecond);

}  // namespace
