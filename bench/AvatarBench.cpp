// The avatar and its world: loading avatar.scx, building the world, drawing it at 800 x 600,
// drawing one 50 x 50 thumbnail of a motion from a cold and from a warm world, and the walk
// drawn with four ghosts before and four after, still and as it plays.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "RKWindow/RKSystem.h"
#include "RKWindow/RKWindow.h"
#include "ZU2/rkEglHost.h"
#include "motion/AnimFileFactory.h"
#include "scene/BodyReader.h"
#include "timeline/FrameSample.h"

using namespace tavrel;

namespace {

const std::string kData = TAVREL_SHARE_DIR;
const std::string kWalk = kData + "/Motion/Locomotion/walk.cha";

rkEglHost* Host() {
    static rkEglHost* host = [] {
        auto* h = new rkEglHost;
        return h->Create(800, 600) ? h : nullptr;
    }();
    return host;
}

void BM_LoadAvatarBody(benchmark::State& state) {
    for (auto _ : state) {
        tavrel::CBodyReader body(kData + "/avatar.scx");
        if (!body.IsLoaded()) return state.SkipWithError("avatar.scx not loaded");
        benchmark::DoNotOptimize(body.Shapes().size());
    }
}
BENCHMARK(BM_LoadAvatarBody)->Unit(benchmark::kMillisecond);

void BM_BuildWorld(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    for (auto _ : state) {
        CRKSystem system;
        if (!system.Initialise(Host(), 800, 600)) return state.SkipWithError("no device");
        system.SetUpWorld(kData);
        if (!system.Avatar()) return state.SkipWithError("no avatar");
    }
}
BENCHMARK(BM_BuildWorld)->Unit(benchmark::kMillisecond);

void BM_DrawScene800x600(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    CRKSystem system;
    if (!system.Initialise(Host(), 800, 600)) return state.SkipWithError("no device");
    system.SetUpWorld(kData);
    for (auto _ : state) {
        if (!system.DrawScene(Host())) return state.SkipWithError("frame failed");
    }
    state.counters["triangles"] = system.Device().stats.primitives;
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawScene800x600)->Unit(benchmark::kMillisecond)->UseRealTime();

// One picture of a motion's first frame, read back as the gallery would keep it.
bool Thumbnail(CRKSystem& system, std::vector<uint32_t>& pixels) {
    std::unique_ptr<tavrel::ANIMFILE> motion =
        tavrel::CreateAnimFile(kWalk.c_str(), tavrel::kTypeCHA, 0);
    if (!motion) return false;
    system.PoseAvatar(motion->GetFrame(motion->GetBeginFrame()));
    system.PresetCamera(RKViewport::Front);
    return system.DrawScene(nullptr) && rkReadFrame(RK_READ_COLOR, pixels.data());
}

void BM_Thumbnail50x50_ColdWorld(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    std::vector<uint32_t> pixels(50 * 50);
    for (auto _ : state) {
        CRKSystem system;
        if (!system.Initialise(Host(), 50, 50)) return state.SkipWithError("no device");
        system.SetUpWorld(kData);
        if (!Thumbnail(system, pixels)) return state.SkipWithError("thumbnail failed");
    }
}
BENCHMARK(BM_Thumbnail50x50_ColdWorld)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Thumbnail50x50_WarmWorld(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    std::vector<uint32_t> pixels(50 * 50);
    CRKSystem system;
    if (!system.Initialise(Host(), 50, 50)) return state.SkipWithError("no device");
    system.SetUpWorld(kData);
    for (auto _ : state) {
        if (!Thumbnail(system, pixels)) return state.SkipWithError("thumbnail failed");
    }
}
BENCHMARK(BM_Thumbnail50x50_WarmWorld)->Unit(benchmark::kMillisecond)->UseRealTime();

// The walk alone on a timeline, shown in a window of 800 x 600 with 4 + 4 ghosts 5 frames apart.
struct GhostScene {
    CMotionManager manager;
    CRKWindow window{manager, kData};
    CTimelineProject project;
    int length = 0;

    bool SetUp() {
        CMotion walk(kWalk, 0);
        length = walk.GetLength();
        if (!walk.HasData() || !window.Initialise(Host(), 800, 600)) return false;
        MotionClip clip;
        clip.fileName = kWalk;
        clip.SetFrames(0, length - 1);
        clip.sourceLast = length - 1;
        project.motionClips.InsertSorted(clip);
        window.SetTimelineSource([this] { return TimelineView{&project, 1}; });
        window.Ghosts().SetSettings({true, 4, 5});
        window.System().follow = true;
        Show(length / 2);
        window.System().PresetCamera(RKViewport::Left);
        return true;
    }
    void Show(int frame) { window.ShowFrameSample(GetFrameSample(&project, frame), 0); }
};

// The same window without ghosts, for comparison (process time: the renderer's threads too).
void BM_DrawNoGhosts800x600(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    GhostScene scene;
    if (!scene.SetUp()) return state.SkipWithError("no walk or no device");
    scene.window.Ghosts().SetSettings({false, 4, 5});
    scene.Show(scene.length / 2);
    for (auto _ : state) {
        if (scene.window.ShowCurrentFrame() != 1) return state.SkipWithError("frame failed");
    }
}
BENCHMARK(BM_DrawNoGhosts800x600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// A redraw of a still frame (a camera move): the ghosts' poses are kept.
void BM_DrawGhosts800x600(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    GhostScene scene;
    if (!scene.SetUp()) return state.SkipWithError("no walk or no device");
    for (auto _ : state) {
        if (scene.window.ShowCurrentFrame() != 1) return state.SkipWithError("frame failed");
    }
    state.counters["ghosts"] = double(scene.window.Ghosts().Frames().size());
    state.counters["vertices"] = scene.window.System().Device().stats.vertices;
    state.counters["meshes"] = scene.window.System().Device().stats.meshes;
    state.counters["triangles"] = scene.window.System().Device().stats.primitives;
}
BENCHMARK(BM_DrawGhosts800x600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// Playing: each frame the next one of the walk, round and round, with the ghost that comes into
// reach evaluated.
void BM_PlayGhosts800x600(benchmark::State& state) {
    if (!Host()) return state.SkipWithError("no GL context");
    GhostScene scene;
    if (!scene.SetUp()) return state.SkipWithError("no walk or no device");
    int frame = 0;
    for (auto _ : state) {
        scene.Show(frame);
        if (scene.window.ShowCurrentFrame() != 1) return state.SkipWithError("frame failed");
        frame = (frame + 1) % scene.length;
    }
}
BENCHMARK(BM_PlayGhosts800x600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
