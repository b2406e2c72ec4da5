#include "compose/PoseEvaluator.h"

#include <utility>

#include "motion/Legs.h"

namespace tavrel {

CPoseEvaluator::CPoseEvaluator(CMotionManager& manager, std::string restPosePath, WaitHook wait)
    : manager_(manager), restPosePath_(std::move(restPosePath)), wait_(std::move(wait)) {}

bool CPoseEvaluator::Evaluate(const FrameSample& sample, CHTR& out, MixMode mode) {
    const bool plain = mode == MixMode::kPlain;
    if (sample.localA == -1) {
        // Only B named is nothing to show; no clip at all is the rest pose.
        if (sample.localB != -1 || !CopyCachedPose(manager_, restPosePath_, 0, out, wait_))
            return false;
        layers_.Apply(manager_, sample, out, wait_);
        return true;
    }
    if (sample.localB == -1) {
        if (!CopyClipPose(manager_, sample.fileA, sample.localA, sample.placeA, plain, out, wait_))
            return false;
        ApplyLayersOnClip(sample, plain, out);
        if (!plain) HoldFeetOn(sample, out);
        return true;
    }
    if (!mixer_.Mix(manager_, sample, plain, out, wait_)) return false;
    // The layers change the mixed pose before its feet are held: planted feet stay planted.
    layers_.Apply(manager_, sample, out, wait_);
    if (!plain) HoldFeet(sample, out);
    return true;
}

std::unique_ptr<CHTR> CPoseEvaluator::PoseOf(const FrameSample& sample, MixMode mode) {
    auto pose = std::make_unique<CHTR>();
    if (!Evaluate(sample, *pose, mode)) pose.reset();
    return pose;
}

// A clip shown alone keeps its planted feet where it has them under layers that turn its legs.
void CPoseEvaluator::ApplyLayersOnClip(const FrameSample& sample, bool plain, CHTR& out) {
    const bool hold = !plain && !sample.placeA.feetFree && CLayerMixer::AddsToLegs(sample);
    const std::array<BlendFoot, 2> feet =
        hold ? FeetOfClip(manager_, sample.fileA, sample.localA, false, out)
             : std::array<BlendFoot, 2>{};
    layers_.Apply(manager_, sample, out, wait_);
    if (!hold) return;
    const Legs legs = FindLegs(out.GetRoot());
    FootLocks locks;
    for (int side = 0; side < 2; ++side) {
        if (!legs[side].Valid()) continue;
        // A foot the layers left where it was is not solved again.
        const float moved = rkLength(rkOrigin(WorldOf(legs[side].foot)) - feet[side].ankle);
        if (moved > kStillAnkle) locks[side] = {feet[side].ankle, feet[side].planted};
    }
    ApplyFootLocks(out.GetRoot(), legs, locks);
}

// The mixed pose's legs placed so that the feet the clips have planted stay where they are.
void CPoseEvaluator::HoldFeet(const FrameSample& sample, CHTR& out) {
    if (sample.placeA.feetFree && sample.placeB.feetFree) return;
    if (wait_) wait_(true);
    const FootLocks* eased = held_.LocksAt(manager_, sample, wait_);
    const FootLocks locks = eased ? *eased
                                  : LocksOfMix(manager_, sample, mixer_.A(), mixer_.B(),
                                               mixer_.ShareOfB(), mixer_.LocalOfB());
    if (wait_) wait_(false);
    ApplyFootLocks(out.GetRoot(), FindLegs(out.GetRoot()), locks);
}

// A clip shown alone keeps the feet held from the blend that brought it in until it has lifted
// them.
void CPoseEvaluator::HoldFeetOn(const FrameSample& sample, CHTR& out) {
    const BlendBefore& blend = sample.follows;
    if (blend.fade.last < blend.fade.first) return;
    if (blend.placeA.feetFree && sample.placeA.feetFree) return;
    if (const FootLocks* locks = held_.LocksAt(manager_, sample, wait_))
        ApplyFootLocks(out.GetRoot(), FindLegs(out.GetRoot()), *locks);
}

}  // namespace tavrel
