#pragma once
// What the timeline asks of the motion side: every request that changes motion data writes a
// new motion file (or rewrites a stretched one) and answers whether it worked. The timeline
// never reads or changes motion data itself.
#include <optional>
#include <string>
#include <vector>

#include "motion/FootContacts.h"
#include "motion/GroundPlace.h"
#include "motion/SpeedCurve.h"
#include "motion/TransitionMatch.h"

namespace tavrel {

// A rotation as a quaternion w, x, y, z.
struct SegmentRotation {
    float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;
};

// What the user is told of a motion brought in from another skeleton.
struct ImportNotes {
    std::vector<std::string> unmapped;  // joints that found no place on ours
    std::string skeleton;               // which of several skeletons was taken; "" for one
};

class CMotionSide {
public:
    virtual ~CMotionSide() = default;

    // The file at this path was replaced or deleted without the motion side: whatever it
    // remembers of it is stale.
    virtual void Forget(const std::string& path) = 0;
    // Number of frames of the motion file, or -1 when it cannot be read.
    virtual int FrameCount(const std::string& path) = 0;
    // Whether a file is converted on its way in rather than copied: HTR files, other
    // skeletons and (fps > 0) other frame rates.
    virtual bool NeedsConversion(const std::string& path, int fps) = 0;
    // Writes the motion file in the program's own format under target, on the standard
    // skeleton and (fps > 0) at that frame rate; of a file of takes the named one (the first
    // when empty). What the user is told of the import goes into notes when given.
    virtual bool Convert(const std::string& path, const std::string& target, int fps,
                         ImportNotes* notes, const std::string& take) = 0;
    // Why the motion file cannot come onto the timeline (for the user); empty when it can or
    // the side cannot tell.
    virtual std::string UnusableReason(const std::string&) { return {}; }
    // The takes of a file that holds several motions (a scene file); empty for other files.
    virtual std::vector<std::string> TakesOf(const std::string&) { return {}; }
    // Frames 0 to firstLength - 1 to targetA, the rest to targetB.
    virtual bool Split(const std::string& path, int firstLength, const std::string& targetA,
                       const std::string& targetB) = 0;
    // The source stretched or squeezed in time to newLength frames, its speed following the
    // curve; target may exist and is then replaced whole or not at all.
    virtual bool Resample(const std::string& source, int newLength, const std::string& target,
                          SpeedCurve curve) = 0;
    virtual bool Reverse(const std::string& path, const std::string& target) = 0;
    // The motion's mirror image: left and right swapped, reflected across the figure's facing.
    // False when it cannot be made, with the reason for the user in `problem` when the figure
    // has no left and right to swap.
    virtual bool Mirror(const std::string&, const std::string&, std::string* problem) {
        if (problem) problem->clear();
        return false;
    }
    // The motion played `times` times, each repeat walking on from where the one before ended.
    virtual bool Repeat(const std::string&, int, const std::string&) { return false; }
    // The motion moved so that the segment starts where it is in `previous` at its frame
    // previousLast.
    virtual bool Align(const std::string& previous, int previousLast, const std::string& path,
                       const std::string& segment, const std::string& target) = 0;
    // One segment turned (absolute: set to the rotation; else added to it) in every frame.
    virtual bool RotateSegment(const std::string& path, const std::string& segment,
                               const SegmentRotation& rotation, bool absolute,
                               const std::string& target) = 0;
    // A one-frame motion of the avatar's pose: kEditInitialPoseClip the initial pose,
    // kEditPoseClip and kEditPoseClipAlternate the current one. Written by the 3D side.
    virtual bool WritePoseClip(int kind, const std::string& target) = 0;
    // Where the motion's root stands on the floor and which way it faces at frame `local`
    // (from 0); none when the motion cannot tell, and then clips keep their places.
    virtual std::optional<GroundPlace> RootPlace(const std::string&, int) { return std::nullopt; }
    // Where the motion's feet are planted (found once and kept with the motion).
    virtual FootContacts FootContactsOf(const std::string&) { return {}; }
    // Where motion b should start to blend into the end of motion a (see BestTransition);
    // none when the side cannot tell.
    virtual TransitionPoint BestTransition(const std::string&, const std::string&,
                                           const MatchLimits&) {
        return {};
    }
};

}  // namespace tavrel
