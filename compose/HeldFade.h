#pragma once
// The held feet of one blend. A lock that takes hold in the middle of a blend is eased by the
// frames around it, so a frame's lock depends on the frames before and after: all of a blend's
// locks are made at once, when one of its frames is first asked for, and kept while the blend's
// clips, places, curve and poses stay the same. A foot still held where A planted it when the
// blend ends stays held into the frames B shows alone, until B has lifted it and brought it down
// where B plants it: those frames' locks are made with the blend's.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "compose/ClipPoses.h"

namespace tavrel {

class CHeldFade {
public:
    // The most frames of locks kept: one blend, at most the whole timeline (32 bytes a frame).
    static constexpr int kMaxFrames = kMaxFrame + 1;

    // The locks at the sample's frame, or none when the sample is no frame of a blend nor one
    // its held feet run on into. Making them allocates; asking again for a frame of the same
    // blend does not.
    const FootLocks* LocksAt(CMotionManager& manager, const FrameSample& sample,
                             const WaitHook& wait);
    // Forgets the kept locks and frees them.
    void Invalidate();

private:
    // Everything the locks depend on.
    struct Key {
        std::string fileA, fileB;
        ClipPlace placeA, placeB;
        CurveType curve = kCurveLinear;
        FadeSpan fade;
        uint64_t serialA = 0, serialB = 0;
    };
    // What a blend's locks are looked up by: the blend's sample, or a sample after it.
    struct BlendOf {
        const std::string &fileA, &fileB;
        const ClipPlace &placeA, &placeB;
        CurveType curve;
        const FadeSpan& fade;
    };
    bool Holds(CMotionManager& manager, const BlendOf& blend) const;
    void Make(CMotionManager& manager, const FrameSample& sample);

    Key key_;
    std::vector<FootLocks> locks_;
};

}  // namespace tavrel
