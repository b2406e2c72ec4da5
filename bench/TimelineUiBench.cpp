// Repainting the motion track with 1000 clips, the whole timeline shown at once.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "settings/StringTable.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/ObjectGrid.h"
#include "timeline/ui/TimelinePanel.h"

namespace {

using namespace tavrel;
namespace fs = std::filesystem;

// Painting never asks the motion side or the user anything.
struct NoMotion : CMotionSide {
    void Forget(const std::string&) override {}
    int FrameCount(const std::string&) override { return -1; }
    bool NeedsConversion(const std::string&, int) override { return false; }
    bool Convert(const std::string&, const std::string&, int, ImportNotes*,
                 const std::string&) override {
        return false;
    }
    bool Split(const std::string&, int, const std::string&, const std::string&) override {
        return false;
    }
    bool Resample(const std::string&, int, const std::string&, SpeedCurve) override {
        return false;
    }
    bool Reverse(const std::string&, const std::string&) override { return false; }
    bool Align(const std::string&, int, const std::string&, const std::string&,
               const std::string&) override {
        return false;
    }
    bool RotateSegment(const std::string&, const std::string&, const SegmentRotation&, bool,
                       const std::string&) override {
        return false;
    }
    bool WritePoseClip(int, const std::string&) override { return false; }
};

struct NoDecisions : CUserDecisions {
    OverlapChoice AskOverlap(int, bool) override { return OverlapChoice::kCancel; }
    std::optional<std::string> AskPasteName(int, const std::string&) override { return {}; }
};

// 1000 clips of 17 frames with a gap of one frame: transitions between all of them.
CTimelineProject ThousandClips() {
    CTimelineProject project;
    for (int i = 0; i < 1000; ++i) {
        MotionClip clip;
        clip.fileName = "/nowhere/clip" + std::to_string(i) + ".chb";
        clip.SetFrames(i * 18, i * 18 + 16);
        clip.SetDefaultTransitions();
        clip.curveType = uint32_t(i % 4);
        project.motionClips.InsertSorted(clip);
    }
    return project;
}

void BM_RepaintMotionTrackOverview(benchmark::State& state) {
    const fs::path folder =
        fs::temp_directory_path() / ("tavrel-bench-ui-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    NoMotion motion;
    NoDecisions decisions;
    Message failure;
    auto wd =
        CWorkingDirectory::Create(folder.string(), CStringTable::BuiltIn().Lookup(), &failure);
    if (!wd) {
        state.SkipWithError("no working directory");
        return;
    }
    {
        auto model = std::make_unique<CTimelineModel>(motion, decisions, *wd);
        model->NewProject(ThousandClips());
        CTimelinePanel panel(std::move(model), {});
        panel.resize(1290, 190);
        panel.show();
        panel.RunCommand(commands::kOverview);
        for (auto _ : state) {
            benchmark::DoNotOptimize(panel.Grid().RenderImage().constBits());
        }
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_RepaintMotionTrackOverview)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const fs::path runtime =
        fs::temp_directory_path() / ("tavrel-ui-" + std::to_string(::getuid()));
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
