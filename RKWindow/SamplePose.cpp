#include "RKWindow/SamplePose.h"

#include "base/DebugOutput.h"
#include "motion/CurveFunction.h"
#include "motion/Motion.h"
#include "motion/PoseBlender.h"
#include "motion/TwoBoneIK.h"
#include "timeline/ClipPlace.h"

namespace tavrel {
namespace {

// The curve names of the sample's curve index; any other index has none.
const char* CurveName(int32_t curve) {
    static constexpr const char* kNames[] = {"Linear", "EaseIn", "EaseOut", "Curve"};
    return curve >= 0 && curve < 4 ? kNames[curve] : "";
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

// The mixed pose's legs placed so that the feet the clips have planted stay where they are.
void HoldFeet(CMotionManager& manager, const FrameSample& sample, const CHTR& a, const CHTR& b,
              float shareOfB, CHTR& mixed) {
    const ClipPlace placeA = ClipPlaceOf(sample.offsetA), placeB = ClipPlaceOf(sample.offsetB);
    if (placeA.feetFree && placeB.feetFree) return;
    const FootLocks locks =
        LocksOfBlend(FeetOf(manager, sample.fileA, sample.localA, placeA.feetFree, a),
                     FeetOf(manager, sample.fileB, sample.localB, placeB.feetFree, b), shareOfB);
    ApplyFootLocks(mixed.GetRoot(), FindLegs(mixed.GetRoot()), locks);
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
    std::unique_ptr<CHTR> a = CachedPose(manager, sample.fileA, sample.localA, wait);
    if (a && !plain) PlacePose(a->GetRoot(), ClipPlaceOf(sample.offsetA).ground);
    if (!a || sample.localB == -1) {
        result.pose = std::move(a);
        return result;
    }
    std::unique_ptr<CHTR> b = CachedPose(manager, sample.fileB, sample.localB, wait);
    if (!b) return result;
    if (!plain) PlacePose(b->GetRoot(), ClipPlaceOf(sample.offsetB).ground);
    const float c = CCurveFunction::GetValue(CurveName(sample.curve), sample.weight);
    result.pose = CPoseBlender().Blend(a.get(), b.get(), 1.0f - c);
    if (result.pose && !plain) {
        if (wait) wait(true);
        HoldFeet(manager, sample, *a, *b, c, *result.pose);
        if (wait) wait(false);
    }
    return result;
}

}  // namespace tavrel
