#pragma once
// The 3D window without its window: the 3D system it draws with, and the timeline's frames on
// the avatar. Every frame shown is stored in the display motion at its timeline frame, mixed
// from the sample's motions through its transition curve, with the media track's picture or
// video frame behind. The Qt view hosts one of these; tests and tavrel-cli drive it headless.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "RKWindow/RKGhosts.h"
#include "RKWindow/RKMotionPaths.h"
#include "RKWindow/RKSystem.h"
#include "RKWindow/TimelineView.h"
#include "base/RegularFile.h"
#include "compose/PoseEvaluator.h"
#include "media/RAvi.h"
#include "motion/Motion.h"
#include "motion/MotionManager.h"
#include "timeline/FrameSample.h"
#include "timeline/MotionManagerSide.h"

namespace tavrel {

class CRKWindow {
public:
    // Frames beyond the timeline's last are not stored: a sample cannot lie there.
    static constexpr int kMaxFrames = 18000;

    // The manager is the process-wide motion cache; the data folder holds Init.chb and the
    // avatar.
    CRKWindow(CMotionManager& manager, std::string dataFolder);
    ~CRKWindow();
    CRKWindow(const CRKWindow&) = delete;
    CRKWindow& operator=(const CRKWindow&) = delete;

    // Creates the 3D system for the host at that size and its world; false without a device.
    bool Initialise(rkHost* host, int width, int height);

    // Shows one timeline frame (see the .cpp). 1 when a pose was stored or the rest pose shown;
    // 0 when only motion B is named, or a named motion gives no pose (the previous pose stays).
    int ShowFrameSample(FrameSample sample, int32_t redraw);
    // 1 and f becomes the current frame when it lies in the display motion; else 0.
    int SetCurrentFrame(int f);
    int GetCurrentFrame() const { return currentFrame_; }
    // Puts the display motion's pose at the current frame on the avatar and draws once; the
    // drawing's result (CRKSystem::DrawScene).
    int ShowCurrentFrame();
    // Only puts the pose on the avatar (to place a camera around it before drawing).
    void PoseCurrentFrame();

    // One-frame motion files of the display motion's pose i, or of the initial pose; 1 or 0.
    int WritePoseClip(const std::string& path, int i);
    int WriteInitialPoseClip(const std::string& path);
    // The hook the timeline's pose-clip edits write through: kEditInitialPoseClip the initial
    // pose, kEditPoseClip and kEditPoseClipAlternate the pose on screen.
    CMotionManagerSide::PoseWriter PoseWriter();

    // Where the ghosts and paths find the timeline, asked at each timeline frame shown.
    void SetTimelineSource(TimelineSource source) { timeline_ = std::move(source); }
    // Poses the ghosts and remakes the paths around the timeline frame shown last (after a
    // change of their settings); LeaveTimelineViews takes both away until the next frame.
    void UpdateTimelineViews();
    void LeaveTimelineViews();
    // Forgets the ghosts' poses and the paths (the motion files may have changed).
    void ClearTimelineViews();
    CRKGhosts& Ghosts() { return ghosts_; }
    CRKMotionPaths& Paths() { return paths_; }

    CMotion& DisplayMotion() { return *display_; }
    const std::string& CurrentClipName() const { return clipName_; }
    CRKSystem& System() { return system_; }
    CRAvi& Video() { return video_; }
    std::string InitialPosePath() const;

    // Called with true before work that may read a file and false after it (the wait cursor).
    std::function<void(bool)> waitCursor;
    // Where finished frames go (none: they stay in the back surface for reading back).
    rkHost* presentTarget = nullptr;

private:
    // Shows the wait cursor while it lives.
    class Waiting {
    public:
        explicit Waiting(const CRKWindow& w) : w_(w) {
            if (w_.waitCursor) w_.waitCursor(true);
        }
        ~Waiting() {
            if (w_.waitCursor) w_.waitCursor(false);
        }

    private:
        const CRKWindow& w_;
    };

    void ShowMedia(const FrameSample& sample);
    void MediaFailed(const std::string& file, bool video);
    // Stores the pose as frame f of the display motion and makes f current.
    void Store(int f, const CHTR& pose);

    CMotionManager& manager_;
    std::string dataFolder_;
    CRKSystem system_;
    // After the system: they go first, while the world they draw in is still there.
    CRKGhosts ghosts_;
    CRKMotionPaths paths_;
    TimelineSource timeline_;
    int timelineFrame_ = 0;  // the timeline frame shown last
    std::unique_ptr<CMotion> display_;
    std::unique_ptr<CHTR> avatarPose_;
    CPoseEvaluator evaluator_;
    CHTR shown_;  // the pose the last sample gave, before it is stored
    int currentFrame_ = 0;
    std::string clipName_;
    CRAvi video_;
    FileIdentity videoIdentity_;  // of the file video_ was opened from
    bool videoShown_ = false;  // the picture behind is a frame of video_
    // The media file that could not be shown last, as it was then.
    struct MediaFailure {
        std::string path;
        std::filesystem::file_time_type changed;
        bool video = false;
        bool Matches(const std::string& file, bool asVideo) const;
    } mediaFailure_;
};

}  // namespace tavrel
