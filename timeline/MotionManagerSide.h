#pragma once
// The motion side over the motion manager: every request reads motions through the cache and
// writes a new motion file with CMotion's editing operations.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "motion/MotionManager.h"
#include "timeline/MotionSide.h"

namespace tavrel {

class CMotionManagerSide : public CMotionSide {
public:
    // Writes a one-frame motion of the avatar's pose (the pose-clip edit kinds, see EditKind) to the path.
    using PoseWriter = std::function<bool(int kind, const std::string& target)>;

    explicit CMotionManagerSide(CMotionManager& manager) : manager_(manager) {}
    // The 3D side plugs in here; without it pose clips fail.
    void SetPoseWriter(PoseWriter writer) { poseWriter_ = std::move(writer); }

    void Forget(const std::string& path) override;
    int FrameCount(const std::string& path) override;
    bool NeedsConversion(const std::string& path, int fps) override;
    bool Convert(const std::string& path, const std::string& target, int fps, ImportNotes* notes,
                 const std::string& take) override;
    std::vector<std::string> TakesOf(const std::string& path) override;
    std::string UnusableReason(const std::string& path) override;
    bool Split(const std::string& path, int firstLength, const std::string& targetA,
               const std::string& targetB) override;
    bool Resample(const std::string& source, int newLength, const std::string& target,
                  SpeedCurve curve) override;
    bool Reverse(const std::string& path, const std::string& target) override;
    bool Mirror(const std::string& path, const std::string& target, std::string* problem) override;
    bool Repeat(const std::string& path, int times, const std::string& target) override;
    bool Align(const std::string& previous, int previousLast, const std::string& path,
               const std::string& segment, const std::string& target) override;
    bool RotateSegment(const std::string& path, const std::string& segment,
                       const SegmentRotation& rotation, bool absolute,
                       const std::string& target) override;
    bool WritePoseClip(int kind, const std::string& target) override;
    std::optional<GroundPlace> RootPlace(const std::string& path, int local) override;
    FootContacts FootContactsOf(const std::string& path) override;
    TransitionPoint BestTransition(const std::string& a, const std::string& b,
                                   const MatchLimits& limits) override;

private:
    using Writer = std::function<bool(const std::vector<std::string>& temporaries)>;
    // Lets the writer write temporary files beside the targets and renames them into place
    // only when every one was written: a failed write never leaves a partial file under a
    // target's name, nor replaces a target that existed. The cache forgets the targets.
    bool WriteFiles(const std::vector<std::string>& targets, const Writer& write);

    CMotionManager& manager_;
    PoseWriter poseWriter_;
    std::map<std::string, FootContacts> contacts_;
};

}  // namespace tavrel
