// The avatar and its world: loading avatar.scx, building the world, drawing it at 800 x 600,
// and drawing one 50 x 50 thumbnail of a motion from a cold and from a warm world.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "RKWindow/RKSystem.h"
#include "ZU2/rkEglHost.h"
#include "motion/AnimFileFactory.h"
#include "scene/BodyReader.h"

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

}  // namespace
