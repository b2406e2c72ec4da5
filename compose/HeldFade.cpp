#include "compose/HeldFade.h"

#include <algorithm>
#include <memory>

#include "compose/FrameMixer.h"
#include "motion/FadeFoot.h"
#include "motion/Legs.h"
#include "motion/Motion.h"

namespace tavrel {
namespace {

std::array<rkVector, 2> AnklesOf(const CHTR* pose) {
    std::array<rkVector, 2> ankles{};
    if (!pose || !pose->GetRoot()) return ankles;
    const Legs legs = FindLegs(pose->GetRoot());
    for (int side = 0; side < 2; ++side) {
        if (legs[side].Valid()) ankles[side] = rkOrigin(WorldOf(legs[side].foot));
    }
    return ankles;
}

std::vector<rkVector> JointsOf(const CHTR* pose) {
    return pose && pose->GetRoot() ? WorldJoints(pose->GetRoot()) : std::vector<rkVector>{};
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
void KeepWhatFits(HeldFrame& frame, float most, CHTR& scratch, const Fits& fits) {
    std::vector<rkVector> joints = HeldJoints(frame, most, scratch);
    if (fits(joints)) {
        frame.kept = most, frame.joints = std::move(joints);
        return;
    }
    float low = 0.0f, high = most;
    for (int i = 0; i < 10; ++i) {
        const float mid = 0.5f * (low + high);
        (fits(HeldJoints(frame, mid, scratch)) ? low : high) = mid;
    }
    frame.kept = low;
    frame.joints = low > 0.0f ? HeldJoints(frame, low, scratch) : frame.unheldJoints;
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
    const std::unique_ptr<CHTR> scratch = frames.front().unheld->Clone();
    const std::vector<rkVector>* previous = &before;
    const std::vector<rkVector>* previousUnheld = &before;
    for (HeldFrame& frame : frames) {
        frame.bound = std::max(step, LargestJointStep(*previousUnheld, frame.unheldJoints));
        KeepWhatFits(frame, 1.0f, *scratch, within(*previous, frame.bound));
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
        KeepWhatFits(frame, frame.kept, *scratch, [&](const std::vector<rkVector>& joints) {
            return toNext(joints) && (k > 0 || fromBefore(joints));
        });
        next = &frame.joints, nextBound = frame.bound;
    }
}

// The furthest either clip moves any joint (or an ankle) in a frame.
float LargestStep(CMotionManager& manager, const FrameSample& sample, bool ankles) {
    const auto of = [&](const std::string& file) {
        const FootContacts& contacts = manager.GetMotion(file)->GetFootContacts();
        return ankles ? contacts.LargestAnkleStep() : contacts.LargestJointStep();
    };
    const float a = of(sample.fileA), b = of(sample.fileB);
    return a < 0.0f || b < 0.0f ? FootContacts::kNoStep : std::max(a, b);
}

// The locks lowered where a joint of the held pose would step further than the clips' do.
void FitHolds(std::vector<HeldFrame>& frames, std::vector<FootLocks>& locks, const CHTR* first,
              const CHTR* last, float step) {
    if (!(step >= 0.0f) || frames.empty()) return;
    for (const HeldFrame& frame : frames) {
        if (!frame.unheld) return;
    }
    for (size_t i = 0; i < frames.size(); ++i) frames[i].wanted = locks[i];
    FitHoldsToStep(frames, JointsOf(first), JointsOf(last), step);
    for (size_t i = 0; i < frames.size(); ++i) {
        for (FootLock& lock : locks[i]) lock.weight *= frames[i].kept;
    }
}

}  // namespace

const FootLocks* CHeldFade::LocksAt(CMotionManager& manager, const FrameSample& sample,
                                    const WaitHook& wait) {
    const FadeSpan& fade = sample.fade;
    if (sample.frame < fade.first || sample.frame > fade.last) return nullptr;
    if (fade.last - fade.first + 1 > kMaxFrames) return nullptr;
    if (wait) wait(true);
    if (!Holds(manager, sample)) Make(manager, sample);
    if (wait) wait(false);
    return &locks_[sample.frame - fade.first];
}

void CHeldFade::Invalidate() {
    key_ = Key{};
    locks_ = {};
}

bool CHeldFade::Holds(CMotionManager& manager, const FrameSample& sample) const {
    return !locks_.empty() && key_.fade == sample.fade && key_.curve == sample.curve &&
           key_.placeA == sample.placeA && key_.placeB == sample.placeB &&
           key_.fileA == sample.fileA && key_.fileB == sample.fileB &&
           key_.serialA == manager.GetMotion(sample.fileA)->Serial() &&
           key_.serialB == manager.GetMotion(sample.fileB)->Serial();
}

void CHeldFade::Make(CMotionManager& manager, const FrameSample& sample) {
    const FadeSpan& fade = sample.fade;
    const int n = fade.last - fade.first + 1;
    std::array<std::vector<FadeFoot>, 2> feet{std::vector<FadeFoot>(n), std::vector<FadeFoot>(n)};
    std::vector<HeldFrame> frames(n);
    CFrameMixer mixer;
    for (int i = 0; i < n; ++i) {
        const FrameSample at = SampleInFade(sample, fade.first + i);
        auto mixed = std::make_unique<CHTR>();
        if (!mixer.Mix(manager, at, false, *mixed)) continue;
        frames[i].unheld = std::move(mixed);
        const CHTR* unheld = frames[i].unheld.get();
        frames[i].unheldJoints = JointsOf(unheld);
        const FootLocks locks =
            LocksOfMix(manager, at, mixer.A(), mixer.B(), mixer.ShareOfB(), mixer.LocalOfB());
        const std::array<rkVector, 2> posed = AnklesOf(unheld);
        for (int side = 0; side < 2; ++side) {
            // A foot no clip holds has no target: it stays as posed.
            const bool held = locks[side].weight > 0.0f;
            feet[side][i] = {posed[side],
                             {held ? locks[side].target : posed[side], locks[side].weight}};
        }
    }
    // The frames either side show one clip alone.
    CHTR first, last;
    CopyClipPose(manager, sample.fileA, fade.first - 1 - fade.aFirst, sample.placeA, false, first);
    CopyClipPose(manager, sample.fileB, fade.last + 1 - fade.bFirst, sample.placeB, false, last);
    const auto before = AnklesOf(&first), after = AnklesOf(&last);
    const float step = LargestStep(manager, sample, true);
    locks_.assign(n, FootLocks{});
    for (int side = 0; side < 2; ++side) {
        LimitLockSteps(feet[side], before[side], after[side], step);
        for (int i = 0; i < n; ++i) locks_[i][side] = feet[side][i].lock;
    }
    FitHolds(frames, locks_, first.GetRoot() ? &first : nullptr, last.GetRoot() ? &last : nullptr,
             LargestStep(manager, sample, false));
    key_ = {sample.fileA,
            sample.fileB,
            sample.placeA,
            sample.placeB,
            sample.curve,
            fade,
            manager.GetMotion(sample.fileA)->Serial(),
            manager.GetMotion(sample.fileB)->Serial()};
}

}  // namespace tavrel
