#include "RKWindow/RKGhosts.h"

#include <algorithm>
#include <cstdlib>

#include "RKWindow/GhostMesh.h"
#include "ZU2/rkDevice.h"
#include "timeline/FrameSample.h"

namespace tavrel {

namespace {

// Past frames bluish, future ones amber: both stand out from the avatar and the background.
constexpr float kPastColour[3] = {0.35f, 0.62f, 1.0f};
constexpr float kFutureColour[3] = {1.0f, 0.62f, 0.25f};
// The nearest ghost shows clearly, the furthest still reads against the background.
constexpr float kNearAlpha = 0.5f;
constexpr float kFarAlpha = 0.22f;
constexpr int kBlendSourceAlpha = 5, kBlendInverseSourceAlpha = 6;
constexpr int kBlendOne = 2, kBlendZero = 1;

void CollectNode(int, rkNode* node, void* list) {
    static_cast<std::vector<rkNode*>*>(list)->push_back(node);
}

rkMaterial GhostMaterial(bool past, float alpha) {
    const float* c = past ? kPastColour : kFutureColour;
    rkMaterial m{};
    for (int i = 0; i < 3; ++i) m.ambient[i] = m.diffuse[i] = c[i];
    m.ambient[3] = m.diffuse[3] = alpha;
    m.specular[0] = m.specular[1] = m.specular[2] = 0.3f;
    m.specular[3] = alpha;
    m.power = 20.0f;
    return m;
}

float AlphaOf(int k, int count) {
    if (count <= 1) return kNearAlpha;
    return kNearAlpha - (kNearAlpha - kFarAlpha) * float(k - 1) / float(count - 1);
}

float Distance2(rkVector a, rkVector b) {
    const rkVector d = a - b;
    return d.x * d.x + d.y * d.y + d.z * d.z;
}

}  // namespace

GhostSettings GhostSettings::Clamped() const {
    return {shown, std::clamp(count, 1, kMostCount), std::clamp(step, 1, kMostStep)};
}

CRKGhosts::CRKGhosts(CMotionManager& manager, std::string restPosePath)
    : evaluator_(manager, std::move(restPosePath)) {}

CRKGhosts::~CRKGhosts() {
    // The world may outlive this: its callback must not call back into it.
    if (callback_) callback_->function = nullptr;
    for (Part& part : parts_) rkFreeMesh(part.shape);
}

void CRKGhosts::Attach(CRKSystem& system) {
    system_ = &system;
    CRKNode* avatar = system.Avatar();
    if (!system.World() || !avatar) return;
    rkTraverse(avatar->Node(), RK_PRE_ORDER, CollectNode, &avatarNodes_);
    kept_.resize(avatarNodes_.size());
    for (rkNode* node : avatarNodes_) {
        for (int slot = 0; slot < node->capacity; ++slot) {
            rkObject* object = node->objects[slot];
            if (!object || object->cls != RK_VISUAL) continue;
            const rkMesh& body = reinterpret_cast<rkVisual*>(object)->mesh;
            if (rkMesh* shape = rkCreateGhostMesh(body, kShapeCell)) {
                parts_.push_back({node, shape});
            } else if (rkMesh* copy = rkCloneMesh(&body)) {
                copy->textures[0] = copy->textures[1] = nullptr;
                copy->flags &= ~uint32_t(RK_MESH_STATE);
                parts_.push_back({node, copy});
            }
        }
    }
    auto node = std::make_unique<CRKNode>(kNodeName);
    callback_ = rkCreateCallback(RK_EVENT_RENDER, &CRKGhosts::Render, this);
    node->Attach(&callback_->head);
    CRKNode* linked = system.World()->Link(std::move(node));
    if (linked) rkCompileNode(linked->Node());
}

void CRKGhosts::SetSettings(const GhostSettings& settings) {
    settings_ = settings.Clamped();
    if (!settings_.shown) ghosts_.clear();
}

void CRKGhosts::Clear() {
    poses_.clear();
    ghosts_.clear();
    posedProject_ = nullptr;
}

std::vector<int> CRKGhosts::Frames() const {
    std::vector<int> frames;
    for (const Ghost& g : ghosts_) frames.push_back(g.frame);
    return frames;
}

void CRKGhosts::Update(const CTimelineProject* project, uint64_t state, int frame) {
    ghosts_.clear();
    if (!settings_.shown || !project || avatarNodes_.empty()) return;
    if (project != posedProject_ || state != posedState_) {
        poses_.clear();
        posedProject_ = project;
        posedState_ = state;
    }
    const int last = project->LastFrame();
    for (int side : {-1, 1}) {
        for (int k = 1; k <= settings_.count; ++k) {
            const int f = frame + side * k * settings_.step;
            if (f < 0 || f > last) continue;  // a frame shown past the end has ghosts before it
            if (const CHTR* pose = PoseAt(*project, f))
                ghosts_.push_back({f, side < 0, AlphaOf(k, settings_.count), pose});
        }
    }
    ForgetFarPoses(frame);
}

const CHTR* CRKGhosts::PoseAt(const CTimelineProject& project, int frame) {
    std::unique_ptr<CHTR>& kept = poses_[frame];
    if (kept) return kept.get();
    auto pose = std::make_unique<CHTR>();
    if (!evaluator_.Evaluate(GetFrameSample(&project, frame), *pose)) {
        poses_.erase(frame);
        return nullptr;
    }
    kept = std::move(pose);
    return kept.get();
}

// Poses out of every ghost's reach from here go; playing keeps only a few frames more.
void CRKGhosts::ForgetFarPoses(int frame) {
    const int reach = 2 * GhostSettings::kMostCount * settings_.step;
    if (int(poses_.size()) <= 4 * reach) return;
    std::erase_if(poses_, [&](const auto& entry) { return std::abs(entry.first - frame) > reach; });
}

void CRKGhosts::Render(uint32_t, rkNode*, void* self) {
    static_cast<CRKGhosts*>(self)->Draw();
}

void CRKGhosts::Draw() {
    if (ghosts_.empty() || !system_ || !system_->AvatarRoot()) return;
    rkDevice* device = rkGetCurrentDevice();
    if (!device) return;
    // Back to front, so that a nearer ghost blends over a further one.
    const rkVector eye = system_->Camera().GetEye(), move = system_->AvatarMove();
    std::vector<std::pair<float, const Ghost*>> order;
    for (const Ghost& g : ghosts_) {
        const rkVector root = rkOrigin(g.pose->GetRoot()->local) + move;
        order.emplace_back(Distance2(root, eye), &g);
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = 0; i < avatarNodes_.size(); ++i) kept_[i] = avatarNodes_[i]->local;
    const int texturing = device->texturingOn;
    rkSetState(RK_STATE_TEXTURING, 0);
    rkSetState(RK_RS_ALPHABLENDENABLE, 1);
    rkSetState(RK_RS_SRCBLEND, kBlendSourceAlpha);
    rkSetState(RK_RS_DESTBLEND, kBlendInverseSourceAlpha);
    for (const auto& [distance, ghost] : order) DrawGhost(*ghost, move);
    rkSetState(RK_RS_SRCBLEND, kBlendOne);
    rkSetState(RK_RS_DESTBLEND, kBlendZero);
    rkSetState(RK_RS_ALPHABLENDENABLE, 0);
    rkSetState(RK_STATE_TEXTURING, uint32_t(texturing));
    for (size_t i = 0; i < avatarNodes_.size(); ++i) avatarNodes_[i]->local = kept_[i];
    rkUpdateNode(avatarNodes_.front());
}

// The avatar's nodes take the ghost's pose (and the object tool's move) for one pass of its
// body in the ghost's colour.
void CRKGhosts::DrawGhost(const Ghost& ghost, const rkVector& move) {
    rkNode* avatar = avatarNodes_.front();
    CHTR::CopyLocals(ghost.pose->GetRoot(), avatar);
    rkTranslateNode(system_->AvatarRoot(), move.x, move.y, move.z);
    rkUpdateNode(avatar);
    const rkMaterial material = GhostMaterial(ghost.past, ghost.alpha);
    for (const Part& part : parts_) {
        if (part.node->flags & RK_NODE_HIDDEN) continue;
        part.shape->flags |= RK_MESH_MATERIAL;
        part.shape->material = material;
        rkSetTransform(RK_WORLD, part.node->world);
        rkDrawMesh(part.shape);
    }
}

}  // namespace tavrel
