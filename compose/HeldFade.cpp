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
// wanted, and the share of them kept: of both feet's, or only of those not held still (held
// fully where they were the frame before).
struct HeldFrame {
    std::unique_ptr<CHTR> unheld;
    std::vector<rkVector> unheldJoints, joints;
    FootLocks wanted;
    std::array<bool, 2> still{};
    bool both = false;
    float kept = 1.0f;
    float bound = 0.0f;  // the furthest a joint may step into this frame

    float KeptOf(int side, float share) const { return both || !still[side] ? share : 1.0f; }
};

// The frame's joints with `kept` of its locks' weights.
std::vector<rkVector> HeldJoints(const HeldFrame& frame, float kept, CHTR& scratch) {
    frame.unheld->CopyTo(scratch);
    FootLocks locks = frame.wanted;
    for (int side = 0; side < 2; ++side) locks[side].weight *= frame.KeptOf(side, kept);
    ApplyFootLocks(scratch.GetRoot(), FindLegs(scratch.GetRoot()), locks);
    return JointsOf(&scratch);
}

// The largest share of the frame's locks, at most `most`, whose joints pass `fits`, searched
// down to `least` where that share fits (a share near the next frame's, when the frame must
// fit into a held one), else down to none; none when even the least share fails (the unheld
// mix is then the nearest to the rule).
template <class Fits>
void KeepWhatFits(HeldFrame& frame, float most, CHTR& scratch, const Fits& fits,
                  float least = 0.0f) {
    std::vector<rkVector> joints = HeldJoints(frame, most, scratch);
    if (fits(joints)) {
        frame.kept = most, frame.joints = std::move(joints);
        return;
    }
    // A foot held still stays where it is while lowering only the other foot's hold will do.
    frame.both =
        frame.both || frame.still[0] == frame.still[1] || !fits(HeldJoints(frame, 0.0f, scratch));
    float low = std::clamp(least, 0.0f, most), high = most;
    if (low > 0.0f && !fits(HeldJoints(frame, low, scratch))) low = 0.0f;
    for (int i = 0; i < 10; ++i) {
        const float mid = 0.5f * (low + high);
        (fits(HeldJoints(frame, mid, scratch)) ? low : high) = mid;
    }
    frame.kept = low;
    frame.joints = low > 0.0f || !frame.both ? HeldJoints(frame, low, scratch) : frame.unheldJoints;
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
        const float nextKept = k + 1 < frames.size() ? frames[k + 1].kept : 0.0f;
        KeepWhatFits(
            frame, frame.kept, *scratch,
            [&](const std::vector<rkVector>& joints) {
                return toNext(joints) && (k > 0 || fromBefore(joints));
            },
            nextKept);
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
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].wanted = locks[i];
        for (int side = 0; side < 2; ++side) {
            const FootLock& now = locks[i][side];
            frames[i].still[side] = i > 0 && now.weight >= 1.0f &&
                                    locks[i - 1][side].weight >= 1.0f &&
                                    rkLength(now.target - locks[i - 1][side].target) < 1.0f;
        }
    }
    FitHoldsToStep(frames, JointsOf(first), JointsOf(last), step);
    for (size_t i = 0; i < frames.size(); ++i) {
        for (int side = 0; side < 2; ++side)
            locks[i][side].weight *= frames[i].KeptOf(side, frames[i].kept);
    }
}

// The frames after the blend its held feet may run on into: until B, from its frame at the
// blend's end, has lifted each foot and planted it again, within the frames B shows alone.
int RunOnFrames(CMotionManager& manager, const std::string& fileB, const FadeSpan& fade) {
    const int alone = std::min(fade.bAloneLast, fade.bLast) - fade.last;
    if (alone <= 0) return 0;
    const FootContacts& contacts = manager.GetMotion(fileB)->GetFootContacts();
    const int from = fade.last - fade.bFirst;
    int until = from;
    for (int side = 0; side < 2; ++side) {
        const FootPlant* planted = contacts.PlantAt(side, from);
        const int lifts = planted ? planted->last : from;
        const auto& plants = contacts.Plants(side);
        const auto next = std::upper_bound(plants.begin(), plants.end(), lifts,
                                           [](int f, const FootPlant& p) { return f < p.first; });
        until = std::max(until, next != plants.end() ? next->last : contacts.FrameCount() - 1);
    }
    const int most = CHeldFade::kMaxFrames - (fade.last - fade.first + 1);
    return std::clamp(until - from, 0, std::min(alone, most));
}

// How far a held foot may stay from where its frame puts it: a fifth of the longer leg (thigh
// and shin), about as far as a leg standing nearly straight stretches.
float HeldReach(const std::vector<HeldFrame>& frames) {
    for (const HeldFrame& frame : frames) {
        if (!frame.unheld) continue;
        float longest = 0.0f;
        for (const Leg& leg : FindLegs(frame.unheld->GetRoot())) {
            if (leg.Valid())
                longest = std::max(longest, rkLength(rkOrigin(leg.shin->local)) +
                                                rkLength(rkOrigin(leg.foot->local)));
        }
        return 0.2f * longest;
    }
    return 0.0f;
}

// A blend's frames (and those after it its feet stay held into) while their locks are made:
// the mixes unheld, and each foot at each frame.
struct HeldFrames {
    std::vector<HeldFrame> frames;
    std::array<std::vector<MixedFoot>, 2> feet;

    void Add(std::unique_ptr<CHTR> unheld, const std::array<BlendFoot, 2>& a,
             const std::array<BlendFoot, 2>& b, float share) {
        const FootLocks locks = LocksOfBlend(a, b, share);
        const std::array<rkVector, 2> posed = AnklesOf(unheld.get());
        for (int side = 0; side < 2; ++side) {
            // A foot no clip holds has no target: it stays as posed.
            const bool held = locks[side].weight > 0.0f;
            const FootLock lock{held ? locks[side].target : posed[side], locks[side].weight};
            feet[side].push_back({a[side], b[side], share, {posed[side], lock}});
        }
        HeldFrame& frame = frames.emplace_back();
        if (!unheld) return;
        frame.unheldJoints = JointsOf(unheld.get());
        frame.unheld = std::move(unheld);
    }
};

void MixBlend(CMotionManager& manager, const FrameSample& sample, HeldFrames& held) {
    CFrameMixer mixer;
    for (int f = sample.fade.first; f <= sample.fade.last; ++f) {
        const FrameSample at = SampleInFade(sample, f);
        auto mixed = std::make_unique<CHTR>();
        if (!mixer.Mix(manager, at, false, *mixed)) {
            held.Add(nullptr, {}, {}, 0.0f);
            continue;
        }
        const auto a = FeetOfClip(manager, at.fileA, at.localA, at.placeA.feetFree, mixer.A());
        const auto b =
            FeetOfClip(manager, at.fileB, mixer.LocalOfB(), at.placeB.feetFree, mixer.B());
        held.Add(std::move(mixed), a, b, mixer.ShareOfB());
    }
}

// B alone after the blend, where a foot held from the blend may stay held. The feet B plants
// are locked where it has them, so that they stay there where the hips lower for a held one.
void RunOn(CMotionManager& manager, const FrameSample& sample, int frames, HeldFrames& held) {
    for (int k = 1; k <= frames; ++k) {
        const int local = sample.fade.last + k - sample.fade.bFirst;
        auto alone = std::make_unique<CHTR>();
        if (!CopyClipPose(manager, sample.fileB, local, sample.placeB, false, *alone)) return;
        const auto b = FeetOfClip(manager, sample.fileB, local, sample.placeB.feetFree, *alone);
        held.Add(std::move(alone), {}, b, 1.0f);
    }
}

}  // namespace

const FootLocks* CHeldFade::LocksAt(CMotionManager& manager, const FrameSample& sample,
                                    const WaitHook& wait) {
    const bool after = sample.localB == -1;
    const FadeSpan& fade = after ? sample.follows.fade : sample.fade;
    if (fade.last < fade.first || sample.frame < fade.first) return nullptr;
    if (fade.last - fade.first + 1 > kMaxFrames || (!after && sample.frame > fade.last))
        return nullptr;
    const BlendOf blend =
        after
            ? BlendOf{sample.follows.fileA, sample.fileA,         sample.follows.placeA,
                      sample.placeA,        sample.follows.curve, fade}
            : BlendOf{sample.fileA, sample.fileB, sample.placeA, sample.placeB, sample.curve, fade};
    if (wait) wait(true);
    bool held = Holds(manager, blend);
    // Frames beyond any run-on are told without making the blend's locks.
    if (!held && (!after || sample.frame - fade.last <= RunOnFrames(manager, blend.fileB, fade))) {
        Make(manager, after ? LastOfBlendBefore(sample) : sample);
        held = true;
    }
    if (wait) wait(false);
    const size_t i = size_t(sample.frame - fade.first);
    return held && i < locks_.size() ? &locks_[i] : nullptr;
}

void CHeldFade::Invalidate() {
    key_ = Key{};
    locks_ = {};
}

bool CHeldFade::Holds(CMotionManager& manager, const BlendOf& blend) const {
    return !locks_.empty() && key_.fade == blend.fade && key_.curve == blend.curve &&
           key_.placeA == blend.placeA && key_.placeB == blend.placeB &&
           key_.fileA == blend.fileA && key_.fileB == blend.fileB &&
           key_.serialA == manager.GetMotion(blend.fileA)->Serial() &&
           key_.serialB == manager.GetMotion(blend.fileB)->Serial();
}

void CHeldFade::Make(CMotionManager& manager, const FrameSample& sample) {
    const FadeSpan& fade = sample.fade;
    HeldFrames held;
    MixBlend(manager, sample, held);
    RunOn(manager, sample, RunOnFrames(manager, sample.fileB, fade), held);
    const float step = LargestStep(manager, sample, true);
    const float reach = HeldReach(held.frames);
    size_t kept = size_t(fade.last - fade.first + 1);
    for (auto& foot : held.feet) kept = std::max(kept, HoldPlants(foot, reach, step));
    held.frames.resize(kept);
    // The frames either side show one clip alone.
    CHTR first, last;
    CopyClipPose(manager, sample.fileA, fade.first - 1 - fade.aFirst, sample.placeA, false, first);
    CopyClipPose(manager, sample.fileB, fade.first + int(kept) - fade.bFirst, sample.placeB, false,
                 last);
    const auto before = AnklesOf(&first), after = AnklesOf(&last);
    locks_.assign(kept, FootLocks{});
    std::vector<FadeFoot> feet(kept);
    for (int side = 0; side < 2; ++side) {
        for (size_t i = 0; i < kept; ++i) feet[i] = held.feet[side][i].held;
        LimitLockSteps(feet, before[side], after[side], step);
        for (size_t i = 0; i < kept; ++i) locks_[i][side] = feet[i].lock;
    }
    FitHolds(held.frames, locks_, first.GetRoot() ? &first : nullptr,
             last.GetRoot() ? &last : nullptr, LargestStep(manager, sample, false));
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
