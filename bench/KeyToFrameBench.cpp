// From a key press in the timeline to the avatar's new frame drawn: Right (or Left) goes to the
// panel as a key event, the panel hands the frame's sample on, and the 3D window shows it at
// 800x600 (headless, read back so the drawing is finished). Two clips cross-fade on the way.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <memory>

#include "RKWindow/RKWindow.h"
#include "ZU2/rkDevice.h"
#include "ZU2/rkEglHost.h"
#include "settings/StringTable.h"
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

void BM_KeyPressToFrameDrawn(benchmark::State& state) {
    const std::string share = TAVREL_SHARE_DIR;
    const fs::path folder =
        fs::temp_directory_path() / ("tavrel-bench-key-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    {
        CMotionManager manager;
        CMotionManagerSide side(manager);
        Replace decisions;
        Message failure;
        auto wd =
            CWorkingDirectory::Create(folder.string(), CStringTable::BuiltIn().Lookup(), &failure);
        rkEglHost host;
        CRKWindow window(manager, share);
        if (!wd || !host.Create(800, 600) || !window.Initialise(&host, 800, 600)) {
            state.SkipWithError("no working folder or no GL");
            return;
        }
        auto model = std::make_unique<CTimelineModel>(side, decisions, *wd);
        model->NewProject(CTimelineProject());
        model->SetCurrentFrame(0);
        model->AddMotionFile(share + "/Motion/Locomotion/walk.cha");
        model->SetCurrentFrame(model->LastFrame() - 10);  // overlaps the walk's end: a cross-fade
        model->AddMotionFile(share + "/Motion/Locomotion/run.chb");
        const int from = model->LastFrame() / 2 - 40;
        CTimelinePanel panel(std::move(model), {});
        DrawingLink link(window);
        panel.SetColleague(&link);
        panel.resize(1200, 190);
        panel.show();
        panel.SetCurrentFrame(from);
        int step = 0;
        for (auto _ : state) {
            QTest::keyClick(&panel, (step++ / 80) % 2 ? Qt::Key_Left : Qt::Key_Right);
        }
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}
BENCHMARK(BM_KeyPressToFrameDrawn)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
