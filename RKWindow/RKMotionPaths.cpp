#include "RKWindow/RKMotionPaths.h"

#include <algorithm>
#include <cmath>

#include "RKWindow/RKGuides.h"
#include "motion/GroundPlace.h"
#include "timeline/FrameSample.h"

namespace tavrel {

namespace {

constexpr const char* kRoot = "LowerTorso";
constexpr const char* kFeet[] = {"LFoot", "RFoot"};
constexpr uint32_t kRootColour = 0xFFFFD23C;
constexpr uint32_t kFootColours[] = {0xFF3CC8FF, 0xFFFF64C8};
constexpr uint32_t kPickedColour = 0xFF8CFF5A;
constexpr uint32_t kPlantColour = 0xFFFF3A3A;
constexpr uint32_t kTickColour = 0xFFFFFFFF;
constexpr float kTickHalf = 40.0f;   // mm across the path
constexpr float kPlantHalf = 70.0f;  // mm: the diamond where a plant begins
constexpr float kAboveFloor = 5.0f;  // mm: a foot's line never sinks into the floor grid

uint32_t ColourOf(const std::string& segment) {
    if (segment == kRoot) return kRootColour;
    for (int side = 0; side < 2; ++side) {
        if (segment == kFeet[side]) return kFootColours[side];
    }
    return kPickedColour;
}

rkVector AboveFloor(rkVector p) {
    p.z = std::max(p.z, kGroundHeight + kAboveFloor);
    return p;
}

void AddLine(rkMesh* mesh, rkVector a, rkVector b, uint32_t colour) {
    rkVertex v{};
    v.colour = colour;
    v.position = AboveFloor(a);
    rkAddVertex(mesh, v);
    v.position = AboveFloor(b);
    rkAddVertex(mesh, v);
}

// Across the path at point i, in the floor's plane.
rkVector Across(const MotionPath& path, int i) {
    const int n = int(path.points.size());
    const rkVector d = path.points[std::min(i + 1, n - 1)] - path.points[std::max(i - 1, 0)];
    const float length = std::hypot(d.x, d.y);
    return length > 1e-3f ? rkVector{-d.y / length, d.x / length, 0} : rkVector{1, 0, 0};
}

void AddPath(rkMesh* mesh, const MotionPath& path) {
    const uint32_t colour = ColourOf(path.segment);
    for (size_t i = 1; i < path.points.size(); ++i) {
        const int frame = path.first + int(i);
        const bool planted = path.PlantedAt(frame - 1) && path.PlantedAt(frame);
        AddLine(mesh, path.points[i - 1], path.points[i], planted ? kPlantColour : colour);
    }
    for (int tick : path.ticks) {
        const int i = tick - path.first;
        const rkVector across = Across(path, i) * kTickHalf, at = path.points[size_t(i)];
        AddLine(mesh, at - across, at + across, kTickColour);
    }
    for (const FootPlant& plant : path.plants) {
        const rkVector at = path.points[size_t(plant.first - path.first)];
        const rkVector corners[4] = {
            at + rkVector{kPlantHalf, 0, 0}, at + rkVector{0, kPlantHalf, 0},
            at - rkVector{kPlantHalf, 0, 0}, at - rkVector{0, kPlantHalf, 0}};
        for (int c = 0; c < 4; ++c) AddLine(mesh, corners[c], corners[(c + 1) % 4], kPlantColour);
    }
}

void FollowAvatar(uint32_t, rkNode* node, void* system) {
    const rkVector move = static_cast<CRKSystem*>(system)->AvatarMove();
    node->local.m[12] = move.x, node->local.m[13] = move.y, node->local.m[14] = move.z;
}

}  // namespace

rkVisual* rkCreatePathVisual(const std::vector<MotionPath>& paths) {
    rkVisual* visual = rkCreateVisual(RK_LINELIST, RK_VERTEX_UNLIT);
    if (!visual) return nullptr;
    // The lines show their own colours, unlit and untextured.
    visual->mesh.flags |= RK_MESH_STATE;
    visual->state = rkDefaultState;
    visual->state.lighting = 0;
    visual->state.texturing = 0;
    for (const MotionPath& path : paths) AddPath(&visual->mesh, path);
    return visual;
}

CRKMotionPaths::CRKMotionPaths(CMotionManager& manager, std::string restPosePath)
    : evaluator_(manager, std::move(restPosePath)) {}

void CRKMotionPaths::Attach(CRKSystem& system) {
    system_ = &system;
    if (!system.World()) return;
    auto node = std::make_unique<CRKNode>(kNodeName);
    // The lines stand where the object tool has moved the avatar, at every frame.
    node->Attach(&rkCreateCallback(RK_EVENT_PRE_UPDATE, FollowAvatar, &system)->head);
    node_ = system.World()->Link(std::move(node));
    if (!node_) return;
    node_->Show(false);
    rkCompileNode(node_->Node());
}

void CRKMotionPaths::Show(bool shown) {
    shown_ = shown;
    if (node_) node_->Show(shown && visual_);
}

void CRKMotionPaths::SetPicked(const std::string& segment) {
    picked_ = segment;
}

void CRKMotionPaths::Clear() {
    builtProject_ = nullptr;
    paths_.clear();
    SetVisual(nullptr);
}

std::pair<int, int> CRKMotionPaths::ShownRange(int last, int frame) {
    if (last < 0) return {0, -1};
    if (last < kMostFrames) return {0, last};
    const int start = (std::max(frame - kMostFrames / 2, 0) / kShift) * kShift;
    const int first = std::min(start, last + 1 - kMostFrames);
    return {first, first + kMostFrames - 1};
}

void CRKMotionPaths::Update(const CTimelineProject* project, uint64_t state, int frame) {
    if (!shown_ || !project || !node_) {
        if (node_) node_->Show(false);
        return;
    }
    const auto range = ShownRange(project->LastFrame(), frame);
    if (project != builtProject_ || state != builtState_ || picked_ != builtPicked_ ||
        range != builtRange_) {
        Rebuild(*project, range);
        builtProject_ = project;
        builtState_ = state;
        builtPicked_ = picked_;
        builtRange_ = range;
    }
    node_->Show(visual_ != nullptr);
}

void CRKMotionPaths::Rebuild(const CTimelineProject& project, std::pair<int, int> range) {
    std::vector<std::string> segments{kRoot, kFeet[0], kFeet[1]};
    if (!picked_.empty() && std::find(segments.begin(), segments.end(), picked_) == segments.end())
        segments.push_back(picked_);
    CHTR pose;
    paths_ = BuildMotionPaths(
        range.first, range.second, project.LastFrame(), segments, [&](int frame) -> const rkNode* {
            const bool posed = evaluator_.Evaluate(GetFrameSample(&project, frame), pose);
            return posed ? pose.GetRoot() : nullptr;
        });
    SetVisual(paths_.empty() ? nullptr : rkCreatePathVisual(paths_));
}

void CRKMotionPaths::SetVisual(rkVisual* visual) {
    if (visual_ && node_) {
        rkDetachObject(node_->Node(), &visual_->head);
        rkFreeVisual(visual_);
    }
    visual_ = visual;
    if (visual_ && node_) node_->Attach(&visual_->head);
    if (node_) {
        rkCompileNode(node_->Node());
        node_->Show(shown_ && visual_);
    }
}

}  // namespace tavrel
