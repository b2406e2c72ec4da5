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
        feet[side].ankle = rkOrigin(WorldOf(legs[side].foot));
        if (motion) feet[side].planted = motion->GetFootContacts().LockWeight(side, local);
    }
    return feet;
}

// Where the planted feet of the mix's clips would hold its feet, frame by frame.
FootLocks LocksOfMix(CMotionManager& manager, const FrameSample& sample, const Mix& mix) {
    return LocksOfBlend(
        FeetOf(manager, sample.fileA, sample.localA, ClipPlaceOf(sample.offsetA).feetFree, *mix.a),
        FeetOf(manager, sample.fileB, sample.localB, ClipPlaceOf(sample.offsetB).feetFree, *mix.b),
        mix.shareOfB);
}

std::array<rkVector, 2> AnklesOf(const CHTR* pose) {
    std::array<rkVector, 2> ankles{};
    if (!pose) return ankles;
    const Legs legs = FindLegs(pose->GetRoot());
    for (int side = 0; side < 2; ++side) {
        if (legs[side].Valid()) ankles[side] = rkOrigin(WorldOf(legs[side].foot));
    }
    return ankles;
}

std::vector<rkVector> JointsOf(const CHTR* pose) {
    return pose ? WorldJoints(pose->GetRoot()) : std::vector<rkVector>{};
}

// One frame of a blend while its holds are fitted to the step: the mix unheld, its locks as
// wanted, and the share of them kept.
struct HeldFrame {
    std::unique_ptr<CHTR> unheld;
    std::vector<rkVector> unheldJoints, joints;
    FootLocks wanted;
    float kept = 1.0f;
    float bound = 0.0f;  // the furthest a joint may step into this frame
};

// The frame's joints with `kept` of its locks' weights.
std::vector<rkVector> HeldJoints(const HeldFrame& frame, float kept, CHTR& scratch) {
    frame.unheld->CopyTo(scratch);
    FootLocks locks = frame.wanted;
    for (FootLock& lock : locks) lock.weight *= kept;
    ApplyFootLocks(scratch.GetRoot(), FindLegs(scratch.GetRoot()), locks);
    return JointsOf(&scratch);
}

// The largest share of the frame's locks, at most `most`, whose joints pass `fits`; none when
// even the least share fails (the unheld mix is then the nearest to the rule).
template <class Fits>
void KeepWhatFits(HeldFrame& frame, float most, const Fits& fits) {
    std::unique_ptr<CHTR> scratch = frame.unheld->Clone();
    std::vector<rkVector> joints = HeldJoints(frame, most, *scratch);
    if (fits(joints)) {
        frame.kept = most, frame.joints = std::move(joints);
        return;
    }
    float low = 0.0f, high = most;
    for (int i = 0; i < 10; ++i) {
        const float mid = 0.5f * (low + high);
        (fits(HeldJoints(frame, mid, *scratch)) ? low : high) = mid;
    }
    frame.kept = low;
    frame.joints = low > 0.0f ? HeldJoints(frame, low, *scratch) : frame.unheldJoints;
}

// Lowers the holds of a blend's frames so that no joint of the held pose steps further in a
// frame than any joint of the clips does or than the unheld mix steps there: the legs a hold
// bends and the hips it lowers may otherwise outrun the ankles. Forward from the frame before the
// blend, each frame keeping the largest share of its locks that stays in bounds of the frame
// before; then backward from the frame after it, lowering each frame that steps too far into the
// next. Weight 0 is the unheld mix, whose steps are always in bounds.
void FitHoldsToStep(std::vector<HeldFrame>& frames, const std::vector<rkVector>& before,
                    const std::vector<rkVector>& after, float step) {
    const auto within = [](const std::vector<rkVector>& from, float bound) {
        return [&from, bound](const std::vector<rkVector>& joints) {
            return from.empty() || LargestJointStep(from, joints) <= bound;
        };
    };
    const std::vector<rkVector>* previous = &before;
    const std::vector<rkVector>* previousUnheld = &before;
    for (HeldFrame& frame : frames) {
        frame.bound = std::max(step, LargestJointStep(*previousUnheld, frame.unheldJoints));
        KeepWhatFits(frame, 1.0f, within(*previous, frame.bound));
        previous = &frame.joints, previousUnheld = &frame.unheldJoints;
    }
    const std::vector<rkVector>* next = &after;
    float nextBound = std::max(step, LargestJointStep(frames.back().unheldJoints, after));
    for (size_t k = frames.size(); k-- > 0;) {
        HeldFrame& frame = frames[k];
        // A frame that fits needs no lowering, but one before it may still step too far into it.
        if (within(*next, nextBound)(frame.joints)) {
            next = &frame.joints, nextBound = frame.bound;
            continue;
        }
        const auto fromBefore = within(k > 0 ? frames[k - 1].joints : before, frame.bound);
        const auto toNext = within(*next, nextBound);
        KeepWhatFits(frame, frame.kept, [&](const std::vector<rkVector>& joints) {
            return toNext(joints) && (k > 0 || fromBefore(joints));
        });
        next = &frame.joints, nextBound = frame.bound;
    }
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

// The furthest either clip moves any joint in a frame.
float LargestJointStep(CMotionManager& manager, const FrameSample& sample) {
    const float a = manager.GetMotion(sample.fileA)->GetFootContacts().LargestJointStep();
    const float b = manager.GetMotion(sample.fileB)->GetFootContacts().LargestJointStep();
    return a < 0.0f || b < 0.0f ? FootContacts::kNoStep : std::max(a, b);
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
        std::vector<HeldFrame> frames(n);
        for (int i = 0; i < n; ++i) {
            const FrameSample at = SampleInFade(sample, fade.first + i);
            Mix mix = MixOf(manager, at, false, {});
            if (!mix.mixed) continue;
            frames[i].unheld = std::move(mix.mixed);
            const CHTR* unheld = frames[i].unheld.get();
            frames[i].unheldJoints = JointsOf(unheld);
            const FootLocks locks = LocksOfMix(manager, at, mix);
            const std::array<rkVector, 2> posed = AnklesOf(unheld);
            for (int side = 0; side < 2; ++side) {
                // A foot no clip holds has no target: it stays as posed.
                const bool held = locks[side].weight > 0.0f;
                feet[side][i] = {posed[side],
                                 {held ? locks[side].target : posed[side], locks[side].weight}};
            }
        }
        // The frames either side show one clip alone.
        const std::unique_ptr<CHTR> first = ClipPose(
            manager, sample.fileA, fade.first - 1 - fade.aFirst, sample.offsetA, false, {});
        const std::unique_ptr<CHTR> last =
            ClipPose(manager, sample.fileB, fade.last + 1 - fade.bFirst, sample.offsetB, false, {});
        const auto before = AnklesOf(first.get()), after = AnklesOf(last.get());
        const float step = LargestAnkleStep(manager, sample);
        locks_.assign(n, FootLocks{});
        for (int side = 0; side < 2; ++side) {
            LimitLockSteps(feet[side], before[side], after[side], step);
            for (int i = 0; i < n; ++i) locks_[i][side] = feet[side][i].lock;
        }
        FitHolds(frames, first.get(), last.get(), LargestJointStep(manager, sample));
    }

    // The locks lowered where a joint of the held pose would step further than the clips' do.
    void FitHolds(std::vector<HeldFrame>& frames, const CHTR* first, const CHTR* last, float step) {
        if (!(step >= 0.0f)) return;
        for (const HeldFrame& frame : frames) {
            if (!frame.unheld) return;
        }
        for (size_t i = 0; i < frames.size(); ++i) frames[i].wanted = locks_[i];
        FitHoldsToStep(frames, JointsOf(first), JointsOf(last), step);
        for (size_t i = 0; i < frames.size(); ++i) {
            for (FootLock& lock : locks_[i]) lock.weight *= frames[i].kept;
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
