#include "compose/FrameMixer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/DebugOutput.h"
#include "motion/Motion.h"
#include "motion/Quaternion.h"

namespace tavrel {
namespace {

constexpr float kMostTurnOn = std::numbers::pi_v<float> / 2;

// The rotation part of m (no translation), transposed when asked: the inverse of a rotation.
rkMatrix RotationOf(const rkMatrix& m, bool transposed) {
    rkMatrix r;
    rkIdentity(&r);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            r.m[row * 4 + column] = transposed ? m.m[column * 4 + row] : m.m[row * 4 + column];
    }
    return r;
}

// `at` turned on by `frames` of the turn from `before` to it (at = before * turn), and moved on
// by as many of its steps. The turn is taken apart as a quaternion only for its power, so that
// no frames leaves `at` exactly as it is.
void RunNodeOn(const rkNode* before, const rkNode* at, float frames, rkNode* out) {
    rkMatrix turn;
    rkMultiply(&turn, RotationOf(before->local, true), RotationOf(at->local, false));
    const Quat q = MatrixToQuat(turn);
    const float angle = 2.0f * std::acos(std::min(std::fabs(q.w), 1.0f));
    const float power = angle * frames > kMostTurnOn ? kMostTurnOn / angle : frames;
    rkMatrix on, m;
    QuatToMatrix(Slerp({1.0f, 0.0f, 0.0f, 0.0f}, q, power), &on);
    rkMultiply(&m, at->local, on);
    for (int axis = 0; axis < 3; ++axis) {
        const float p = at->local.m[12 + axis];
        m.m[12 + axis] = p + (p - before->local.m[12 + axis]) * frames;
    }
    rkSetNodeMatrix(out, m);
    const rkNode* b = before->child;
    const rkNode* a = at->child;
    rkNode* o = out->child;
    for (; a && b && o; a = a->next, b = b->next, o = o->next) {
        RunNodeOn(b, a, frames, o);
        if (a->next == a || b->next == b || o->next == o) break;
    }
}

// The frames of a blend's inertial run-on: the velocity halves every quarter of the blend.
float HalfLifeOf(const FadeSpan& fade) {
    return std::max(1.0f, float(fade.last - fade.first + 1) / 4.0f);
}

}  // namespace

float FramesRunOn(float t, float halfLife) {
    const float decay = std::numbers::ln2_v<float> / halfLife;
    return (1.0f - std::exp(-decay * t)) / decay;
}

void RunPoseOn(const CHTR& before, const CHTR& at, float frames, CHTR& out) {
    CHTR::CopyPose(at.GetRoot(), out);
    if (!out.GetRoot() || !CHTR::SameShape(before.GetRoot(), at.GetRoot())) return;
    RunNodeOn(before.GetRoot(), at.GetRoot(), frames, out.GetRoot());
}

bool CFrameMixer::Mix(CMotionManager& manager, const FrameSample& sample, bool plain, CHTR& out,
                      const WaitHook& wait) {
    const bool inertial = sample.curve == kCurveInertial && sample.fade.first <= sample.fade.last;
    if (inertial
            ? !RunOn(manager, sample, plain, wait)
            : !CopyClipPose(manager, sample.fileA, sample.localA, sample.placeA, plain, a_, wait))
        return false;
    if (!PoseB(manager, sample, plain, wait)) return false;
    share_ = tavrel::ShareOfB(sample);
    MixInto(a_, b_, share_, out);
    return true;
}

bool CFrameMixer::PoseB(CMotionManager& manager, const FrameSample& sample, bool plain,
                        const WaitHook& wait) {
    localB_ = sample.localB;
    const bool inStep = !plain && !sample.placeA.ownTiming;
    const CStepWarp* warp = inStep ? &WarpOf(manager, sample) : nullptr;
    if (!warp || !warp->Warps())
        return CopyClipPose(manager, sample.fileB, sample.localB, sample.placeB, plain, b_, wait);
    const double local = warp->LocalOfB(sample.frame, sample.fade.bFirst);
    const int low = int(std::floor(local));
    const float t = float(local - low);
    localB_ = int(std::lround(local));
    if (!CopyClipPose(manager, sample.fileB, low, sample.placeB, plain, bLow_, wait)) return false;
    const int high = t > 0.0f ? low + 1 : low;
    if (!CopyClipPose(manager, sample.fileB, high, sample.placeB, plain, bHigh_, wait))
        return false;
    MixInto(bLow_, bHigh_, t, b_);
    return true;
}

const CStepWarp& CFrameMixer::WarpOf(CMotionManager& manager, const FrameSample& sample) {
    CMotion* a = manager.GetMotion(sample.fileA);
    CMotion* b = manager.GetMotion(sample.fileB);
    Warp& w = warp_;
    if (w.made && w.fade == sample.fade && w.serialA == a->Serial() && w.serialB == b->Serial() &&
        w.fileA == sample.fileA && w.fileB == sample.fileB)
        return w.warp;
    std::string why;
    w.warp = CStepWarp::InStep(a->GetFootContacts(), b->GetFootContacts(), sample.fade, &why);
    if (!w.warp.Warps() && sample.fade.first < sample.fade.last)
        DebugOutput("CFrameMixer: " + sample.fileB + " keeps its own timing: " + why + "\n");
    w.fileA = sample.fileA, w.fileB = sample.fileB;
    w.serialA = a->Serial(), w.serialB = b->Serial();
    w.fade = sample.fade, w.made = true;
    return w.warp;
}

bool CFrameMixer::RunOn(CMotionManager& manager, const FrameSample& sample, bool plain,
                        const WaitHook& wait) {
    const FadeSpan& fade = sample.fade;
    const int32_t local = std::clamp(fade.first - fade.aFirst, 0, fade.aLast - fade.aFirst);
    const uint64_t serial = manager.GetMotion(sample.fileA)->Serial();
    Start& s = start_;
    if (!(s.local == local && s.serial == serial && s.plain == plain && s.place == sample.placeA &&
          s.file == sample.fileA)) {
        s.local = -1;
        if (!CopyClipPose(manager, sample.fileA, local, sample.placeA, plain, s.at, wait) ||
            !CopyClipPose(manager, sample.fileA, std::max(local - 1, 0), sample.placeA, plain,
                          s.before, wait))
            return false;
        s.file = sample.fileA, s.serial = serial, s.place = sample.placeA;
        s.local = local, s.plain = plain;
    }
    const float t = float(std::max(sample.frame - fade.first, 0));
    RunPoseOn(s.before, s.at, FramesRunOn(t, HalfLifeOf(fade)), a_);
    return true;
}

}  // namespace tavrel
