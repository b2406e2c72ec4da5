#pragma once
// Ghosts (onion skin): the avatar drawn faint at frames before the current one in one colour
// and after it in another, fainter the further they lie. Each ghost is the avatar's own body
// (each part merged to a coarser shape) with the timeline's pose of its frame put on the
// avatar's nodes for one blended pass, depth
// tested against the avatar, drawn after everything else by a render callback of the world's
// last node. Poses come from the one timeline evaluation and are kept per frame for one state
// of the timeline's clips, so playing forward evaluates only the frame that comes into reach.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RKWindow/RKSystem.h"
#include "compose/PoseEvaluator.h"
#include "timeline/TimelineProject.h"

namespace tavrel {

struct GhostSettings {
    static constexpr int kMostCount = 8;
    static constexpr int kMostStep = 30;

    bool shown = false;
    int count = 4;  // ghosts on each side of the current frame
    int step = 5;   // frames from one ghost to the next

    // The same with the count in 1..kMostCount and the step in 1..kMostStep.
    GhostSettings Clamped() const;
    bool operator==(const GhostSettings&) const = default;
};

class CRKGhosts {
public:
    static constexpr const char* kNodeName = kGhostsNode;
    // mm: the grid a ghost's shape is merged on; fine enough for the figure, coarse enough
    // for eight ghosts to cost less than the avatar.
    static constexpr float kShapeCell = 50.0f;

    CRKGhosts(CMotionManager& manager, std::string restPosePath);
    ~CRKGhosts();
    CRKGhosts(const CRKGhosts&) = delete;
    CRKGhosts& operator=(const CRKGhosts&) = delete;

    // Links the drawing node as the world's last and notes the avatar's body parts.
    void Attach(CRKSystem& system);
    void SetSettings(const GhostSettings& settings);
    const GhostSettings& Settings() const { return settings_; }
    // Poses the ghosts around the frame of the timeline (none: no ghosts). state names the
    // timeline's clips as they stand (CTimelineModel::ContentState): poses kept for another
    // state are forgotten. Frames before 0 and after the timeline's last are left out.
    void Update(const CTimelineProject* project, uint64_t state, int frame);
    // Forgets every pose kept (the motion files may have changed).
    void Clear();
    // The frames of the ghosts posed, nearest first on each side, those before first.
    std::vector<int> Frames() const;

private:
    struct Ghost {
        int frame;
        bool past;
        float alpha;
        const CHTR* pose;
    };

    static void Render(uint32_t event, rkNode* node, void* self);
    void Draw();
    void DrawGhost(const Ghost& ghost, const rkVector& move);
    const CHTR* PoseAt(const CTimelineProject& project, int frame);
    void ForgetFarPoses(int frame);

    CPoseEvaluator evaluator_;
    GhostSettings settings_;
    CRKSystem* system_ = nullptr;
    rkCallback* callback_ = nullptr;
    std::vector<rkNode*> avatarNodes_;  // in the order CHTR::CopyLocals walks them
    std::vector<rkMatrix> kept_;        // the avatar's own pose while a ghost borrows its nodes
    // Each body part's node and the coarser shape a ghost draws of it (see rkCreateGhostMesh).
    struct Part {
        rkNode* node;
        rkMesh* shape;
    };
    std::vector<Part> parts_;
    std::map<int, std::unique_ptr<CHTR>> poses_;
    const CTimelineProject* posedProject_ = nullptr;
    uint64_t posedState_ = 0;
    std::vector<Ghost> ghosts_;
};

}  // namespace tavrel
