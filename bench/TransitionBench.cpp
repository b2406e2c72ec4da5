// How transitions look, measured: pairs of the bundled walks, runs and turns (and moved copies)
// composed as a drop does, the later clip over the earlier one's last 20 frames, and through the
// blend: how far a planted foot slides, the largest joint step against the clips' own largest,
// how far the hips go back against the way walked, and the pose distance of the overlap. For the
// plain mix, the held mix as it was (steps out of step), the held mix in step (the default), the
// inertial blend in step, and the overlap at the best point. Goals: slide at most 3 mm a frame,
// no joint step beyond the clips' own largest, no backward hip travel, and a lower distance at
// the best point than where the clip was dropped in at least 9 of 10 pairs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "compose/PoseEvaluator.h"
#include "motion/GroundPlace.h"
#include "motion/TransitionMatch.h"
#include "settings/StringTable.h"
#include "tests/support/PoseSteps.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"

namespace {

using namespace tavrel;
namespace fs = std::filesystem;

constexpr int kOverlap = 20;

struct Shift : CUserDecisions {
    OverlapChoice AskOverlap(int, bool) override { return OverlapChoice::kShift; }
    std::optional<std::string> AskPasteName(int, const std::string&) override { return {}; }
};

enum class Variant { kPlain, kHeldOutOfStep, kHeldInStep, kInertialInStep };

struct Measure {
    float slide = 0.0f, stepOverOwn = 0.0f, backward = 0.0f;
};

struct Folder {
    Folder()
        : path(fs::temp_directory_path() / ("tavrel-bench-blend-" + std::to_string(getpid()))) {
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path path;
};

// The motion from frame `from` on, moved along the floor: another take of the same gait.
std::string LaterTake(const std::string& source, int from, const fs::path& target) {
    CMotion in(source, 0), out;
    for (int f = from; f < in.GetLength(); ++f) {
        std::unique_ptr<CHTR> pose = in.GetPose(f);
        PlacePose(pose->GetRoot(), {400.0f, 250.0f, 0.3f});
        out.SetPose(f - from, *pose);
    }
    out.Save(target.string());
    return target.string();
}

float LargestOwnStep(CMotion& m) {
    float most = 0.0f;
    for (int f = 1; f < m.GetLength(); ++f)
        most = std::max(
            most, testing::LargestNodeStep(m.GetPose(f)->GetRoot(), m.GetPose(f - 1)->GetRoot()));
    return most;
}

rkVector Hips(const CHTR& pose) {
    return rkOrigin(pose.GetRoot()->local);
}
rkVector Ankle(const CHTR& pose, int side) {
    return rkOrigin(WorldOf(FindLegs(pose.GetRoot())[side].foot));
}

// A into B as a drop composes it, measured through the blend for one variant.
Measure MeasurePair(const std::string& a, const std::string& b, Variant variant,
                    const fs::path& folder) {
    Message failure;
    auto wd =
        CWorkingDirectory::Create(folder.string(), CStringTable::BuiltIn().Lookup(), &failure);
    CMotionManager manager;
    CMotionManagerSide side(manager);
    Shift decisions;
    CTimelineModel model(side, decisions, *wd);
    model.NewProject(CTimelineProject());
    model.SetCurrentFrame(0);
    model.AddMotionFile(a);
    const int aLast = model.LastFrame();
    model.SetCurrentFrame(aLast + 1);
    model.AddMotionFile(b);
    model.MoveClip(0, aLast + 1 - kOverlap);
    if (variant == Variant::kHeldOutOfStep) model.SetKeepInStep(1, false);
    if (variant == Variant::kInertialInStep) model.SetCurveType(1, kCurveInertial);
    const MixMode mode = variant == Variant::kPlain ? MixMode::kPlain : MixMode::kHoldFeet;
    CPoseEvaluator evaluator(manager, TAVREL_SHARE_DIR "/Init.chb");
    const MotionClip first = *model.ClipAtPosition(1), second = *model.ClipAtPosition(0);
    CMotion& ma = *manager.GetMotion(first.fileName);
    CMotion& mb = *manager.GetMotion(second.fileName);
    const float own = std::max(LargestOwnStep(ma), LargestOwnStep(mb));
    rkVector way = Hips(*ma.GetPose(ma.GetLength() - 1)) - Hips(*ma.GetPose(0));
    way = way * (1.0f / std::max(rkLength(way), 1e-3f));
    Measure m;
    std::unique_ptr<CHTR> before =
        evaluator.PoseOf(model.GetFrameSample(second.firstFrame - 1), mode);
    for (int f = second.firstFrame; f <= first.lastFrame + 1; ++f) {
        std::unique_ptr<CHTR> now = evaluator.PoseOf(model.GetFrameSample(f), mode);
        if (!now || !before) break;
        m.backward = std::max(m.backward, -rkDot(Hips(*now) - Hips(*before), way));
        m.stepOverOwn = std::max(m.stepOverOwn,
                                 testing::LargestNodeStep(now->GetRoot(), before->GetRoot()) - own);
        const FrameSample s = model.GetFrameSample(f - 1);
        const bool aLeads = s.weight < 0.5f || s.localB < 0;
        const FootContacts& c = (aLeads ? ma : mb).GetFootContacts();
        const int local = aLeads ? s.localA : s.localB;
        for (int foot = 0; foot < 2; ++foot) {
            if (c.LockWeight(foot, local) < 1.0f || c.LockWeight(foot, local + 1) < 1.0f) continue;
            m.slide = std::max(m.slide, rkLength(Ankle(*now, foot) - Ankle(*before, foot)));
        }
        before = std::move(now);
    }
    return m;
}

struct Pair {
    std::string a, b;
};

std::vector<Pair> Pairs(const fs::path& folder) {
    const std::string m = TAVREL_SHARE_DIR "/Motion/";
    const std::string walk = m + "Locomotion/walk.cha", run = m + "Locomotion/run.chb";
    const std::string turn = m + "Locomotion/turn.chb", idle = m + "Everyday/idle.cha";
    return {{walk, run},
            {run, walk},
            {walk, turn},
            {turn, walk},
            {run, turn},
            {turn, run},
            {walk, LaterTake(walk, 23, folder / "walk-later.chb")},
            {run, LaterTake(run, 9, folder / "run-later.chb")},
            {turn, LaterTake(turn, 17, folder / "turn-later.chb")},
            {idle, walk}};
}

void BM_TransitionQuality(benchmark::State& state) {
    const Variant variant = Variant(state.range(0));
    Folder folder;
    const std::vector<Pair> pairs = Pairs(folder.path);
    Measure worst;
    for (auto _ : state) {
        worst = {};
        for (size_t k = 0; k < pairs.size(); ++k) {
            const fs::path work = folder.path / ("wd" + std::to_string(k));
            fs::create_directories(work);
            const Measure m = MeasurePair(pairs[k].a, pairs[k].b, variant, work);
            std::printf("variant %d %s -> %s: slide %.1f, step over own %.1f, hips back %.1f mm\n",
                        int(variant), fs::path(pairs[k].a).stem().c_str(),
                        fs::path(pairs[k].b).stem().c_str(), m.slide, m.stepOverOwn, m.backward);
            worst.slide = std::max(worst.slide, m.slide);
            worst.stepOverOwn = std::max(worst.stepOverOwn, m.stepOverOwn);
            worst.backward = std::max(worst.backward, m.backward);
        }
    }
    state.counters["slide_mm"] = worst.slide;
    state.counters["step_over_own_mm"] = worst.stepOverOwn;
    state.counters["hips_back_mm"] = worst.backward;
}
BENCHMARK(BM_TransitionQuality)
    ->ArgName("plain0_outofstep1_instep2_inertial3")
    ->DenseRange(0, 3)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The pose distance of the 20-frame overlap where the clip was dropped, against that of the
// overlap the best-point search offers.
void BM_BestPointAgainstDropped(benchmark::State& state) {
    Folder folder;
    const std::vector<Pair> pairs = Pairs(folder.path);
    int lower = 0;
    float dropped = 0.0f, chosen = 0.0f;
    for (auto _ : state) {
        lower = 0, dropped = 0.0f, chosen = 0.0f;
        for (const Pair& p : pairs) {
            CMotion a(p.a, 0), b(p.b, 0);
            const float at = OverlapDistance(a, b, a.GetLength() - kOverlap, 0);
            const TransitionPoint best = BestTransition(a, b, {kOverlap / 2, kOverlap * 2, 2000});
            lower += best.distance < at ? 1 : 0;
            dropped += at / float(pairs.size()), chosen += best.distance / float(pairs.size());
            std::printf("%s -> %s: dropped %.1f mm, best %.1f mm (A %d, B %d, overlap %d)\n",
                        fs::path(p.a).stem().c_str(), fs::path(p.b).stem().c_str(), at,
                        best.distance, best.outgoing, best.incoming, best.overlap);
        }
    }
    state.counters["pairs_lower"] = lower;
    state.counters["mean_dropped_mm"] = dropped;
    state.counters["mean_best_mm"] = chosen;
}
BENCHMARK(BM_BestPointAgainstDropped)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
