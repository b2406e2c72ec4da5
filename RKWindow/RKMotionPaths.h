#pragma once
// Motion paths in the 3D world: the node "MotionPaths" holds one line list of the ways the
// root, the feet and the picked segment take over the timeline, each in its own colour, with a
// tick across it every ten frames and the stretches in which a foot is planted in red, marked
// where each plant begins. The lines are remade when the timeline's clips, the picked segment
// or the stretch shown change, and move with the avatar when the object tool moves it.
#include <cstdint>
#include <string>
#include <vector>

#include "RKWindow/MotionPath.h"
#include "RKWindow/RKSystem.h"
#include "compose/PoseEvaluator.h"
#include "timeline/TimelineProject.h"

namespace tavrel {

class CRKMotionPaths {
public:
    static constexpr const char* kNodeName = kMotionPathsNode;
    // A minute of frames: a longer timeline shows the minute around the current frame, moved on
    // by kShift frames at a time.
    static constexpr int kMostFrames = 3600;
    static constexpr int kShift = 600;

    CRKMotionPaths(CMotionManager& manager, std::string restPosePath);
    CRKMotionPaths(const CRKMotionPaths&) = delete;
    CRKMotionPaths& operator=(const CRKMotionPaths&) = delete;

    // Links the paths' node into the world (hidden until shown).
    void Attach(CRKSystem& system);
    void Show(bool shown);
    bool IsShown() const { return shown_; }
    // The segment whose path is drawn beside the root's and the feet's ("" for none).
    void SetPicked(const std::string& segment);
    const std::string& Picked() const { return picked_; }
    // Remakes the lines for the timeline (none: no lines) when its state (see
    // CTimelineModel::ContentState), the picked segment or the stretch around the frame changed.
    void Update(const CTimelineProject* project, uint64_t state, int frame);
    // Forgets the paths made (the motion files may have changed).
    void Clear();
    const std::vector<MotionPath>& Paths() const { return paths_; }

    // The frames the paths cover around the current frame of a timeline ending at last.
    static std::pair<int, int> ShownRange(int last, int frame);

private:
    void Rebuild(const CTimelineProject& project, std::pair<int, int> range);
    void SetVisual(rkVisual* visual);

    CPoseEvaluator evaluator_;
    CRKSystem* system_ = nullptr;
    CRKNode* node_ = nullptr;
    rkVisual* visual_ = nullptr;
    bool shown_ = false;
    std::string picked_;
    std::vector<MotionPath> paths_;
    // What the paths were made from.
    const CTimelineProject* builtProject_ = nullptr;
    uint64_t builtState_ = 0;
    std::string builtPicked_;
    std::pair<int, int> builtRange_{0, -1};
};

// The lines of the paths, as a line list with a colour per vertex (drawn unlit).
rkVisual* rkCreatePathVisual(const std::vector<MotionPath>& paths);

}  // namespace tavrel
