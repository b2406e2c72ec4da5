#pragma once
// The ways the root, the feet and a picked segment take over a stretch of the timeline, as the
// 3D window draws them: a point per frame, a tick every kTickFrames timeline frames, and the
// runs of frames in which a foot is planted (found by FindFootContacts over the frames shown).
#include <functional>
#include <string>
#include <vector>

#include "ZU2/rkMath.h"
#include "ZU2/rkNode.h"
#include "motion/FootContacts.h"

namespace tavrel {

struct MotionPath {
    static constexpr int kTickFrames = 10;

    std::string segment;
    int first = 0;                  // the timeline frame of points[0]
    std::vector<rkVector> points;   // the segment's place in the world at each frame from first
    std::vector<int> ticks;         // timeline frames with a tick: the multiples of kTickFrames
    std::vector<FootPlant> plants;  // timeline frames in which this foot is planted (feet only)

    int Last() const { return first + int(points.size()) - 1; }
    bool PlantedAt(int frame) const;
};

// The timeline's pose at a frame, or null where it has none. It may hand out one tree refilled
// frame by frame; after a null it must still hold the pose before.
using TimelinePoseAt = std::function<const rkNode*(int frame)>;

// The paths of the named segments over the frames from..to, cut to the timeline's 0..last
// (frames outside it are skipped). A path starts at the first frame with a pose; a frame
// without one later on keeps the pose before, as the 3D window does. A segment the poses lack
// has no path; an empty timeline (last < 0) has none at all.
std::vector<MotionPath> BuildMotionPaths(int from, int to, int last,
                                         const std::vector<std::string>& segments,
                                         const TimelinePoseAt& poseAt);

}  // namespace tavrel
