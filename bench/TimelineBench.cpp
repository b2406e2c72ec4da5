// The timeline: evaluating a frame, an edit with its undo snapshot, opening a project.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "motion/Motion.h"
#include "motion/MotionManager.h"
#include "settings/StringTable.h"
#include "timeline/FrameSample.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"

namespace {

using namespace tavrel;
namespace fs = std::filesystem;

constexpr int kClips = 1000;
constexpr int kClipLength = 17;  // 1000 clips with gaps fill most of the 18000 frames

std::string MakeBenchFolder() {
    const fs::path path =
        fs::temp_directory_path() / ("tavrel-bench-timeline-" + std::to_string(::getpid()));
    fs::create_directories(path);
    return path.string();
}

// Removed when the program ends (it outlives the benchmarks, being made before them).
const std::string gBenchFolder = MakeBenchFolder();
struct Cleanup {
    ~Cleanup() {
        std::error_code error;
        fs::remove_all(gBenchFolder, error);
    }
} gCleanup;

const std::string& BenchFolder() { return gBenchFolder; }

// Touching clips of kClipLength frames with the default transitions.
CTimelineProject MakeProject(int clips) {
    CTimelineProject project;
    for (int i = 0; i < clips; ++i) {
        MotionClip clip;
        clip.fileName = BenchFolder() + "/clip" + std::to_string(i) + ".chb";
        clip.SetFrames(i * (kClipLength + 1), i * (kClipLength + 1) + kClipLength - 1);
        clip.SetDefaultTransitions();
        clip.sourceLast = kClipLength - 1;
        project.motionClips.InsertSorted(clip);
    }
    return project;
}

class NoDecisions : public CUserDecisions {
public:
    OverlapChoice AskOverlap(int, bool) override { return OverlapChoice::kCancel; }
    std::optional<std::string> AskPasteName(int, const std::string&) override { return {}; }
};

// A model with its own working directory and the real motion side.
struct Timeline {
    Timeline()
        : workingDirectory(*CWorkingDirectory::Create(BenchFolder(),
                                                      CStringTable::BuiltIn().Lookup(), nullptr)),
          model(side, decisions, workingDirectory) {}
    CMotionManager manager;
    CMotionManagerSide side{manager};
    NoDecisions decisions;
    CWorkingDirectory workingDirectory;
    CTimelineModel model;
};

void BM_GetFrameSample(benchmark::State& state) {
    const CTimelineProject project = MakeProject(kClips);
    const int frames = project.LastFrame() + 1;
    int frame = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetFrameSample(&project, frame));
        frame = (frame + 7) % frames;  // every kind of frame: inside clips, zones, gaps
    }
}
BENCHMARK(BM_GetFrameSample);

// The frame the colleague asks for most: the last clip's, which the walk reaches last.
void BM_GetFrameSampleAtTheEnd(benchmark::State& state) {
    const CTimelineProject project = MakeProject(kClips);
    for (auto _ : state) {
        benchmark::DoNotOptimize(GetFrameSample(&project, project.LastFrame() - 8));
    }
}
BENCHMARK(BM_GetFrameSampleAtTheEnd);

void BM_CopyProjectSnapshot(benchmark::State& state) {
    const CTimelineProject project = MakeProject(kClips);
    for (auto _ : state) {
        CTimelineProject copy = project;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyProjectSnapshot);

// A move (kind 5) of a clip in the middle of 1000 clips, then its undo: each keeps a full
// snapshot of the project, so the undo list stays short while the benchmark runs.
void BM_MoveAndUndo(benchmark::State& state) {
    Timeline timeline;
    timeline.model.NewProject(MakeProject(kClips));
    const int position = kClips / 2;
    const int first = timeline.model.ClipAtPosition(position)->firstFrame;
    for (auto _ : state) {
        if (!timeline.model.MoveClip(position, first + 1).done) state.SkipWithError("refused");
        timeline.model.Undo();
    }
}
BENCHMARK(BM_MoveAndUndo);

// Opening a project file of 100 clips over 10 motion files of 60 frames: every file is copied
// into the working directory and read once for its frame count.
void BM_OpenProject100(benchmark::State& state) {
    const std::string folder = BenchFolder() + "/project";
    fs::create_directories(folder);
    for (int i = 0; i < 10; ++i) {
        CMotion motion;
        std::unique_ptr<CHTR> pose = motion.GetPose(0);
        for (int k = 0; k < 60; ++k) {
            MoveRoot(*pose, float(k + i), 0, 0, 1);
            motion.SetPose(k, *pose);
        }
        motion.Save(folder + "/walk" + std::to_string(i) + ".chb");
    }
    std::ofstream file(folder + "/p.tvp");
    file << "D,bench\n100\n";
    for (int i = 0; i < 100; ++i) {
        file << "M," << i * 60 << ',' << i * 60 + 59 << ",5,5,0,0,walk" << i % 10
             << ".chb,0,59,0,0,0,*\n";
    }
    file << "0\nS,none\nI,0\n";
    file.close();

    Timeline timeline;
    for (auto _ : state) {
        const auto messages = timeline.model.OpenProject(folder + "/p.tvp");
        if (!messages.empty() || timeline.model.Project().motionClips.Count() != 100) {
            state.SkipWithError("project not read");
        }
        state.PauseTiming();
        timeline.model.NewProject(CTimelineProject());  // empties the working directory
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenProject100)->Unit(benchmark::kMillisecond);

}  // namespace
