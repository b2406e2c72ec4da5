#pragma once
// The poses a frame sample names, read from the motion cache into poses the caller keeps: each
// clip's pose where its place puts it, and the feet its motion has planted there.
#include <array>
#include <functional>
#include <string>

#include "motion/Chtr.h"
#include "motion/MotionManager.h"
#include "motion/TwoBoneIK.h"
#include "timeline/FrameSample.h"

namespace tavrel {

// Called with true before a motion file may be read and with false after it.
using WaitHook = std::function<void(bool)>;

// Pose `local` of a cached motion file copied into `out` (allocating only when out has another
// shape); false, with a debug line and out untouched, when the motion has no such pose.
bool CopyCachedPose(CMotionManager& manager, const std::string& file, int local, CHTR& out,
                    const WaitHook& wait = {});

// The same, standing where the place puts it unless plain.
bool CopyClipPose(CMotionManager& manager, const std::string& file, int local,
                  const ClipPlace& place, bool plain, CHTR& out, const WaitHook& wait = {});

// B's share of a blend at the sample: its weight through A's transition curve.
float ShareOfB(const FrameSample& sample);

// A mixed into B by B's share, into out (which takes A's shape).
void MixInto(const CHTR& a, const CHTR& b, float shareOfB, CHTR& out);

// Each foot of a clip's placed pose at its frame `local`, with how firmly the clip has it
// planted there (not at all when its feet are free).
std::array<BlendFoot, 2> FeetOfClip(CMotionManager& manager, const std::string& file, int local,
                                    bool feetFree, const CHTR& pose);

// Where the planted feet of the sample's placed poses a and b would hold the mix's feet; b
// shows B's frame localB (the sample's own unless B's time is warped).
FootLocks LocksOfMix(CMotionManager& manager, const FrameSample& sample, const CHTR& a,
                     const CHTR& b, float shareOfB, int localB);

}  // namespace tavrel
