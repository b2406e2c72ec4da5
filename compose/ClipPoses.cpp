#include "compose/ClipPoses.h"

#include "base/DebugOutput.h"
#include "motion/CurveFunction.h"
#include "motion/Legs.h"
#include "motion/Motion.h"
#include "motion/PoseBlender.h"

namespace tavrel {
std::array<BlendFoot, 2> FeetOfClip(CMotionManager& manager, const std::string& file, int local,
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

bool CopyCachedPose(CMotionManager& manager, const std::string& file, int local, CHTR& out,
                    const WaitHook& wait) {
    if (wait) wait(true);
    CMotion* motion = manager.GetMotion(file);
    const bool copied =
        motion && local >= 0 && local < motion->GetLength() && motion->CopyPoseTo(out, local);
    if (wait) wait(false);
    if (!copied) DebugOutput("CRKWindow: no pose " + std::to_string(local) + " in " + file + "\n");
    return copied;
}

bool CopyClipPose(CMotionManager& manager, const std::string& file, int local,
                  const ClipPlace& place, bool plain, CHTR& out, const WaitHook& wait) {
    if (!CopyCachedPose(manager, file, local, out, wait)) return false;
    if (!plain) PlacePose(out.GetRoot(), place.ground);
    return true;
}

float ShareOfB(const FrameSample& sample) {
    return CCurveFunction::GetValue(sample.curve, sample.weight);
}

void MixInto(const CHTR& a, const CHTR& b, float shareOfB, CHTR& out) {
    // Nodes B lacks keep A's pose.
    CHTR::CopyPose(a.GetRoot(), out);
    CPoseBlender::BlendInto(a.GetRoot(), b.GetRoot(), 1.0f - shareOfB, out.GetRoot());
}

FootLocks LocksOfMix(CMotionManager& manager, const FrameSample& sample, const CHTR& a,
                     const CHTR& b, float shareOfB, int localB) {
    return LocksOfBlend(FeetOfClip(manager, sample.fileA, sample.localA, sample.placeA.feetFree, a),
                        FeetOfClip(manager, sample.fileB, localB, sample.placeB.feetFree, b),
                        shareOfB);
}

}  // namespace tavrel
