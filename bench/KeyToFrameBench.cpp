// From a key press in the timeline to the avatar's new frame drawn: Right (or Left) goes to the
// panel as a key event, the panel hands the frame's sample on, and the 3D window shows it at
// 800x600 (headless, read back so the drawing is finished). Two clips cross-fade on the way.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <memory>
#include <optional>

#include "RKWindow/RKWindow.h"
#include "ZU2/rkDevice.h"
#include "ZU2/rkEglHost.h"
#include "compose/PoseEvaluator.h"
#include "settings/StringTable.h"
#include "tests/support/CountingAllocator.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelinePanel.h"

namespace {

using namespace tavrel;
namespace fs = std::filesystem;

struct Replace : CUserDecisions {
    OverlapChoice AskOverlap(int, bool) override { return OverlapChoice::kShift; }
    std::optional<std::string> AskPasteName(int, const std::string&) override { return {}; }
};

// The 3D window's side of the colleague: every sample drawn and finished.
struct DrawingLink : CTimelineColleagueLink {
    explicit DrawingLink(CRKWindow& w) : window(w) {}
    void ShowFrameSample(const FrameSample& sample) override {
        window.ShowFrameSample(sample, 1);
        uint32_t pixel = 0;
        rkReadPixel(400, 300, &pixel);
        benchmark::DoNotOptimize(pixel);
    }
    void StillPoseChanged(bool) override {}
    void ShowClip(const std::string&) override {}
    void Request(int, const std::string&) override {}
    CRKWindow& window;
};

// A timeline in a working folder of its own (removed at the end): the walk, then the run
// cross-fading over the walk's last 10 frames.
struct WalkIntoRun {
    explicit WalkIntoRun(const std::string& name)
        : folder(fs::temp_directory_path() / (name + std::to_string(::getpid()))) {
        fs::create_directories(folder);
        Message failure;
        wd = CWorkingDirectory::Create(folder.string(), CStringTable::BuiltIn().Lookup(), &failure);
    }
    ~WalkIntoRun() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // The model, or null without a working folder or a cross-fade; fadeFrom is its first frame.
    std::unique_ptr<CTimelineModel> Build(int* fadeFrom) {
        if (!wd) return nullptr;
        auto model = std::make_unique<CTimelineModel>(side, decisions, *wd);
        model->NewProject(CTimelineProject());
        model->SetCurrentFrame(0);
        model->AddMotionFile(share + "/Motion/Locomotion/walk.cha");
        *fadeFrom = model->LastFrame() - 10;
        model->SetCurrentFrame(model->LastFrame() + 1);
        model->AddMotionFile(share + "/Motion/Locomotion/run.chb");
        const bool fades =
            model->MoveClip(0, *fadeFrom).done && model->GetFrameSample(*fadeFrom + 5).localB >= 0;
        return fades ? std::move(model) : nullptr;
    }

    const std::string share = TAVREL_SHARE_DIR;
    fs::path folder;
    CMotionManager manager;
    CMotionManagerSide side{manager};
    Replace decisions;
    std::optional<CWorkingDirectory> wd;
};

void BM_KeyPressToFrameDrawn(benchmark::State& state) {
    WalkIntoRun timeline("tavrel-bench-key-");
    rkEglHost host;
    CRKWindow window(timeline.manager, timeline.share);
    int fadeFrom = 0;
    auto model = timeline.Build(&fadeFrom);
    if (!model || !host.Create(800, 600) || !window.Initialise(&host, 800, 600)) {
        state.SkipWithError("no working folder, no cross-fade or no GL");
        return;
    }
    CTimelinePanel panel(std::move(model), {});
    DrawingLink link(window);
    panel.SetColleague(&link);
    panel.resize(1200, 190);
    panel.show();
    // Stepping 80 frames each way from 40 frames before the cross-fade.
    panel.SetCurrentFrame(fadeFrom - 40);
    int step = 0;
    for (auto _ : state) {
        QTest::keyClick(&panel, (step++ / 80) % 2 ? Qt::Key_Left : Qt::Key_Right);
    }
}
BENCHMARK(BM_KeyPressToFrameDrawn)->Unit(benchmark::kMillisecond);

// The frame's pose alone, through the walk's cross-fade into the run: the plain mix (0), the
// mix that places the clips and holds their feet (1), and that mix when every frame is the first
// shown of its blend (2: the held feet of all the blend's frames are made anew, as when the user
// jumps from blend to blend), and the held mix through an inertial blend (3). Held costs at most
// 0.5 ms more a frame. The counter is the
// allocations the evaluation makes a frame (the sample itself is made outside it).
void BM_FrameEvaluationThroughAFade(benchmark::State& state) {
    WalkIntoRun timeline("tavrel-bench-mix-");
    int fadeFrom = 0;
    const auto model = timeline.Build(&fadeFrom);
    if (!model) {
        state.SkipWithError("no working folder or no cross-fade");
        return;
    }
    const MixMode mode = state.range(0) ? MixMode::kHoldFeet : MixMode::kPlain;
    const bool inertial = state.range(0) == 3;
    CPoseEvaluator evaluator(timeline.manager, timeline.share + "/Init.chb");
    CHTR pose;
    evaluator.Evaluate(model->GetFrameSample(fadeFrom), pose, mode);
    int step = 0;
    long long made = 0;
    for (auto _ : state) {
        FrameSample sample = model->GetFrameSample(fadeFrom + step++ % 11);
        // Another place is another blend to the held feet.
        if (state.range(0) == 2) sample.placeB.ground.x += float(step % 2);
        if (inertial) sample.curve = kCurveInertial;
        const long long before = testing::AllocationCount();
        benchmark::DoNotOptimize(evaluator.Evaluate(sample, pose, mode));
        made += testing::AllocationCount() - before;
    }
    state.counters["allocations"] =
        benchmark::Counter(double(made), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FrameEvaluationThroughAFade)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The frame's pose through the cross-fade (held feet) under no layers (0) and under 4 layers of 2
// clips each (4): on two layers an additive wave and an upper-body override clap lie over the
// fade, on two a key clip does (three segments keyed), and each layer's other clip lies after
// it. The layers cost at most 0.2 ms more a frame.
void BM_FrameEvaluationUnderLayers(benchmark::State& state) {
    WalkIntoRun timeline("tavrel-bench-layers-");
    int fadeFrom = 0;
    const auto model = timeline.Build(&fadeFrom);
    if (!model) {
        state.SkipWithError("no working folder or no cross-fade");
        return;
    }
    const std::string gestures = timeline.share + "/Motion/Gestures/";
    for (int layer = 0; layer < state.range(0); ++layer) {
        model->AddLayer();
        const int from = fadeFrom - 20;
        const bool keys = layer >= 2;
        if (keys) {
            for (int k = 0; k < 3; ++k) {
                model->SetKey(layer, from + 10 + k * 5, kLLowArm + k, {0.9f, 0.3f, 0.1f, 0.0f});
            }
        } else {
            model->AddLayerClip(layer, gestures + (layer ? "clap.cha" : "wave.cha"), from,
                                layer ? LayerMode::kOverride : LayerMode::kAdditive);
            if (layer) model->SetLayerClipMask(layer, 0, kBodyMaskPresets[1].mask);
        }
        model->SetLayerClipWeight(layer, 0, 0.8f, 5, 5, kCurveEaseIn);
        const int after = model->Layers().tracks[layer].clips[0].lastFrame + 1;
        model->AddLayerClip(layer, gestures + "bow.chb", after);
    }
    int covered = 0;
    for (const LayerTrack& track : model->Layers().tracks) {
        covered += track.clips.size() == 2 && track.ClipAt(fadeFrom) && track.ClipAt(fadeFrom + 10);
    }
    if (covered != state.range(0)) {
        state.SkipWithError("the layers do not lie over the fade");
        return;
    }
    CPoseEvaluator evaluator(timeline.manager, timeline.share + "/Init.chb");
    CHTR pose;
    evaluator.Evaluate(model->GetFrameSample(fadeFrom), pose);
    int step = 0;
    long long made = 0;
    for (auto _ : state) {
        const FrameSample sample = model->GetFrameSample(fadeFrom + step++ % 11);
        const long long before = testing::AllocationCount();
        benchmark::DoNotOptimize(evaluator.Evaluate(sample, pose));
        made += testing::AllocationCount() - before;
    }
    state.counters["allocations"] =
        benchmark::Counter(double(made), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FrameEvaluationUnderLayers)->Arg(0)->Arg(4)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
