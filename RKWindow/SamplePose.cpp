#include "RKWindow/SamplePose.h"

#include <algorithm>
#include <vector>

#include "base/DebugOutput.h"
#include "motion/CurveFunction.h"
#include "motion/FadeFoot.h"
#include "motion/Motion.h"
#include "motion/PoseBlender.h"
#include "timeline/ClipPlace.h"

namespace tavrel {
namespace {

// The curve names of the sample's curve index; any other index has none.
const char* CurveName(int32_t curve) {
    static constexpr const char* kNames[] = {"Linear", "EaseIn", "EaseOut", "Curve"};
    return curve >= 0 && curve < 4 ? kNames[curve] : "";
}

// A clip's pose at one of its frames, standing where its place puts it unless plain.
std::unique_ptr<CHTR> ClipPose(CMotionManager& manager, const std::string& file, int local,
                               const std::array<int32_t, 3>& offset, bool plain,
                               const WaitHook& wait) {
    std::unique_ptr<CHTR> pose = CachedPose(manager, file, local, wait);
    if (pose && !plain) PlacePose(pose->GetRoot(), ClipPlaceOf(offset).ground);
    return pose;
}

// A mixed into B at the sample's frame; `mixed` is none when either pose is.
struct Mix {
    std::unique_ptr<CHTR> a, b, mixed;
    float shareOfB = 0.0f;
};

Mix MixOf(CMotionManager& manager, const FrameSample& sample, bool plain, const WaitHook& wait) {
    Mix mix;
    mix.a = ClipPose(manager, sample.fileA, sample.localA, sample.offsetA, plain, wait);
    if (!mix.a) return mix;
    mix.b = ClipPose(manager, sample.fileB, sample.localB, sample.offsetB, plain, wait);
    if (!mix.b) return mix;
    mix.shareOfB = CCurveFunction::GetValue(CurveName(sample.curve), sample.weight);
    mix.mixed = CPoseBlender().Blend(mix.a.get(), mix.b.get(), 1.0f - mix.shareOfB);
    return mix;
}

// Each foot of a placed pose, with how firmly its motion has it planted at that frame.
std::array<BlendFoot, 2> FeetOf(CMotionManager& manager, const std::string& file, int local,
                                bool free, const CHTR& pose) {
    std::array<BlendFoot, 2> feet;
    const Legs legs = FindLegs(pose.GetRoot());
    CMotion* motion = free ? nullptr : manager.GetMotion(file);
    for (int side = 0; side < 2; ++side) {
        if (!legs[side].Valid()) continue;
        feet[side].ankle = Origin(WorldOf(legs[side].foot));
        if (motion) feet[side].planted = motion->GetFootContacts().LockWeight(side, local);
    }
    return feet;
}

// Where the planted feet of the mix's clips would hold its feet, frame by frame.
FootLocks LocksOfMix(CMotionManager& manager, const FrameSample& sample, const Mix& mix) {
    return LocksOfBlend(FeetOf(manager, sample.fileA, sample.localA,
                               ClipPlaceOf(sample.offsetA).feetFree, *mix.a),
                        FeetOf(manager, sample.fileB, sample.localB,
                               ClipPlaceOf(sample.offsetB).feetFree, *mix.b),
                        mix.shareOfB);
}

std::array<rkVector, 2> AnklesOf(const CHTR* pose) {
    std::array<rkVector, 2> ankles{};
    if (!pose) return ankles;
    const Legs legs = FindLegs(pose->GetRoot());
    for (int side = 0; side < 2; ++side) {
        if (legs[side].Valid()) ankles[side] = Origin(WorldOf(legs[side].foot));
    }
    return ankles;
}

// Everything the held feet of one blend depend on.
struct FadeKey {
    std::string fileA, fileB;
    std::array<int32_t, 3> offsetA{}, offsetB{};
    int32_t curve = 0;
    FadeSpan fade;
    uint64_t serialA = 0, serialB = 0;
    bool operator==(const FadeKey&) const = default;
};

FadeKey KeyOf(CMotionManager& manager, const FrameSample& sample) {
    return {sample.fileA,
            sample.fileB,
            sample.offsetA,
            sample.offsetB,
            sample.curve,
            sample.fade,
            manager.GetMotion(sample.fileA)->Serial(),
            manager.GetMotion(sample.fileB)->Serial()};
}

// The furthest either clip moves an ankle in a frame.
float LargestAnkleStep(CMotionManager& manager, const FrameSample& sample) {
    const float a = manager.GetMotion(sample.fileA)->GetFootContacts().LargestAnkleStep();
    const float b = manager.GetMotion(sample.fileB)->GetFootContacts().LargestAnkleStep();
    return a < 0.0f || b < 0.0f ? FootContacts::kNoStep : std::max(a, b);
}

// The locks of every frame of one blend. A lock that takes hold in the middle of a blend is
// eased by the frames around it, so a frame's lock depends on the frames before and after: all
// are made at once, when the blend is first shown.
class HeldFade {
public:
    // The locks at the sample's frame, or none when the sample is no frame of a blend.
    const FootLocks* LocksAt(CMotionManager& manager, const FrameSample& sample,
                             const WaitHook& wait) {
        const FadeSpan& fade = sample.fade;
        if (sample.frame < fade.first || sample.frame > fade.last) return nullptr;
        if (wait) wait(true);
        FadeKey key = KeyOf(manager, sample);
        if (!(key == key_) || locks_.empty()) Make(manager, sample), key_ = std::move(key);
        if (wait) wait(false);
        return &locks_[sample.frame - fade.first];
    }

private:
    void Make(CMotionManager& manager, const FrameSample& sample) {
        const FadeSpan& fade = sample.fade;
        const int n = fade.last - fade.first + 1;
        std::array<std::vector<FadeFoot>, 2> feet{std::vector<FadeFoot>(n),
                                                  std::vector<FadeFoot>(n)};
        for (int i = 0; i < n; ++i) {
            const FrameSample at = SampleInFade(sample, fade.first + i);
            const Mix mix = MixOf(manager, at, false, {});
            if (!mix.mixed) continue;
            const FootLocks locks = LocksOfMix(manager, at, mix);
            const std::array<rkVector, 2> posed = AnklesOf(mix.mixed.get());
            for (int side = 0; side < 2; ++side) {
                // A foot no clip holds has no target: it stays as posed.
                const bool held = locks[side].weight > 0.0f;
                feet[side][i] = {posed[side], {held ? locks[side].target : posed[side],
                                               locks[side].weight}};
            }
        }
        // The frames either side show one clip alone.
        const auto before = AnklesOf(ClipPose(manager, sample.fileA, fade.first - 1 - fade.aFirst,
                                              sample.offsetA, false, {}).get());
        const auto after = AnklesOf(ClipPose(manager, sample.fileB, fade.last + 1 - fade.bFirst,
                                             sample.offsetB, false, {}).get());
        const float step = LargestAnkleStep(manager, sample);
        locks_.assign(n, FootLocks{});
        for (int side = 0; side < 2; ++side) {
            LimitLockSteps(feet[side], before[side], after[side], step);
            for (int i = 0; i < n; ++i) locks_[i][side] = feet[side][i].lock;
        }
    }

    FadeKey key_;
    std::vector<FootLocks> locks_;
};

// The mixed pose's legs placed so that the feet the clips have planted stay where they are.
void HoldFeet(CMotionManager& manager, const FrameSample& sample, const Mix& mix,
              const WaitHook& wait) {
    if (ClipPlaceOf(sample.offsetA).feetFree && ClipPlaceOf(sample.offsetB).feetFree) return;
    // Each thread shows its own frames: the window's, a thumbnail's, a bake's.
    thread_local HeldFade held;
    const FootLocks* eased = held.LocksAt(manager, sample, wait);
    const FootLocks locks = eased ? *eased : LocksOfMix(manager, sample, mix);
    ApplyFootLocks(mix.mixed->GetRoot(), FindLegs(mix.mixed->GetRoot()), locks);
}

}  // namespace

std::unique_ptr<CHTR> CachedPose(CMotionManager& manager, const std::string& file, int local,
                                 const WaitHook& wait) {
    if (wait) wait(true);
    CMotion* motion = manager.GetMotion(file);
    std::unique_ptr<CHTR> pose =
        motion && local >= 0 && local < motion->GetLength() ? motion->GetPose(local) : nullptr;
    if (wait) wait(false);
    if (!pose) DebugOutput("CRKWindow: no pose " + std::to_string(local) + " in " + file + "\n");
    return pose;
}

SamplePose PoseOfSample(CMotionManager& manager, const FrameSample& sample,
                        const std::string& restPosePath, const WaitHook& wait, MixMode mode) {
    const bool plain = mode == MixMode::kPlain;
    SamplePose result;
    if (sample.localA == -1) {
        if (sample.localB != -1) return result;  // only B is named: nothing to show
        result.rest = true;
        result.pose = CachedPose(manager, restPosePath, 0, wait);
        return result;
    }
    if (sample.localB == -1) {
        result.pose = ClipPose(manager, sample.fileA, sample.localA, sample.offsetA, plain, wait);
        return result;
    }
    Mix mix = MixOf(manager, sample, plain, wait);
    if (mix.mixed && !plain) {
        if (wait) wait(true);
        HoldFeet(manager, sample, mix, wait);
        if (wait) wait(false);
    }
    result.pose = std::move(mix.mixed);
    return result;
}

}  // namespace tavrel
