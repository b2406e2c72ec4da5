#pragma once
// A cycle played several times over, walking on: each repeat starts where the one before ended
// (its floor place and heading carried on, a planted foot kept where it stands), and where the
// cycle's two ends differ the difference is spread over a few frames on each side of the seam.
#include <functional>
#include <memory>
#include <vector>

#include "motion/FootContacts.h"
#include "motion/GroundPlace.h"
#include "motion/Quaternion.h"

namespace tavrel {

class CHTR;

struct RepeatLimits {
    static constexpr int kFewest = 2;
    static constexpr int kMost = 100;
    static constexpr float kSeamSeconds = 0.2f;  // blended on each side of a seam
};

// What joins one repeat to the next, found once from the cycle's ends.
struct CycleSeam {
    GroundPlace next;         // the place of a repeat on the one before it
    std::vector<Quat> turn;   // each node's jump at the seam, in pre-order (a left factor)
    rkVector shift{0, 0, 0};  // the root's jump, in the earlier repeat's frame
    int blendFrames = 1;
};

// The seam of a cycle of `count` frames (at least two) with its feet's plants.
CycleSeam FindCycleSeam(int count, const PoseAt& poseAt, const FootContacts& contacts,
                        int blendFrames);

// The repeated motion frame after frame, made as it is asked for: nothing of it is kept.
class CCycleRepeat {
public:
    // The cycle of `count` frames played `times` times (kFewest to kMost).
    CCycleRepeat(int count, PoseAt poseAt, const FootContacts& contacts, int times,
                 int blendFrames);
    ~CCycleRepeat();
    // False when refused: too few frames or repeats, or a pose missing at the cycle's ends.
    bool Ready() const { return ready_; }
    int Frames() const { return count_ * times_; }
    // The next frame (from 0 on); null past the last or where the cycle gives no pose.
    const rkNode* Next();

private:
    int count_, times_;
    PoseAt poseAt_;
    CycleSeam seam_;
    rkVector shiftAfter_{0, 0, 0};  // the seam's jump seen from the later repeat's frame
    std::unique_ptr<CHTR> work_;
    GroundPlace place_;  // of the current repeat in the first one's frame
    int next_ = 0;
    bool ready_ = false;
};

// Receives frame `frame` (from 0) of the repeated motion.
using PoseSink = std::function<bool(int frame, const rkNode* pose)>;

// Writes the cycle `times` times over (kFewest to kMost) through `store`; false when refused
// (too few frames or repeats, a pose missing) or when `store` fails.
bool RepeatCycle(int count, const PoseAt& poseAt, const FootContacts& contacts, int times,
                 int blendFrames, const PoseSink& store);

}  // namespace tavrel
