#include "RKWindow/SamplePose.h"

#include "base/DebugOutput.h"
#include "motion/CurveFunction.h"
#include "motion/Motion.h"
#include "motion/PoseBlender.h"

namespace tavrel {
namespace {

// The curve names of the sample's curve index; any other index has none.
const char* CurveName(int32_t curve) {
    static constexpr const char* kNames[] = {"Linear", "EaseIn", "EaseOut", "Curve"};
    return curve >= 0 && curve < 4 ? kNames[curve] : "";
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
                        const std::string& restPosePath, const WaitHook& wait) {
    SamplePose result;
    if (sample.localA == -1) {
        if (sample.localB != -1) return result;  // only B is named: nothing to show
        result.rest = true;
        result.pose = CachedPose(manager, restPosePath, 0, wait);
        return result;
    }
    std::unique_ptr<CHTR> a = CachedPose(manager, sample.fileA, sample.localA, wait);
    if (!a || sample.localB == -1) {
        result.pose = std::move(a);
        return result;
    }
    std::unique_ptr<CHTR> b = CachedPose(manager, sample.fileB, sample.localB, wait);
    if (!b) return result;
    const float c = CCurveFunction::GetValue(CurveName(sample.curve), sample.weight);
    result.pose = CPoseBlender().Blend(a.get(), b.get(), 1.0f - c);
    return result;
}

}  // namespace tavrel
