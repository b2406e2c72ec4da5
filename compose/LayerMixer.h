#pragma once
// The layers over the motion track at one frame, applied onto the pose the clips below give.
// Layers go bottom first; at each, the clip under the frame counts by its weight (through its
// eases) on the segments of its body mask:
// - additive: the clip's turn of each segment from its own first frame is added onto the pose;
// - override: the pose turns toward the clip's (the root moves toward it too), wholly at 1;
// - keys: each keyed segment takes the keys' turn at the frame.
// Segments are matched by name, so a motion of another figure changes only the segments both
// have.
//
// Memory: nothing is allocated once the mixer's two poses have the shape of the layer motions
// shown (they take it on the first frame that shows one).
#include <array>

#include "compose/ClipPoses.h"
#include "timeline/FrameSample.h"

namespace tavrel {

class CLayerMixer {
public:
    // The sample's layers at its frame onto pose. Clips whose motion gives no pose are left out.
    void Apply(CMotionManager& manager, const FrameSample& sample, CHTR& pose,
               const WaitHook& wait = {});
    // Whether the layers at the sample's frame change the legs on top of the clips (additive
    // and key clips) and none takes them over: the clips' planted feet are then held. An
    // override reaching the legs brings its own feet.
    static bool AddsToLegs(const FrameSample& sample);

private:
    using SegmentNodes = std::array<rkNode*, kStandardSegmentCount>;  // null where none
    void ApplyMotion(CMotionManager& manager, const LayerClip& clip, int frame, float weight,
                     const SegmentNodes& out, const WaitHook& wait);

    CHTR clip_, first_;
};

}  // namespace tavrel
