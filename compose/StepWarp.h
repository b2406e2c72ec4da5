#pragma once
// Two gaits in step through a cross-fade: the incoming clip's time is warped over the overlap so
// that each foot comes down and lifts when the outgoing clip's same foot does, while the
// overlap's first and last frames keep the incoming clip's own frames (outside the overlap each
// clip keeps its own timing). The warp goes straight from one met plant to the next, never
// slower than half or faster than twice the clip's own speed.
#include <string>
#include <vector>

#include "motion/FootContacts.h"
#include "timeline/FrameSample.h"

namespace tavrel {

class CStepWarp {
public:
    // No warp: B plays its own frames.
    CStepWarp() = default;

    // The warp of B through the fade, from both clips' plants; none (the reason in `why`)
    // where the fade is no overlap of the two clips, either has no plants of both feet, or no
    // step of B can meet one of A's.
    static CStepWarp InStep(const FootContacts& a, const FootContacts& b, const FadeSpan& fade,
                            std::string* why = nullptr);

    bool Warps() const { return !anchors_.empty(); }
    // B's frame (from its first, with a fraction) at the timeline frame; its own frame where
    // there is no warp or the frame lies outside the fade.
    double LocalOfB(int frame, int bFirst) const;

    struct Anchor {
        double frame;  // timeline frame
        double local;  // B's frame there
    };
    const std::vector<Anchor>& Anchors() const { return anchors_; }

private:
    std::vector<Anchor> anchors_;  // increasing in both, from the fade's first frame to its last
};

}  // namespace tavrel
