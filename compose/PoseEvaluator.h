#pragma once
// The pose the timeline shows at one frame: the rest pose where no clip lies, motion A's pose,
// or A mixed into B through A's transition curve (see CFrameMixer), and the layers above them on
// that (see CLayerMixer). Each clip's motion stands where its place puts it, and through a mix
// the feet its clips have planted stay where they are, into the frames after it until the clip
// that follows lifts them (see CHeldFade). The 3D window, playback, bake, video and the command
// line all show a frame through this one job.
//
// Contract:
// - Input: a frame sample (its places and curve decoded) and how to mix.
// - Output: the caller's pose, written only when the frame has a pose; a frame whose motions
//   give none leaves it as it was (callers show the pose before).
// - Memory: nothing is allocated once the output and the evaluator's two clip poses have the
//   shown motions' shape and the held feet of the blend shown are made. A blend's held feet are
//   made (allocating) when one of its frames is first shown, and kept for one blend at a time.
// - Motions are read through the manager, which the evaluator does not own. An evaluator and
//   its manager are used by one thread at a time.
#include <memory>
#include <string>

#include "compose/ClipPoses.h"
#include "compose/FrameMixer.h"
#include "compose/HeldFade.h"
#include "compose/LayerMixer.h"

namespace tavrel {

// How clips are mixed: kPlain mixes the motions as they were captured, without places or held
// feet (for comparison).
enum class MixMode { kHoldFeet, kPlain };

class CPoseEvaluator {
public:
    // The rest pose is pose 0 of restPosePath (Init.chb), read through the same cache as clips.
    CPoseEvaluator(CMotionManager& manager, std::string restPosePath, WaitHook wait = {});

    // Writes the sample's pose into `out`; false (out untouched) when only B is named or a
    // named motion gives no pose.
    bool Evaluate(const FrameSample& sample, CHTR& out, MixMode mode = MixMode::kHoldFeet);

    // The same as a new pose (allocating), or none; for callers that keep every frame.
    std::unique_ptr<CHTR> PoseOf(const FrameSample& sample, MixMode mode = MixMode::kHoldFeet);

    // Forgets the held feet kept (they are remade on the next frame of a blend).
    void Invalidate() { held_.Invalidate(); }

    const std::string& RestPosePath() const { return restPosePath_; }

private:
    void HoldFeet(const FrameSample& sample, CHTR& out);
    void HoldFeetOn(const FrameSample& sample, CHTR& out);
    void ApplyLayersOnClip(const FrameSample& sample, bool plain, CHTR& out);
    static constexpr float kStillAnkle = 1e-3f;  // mm

    CMotionManager& manager_;
    std::string restPosePath_;
    WaitHook wait_;
    CFrameMixer mixer_;
    CHeldFade held_;
    CLayerMixer layers_;
};

}  // namespace tavrel
