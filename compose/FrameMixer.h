#pragma once
// The mix of one frame of a blend. Through most curves A's pose at the frame is mixed into B's by
// B's share. Through "Inertial" B takes over at once: A's motion at the blend's first frame runs
// on with its velocity dying away (so A is read only there, and B alone on every later frame),
// and fades into B by a smooth step. Where two walking clips overlap, B's time is warped over the
// overlap so that its steps fall with A's (CStepWarp), unless A's place keeps their own timing.
#include <cstdint>
#include <string>

#include "compose/ClipPoses.h"
#include "compose/StepWarp.h"

namespace tavrel {

class CFrameMixer {
public:
    // Poses A and B at the sample (placed unless plain) and writes their mix into out; false,
    // with out untouched, when either motion gives no pose. Allocates only while the poses take
    // the clips' shape and when an inertial blend's first frame is read.
    bool Mix(CMotionManager& manager, const FrameSample& sample, bool plain, CHTR& out,
             const WaitHook& wait = {});

    // What the last mix was made of: A as mixed (run on through an inertial blend), B, and B's
    // share.
    const CHTR& A() const { return a_; }
    const CHTR& B() const { return b_; }
    float ShareOfB() const { return share_; }
    // B's frame shown (the nearest whole frame where its time is warped).
    int LocalOfB() const { return localB_; }

private:
    bool RunOn(CMotionManager& manager, const FrameSample& sample, bool plain,
               const WaitHook& wait);

    bool PoseB(CMotionManager& manager, const FrameSample& sample, bool plain,
               const WaitHook& wait);
    const CStepWarp& WarpOf(CMotionManager& manager, const FrameSample& sample);

    CHTR a_, b_, bLow_, bHigh_;
    float share_ = 0.0f;
    int localB_ = 0;
    // The warp of the blend shown, and what it was made from.
    struct Warp {
        std::string fileA, fileB;
        uint64_t serialA = 0, serialB = 0;
        FadeSpan fade;
        bool made = false;
        CStepWarp warp;
    } warp_;
    // A at the first frame of the inertial blend shown and at the frame before it.
    struct Start {
        std::string file;
        uint64_t serial = 0;
        ClipPlace place;
        int32_t local = -1;
        bool plain = false;
        CHTR at, before;
    } start_;
};

// A pose run on from `at` by `frames` of the velocity it had from `before` (both of one shape):
// each rotation turns on along its arc, each translation moves on. No joint turns on by more
// than a quarter turn. Writes into out, which takes their shape.
void RunPoseOn(const CHTR& before, const CHTR& at, float frames, CHTR& out);

// How many frames of its first velocity a motion covers after t frames when that velocity dies
// away with a half-life of halfLife frames.
float FramesRunOn(float t, float halfLife);

}  // namespace tavrel
