// Picking one point of the avatar's world at 800 x 600: one hidden frame in identification
// colours and one pixel read back.
#include <benchmark/benchmark.h>

#include <string>

#include "RKWindow/RKPicker.h"
#include "RKWindow/RKSystem.h"
#include "ZU2/rkEglHost.h"

using namespace tavrel;

namespace {

void BM_PickOnePoint800x600(benchmark::State& state) {
    static rkEglHost host;
    if (!host.IsValid() && !host.Create(800, 600)) return state.SkipWithError("no GL context");
    CRKSystem system;
    if (!system.Initialise(&host, 800, 600)) return state.SkipWithError("no device");
    system.SetUpWorld(TAVREL_SHARE_DIR);
    if (!system.Avatar()) return state.SkipWithError("no avatar");
    system.DrawScene(nullptr);
    for (auto _ : state) {
        // The middle of the window: the avatar's body.
        benchmark::DoNotOptimize(CRKPicker::Pick(system, 400, 300));
    }
    const rkNode* picked = CRKPicker::Pick(system, 400, 300);
    state.SetLabel(picked ? picked->name : "nothing");
}
BENCHMARK(BM_PickOnePoint800x600)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
