#include "RKWindow/RKSystem.h"

#include <malloc.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

#include "RKWindow/RKGuides.h"
#include "ZU2/rkHost.h"
#include "ZU2/rkImage.h"
#include "ZU2/rkRenderScene.h"
#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"
#include "settings/StringIds.h"

namespace tavrel {

namespace {

constexpr rkMaterial kDefaultMaterial{
    {0.6f, 0.6f, 0.3f, 1.0f}, {0.8f, 0.8f, 0.5f, 1.0f}, {0.8f, 0.8f, 0.8f, 1.0f}, 30.0f};
constexpr rkMaterial kGroundMaterial{{0.9f, 0.9f, 0.9f, 1.0f}, {1, 1, 1, 1}, {1, 1, 1, 1}, 200.0f};
constexpr rkMaterial kRingMaterial{{0.9f, 0, 0, 1.0f}, {1, 0, 0, 1}, {1, 0, 0, 1}, 200.0f};
constexpr float kGroundSide = 9000.0f;  // mm: cells of 30 cm
constexpr int kGroundCells = 30;
constexpr float kRingRadius = 250.0f;
constexpr int kStageModulate = 4;

// Only the last part of a file name counts, whichever separator its author used.
std::string BaseName(const std::string& path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void CollectNode(int, rkNode* node, void* list) {
    static_cast<std::vector<rkNode*>*>(list)->push_back(node);
}

// Every frame the GL driver allocates and frees the same megabyte or two (its scene bins), and
// a thumbnail adds the motion reader's block. Given back to the kernel at each free, those pages
// would be faulted in and cleared again at the next frame (a third of a small picture's time);
// the heap keeps this much free memory at its top instead.
void KeepHeapForFrames() {
    static const bool kept = mallopt(M_TOP_PAD, 8 << 20) == 1;
    (void)kept;
}

}  // namespace

CRKSystem::CRKSystem() {
    KeepHeapForFrames();
}

CRKSystem::~CRKSystem() {
    if (window_) window_->MakeCurrent();
    FreeTextures();
    // The world goes first: its wrappers detach the body's shapes, which the reader frees.
    // The ring goes home before, so that no segment still lists it.
    HangRing(nullptr);
    world_.reset();
    skeleton_.reset();
    body_.reset();
    lights_.clear();
    if (device_.gl) rkDestroyDevice(&device_);
    if (rkGetCurrentDevice() == &device_) rkSetCurrentDevice(nullptr);
}

bool CRKSystem::Initialise(rkHost* window, int width, int height) {
    window_ = window;
    SetWindowRect(0, 0, width, height);
    const bool device = RebuildDevice(true);
    world_ = std::make_unique<CRKNode>("RKWorld");
    target_ = world_.get();
    view_ = world_->Link(std::make_unique<CRKNode>("RKView"));
    auto light = std::make_unique<CRKLight>("RKRootLight", 2);
    light->SetColour(1.0f, 1.0f, 1.0f);
    light->SetPosition(0, -4050, 1310);
    headLight_ = light.get();
    world_->Link(light->TakeNode());
    lights_.push_back(std::move(light));
    defaultMaterial_ = kDefaultMaterial;
    if (device) rkSetBackgroundColor(backgroundFloat_[0], backgroundFloat_[1], backgroundFloat_[2]);
    rkCompileNode(world_->Node());
    return device;
}

int CRKSystem::SetUpWorld(const std::string& dataFolder) {
    BuildGround();
    BuildRing();
    BuildAvatar(dataFolder);
    if (avatar_) target_ = avatar_;
    avatarRoot_ = rkFindNode(world_->Node(), "LowerTorso");
    framing_ = RKFraming::Measure(avatarRoot_);
    PresetCamera(RKViewport::Front);
    if (avatar_ && body_ && body_->IsLoaded() && !framing_.IsEmpty()) return 0;
    DebugOutput("CRKSystem: the avatar could not be loaded\n");
    return strings::kAvatarNotLoaded;
}

void CRKSystem::BuildGround() {
    auto ground = std::make_unique<CRKNode>("Ground");
    rkVisual* grid = rkCreateGridVisual(kGroundSide, kGroundCells);
    grid->mesh.material = kGroundMaterial;
    ground->Attach(&grid->head);
    ground->Translate(0, 0, kGroundHeight);
    ground_ = world_->Link(std::move(ground));
    ground_->Show(true);
    rkCompileNode(ground_->Node());
}

void CRKSystem::ShowGround(bool shown) {
    if (ground_) ground_->Show(shown);
}

bool CRKSystem::GroundShown() const {
    return ground_ && ground_->IsShown();
}

// The grid moves with the avatar by whole cells, so a long walk never leaves its edge while
// the lines stay where they lie in the world.
void CRKSystem::KeepGroundUnderTarget() {
    if (!ground_) return;
    constexpr float cell = kGroundSide / kGroundCells;
    const rkVector t = TargetPosition();
    ground_->Translate(std::round(t.x / cell) * cell, std::round(t.y / cell) * cell,
                       kGroundHeight, true);
}

void CRKSystem::BuildRing() {
    auto ring = std::make_unique<CRKNode>("CircleLine");
    rkVisual* lines = rkCreateRingVisual(kRingRadius, 0);
    lines->mesh.material = kRingMaterial;
    ring->Attach(&lines->head);
    CRKNode* linked = world_->Link(std::move(ring));
    linked->Show(false);
    rkCompileNode(linked->Node());
}

void CRKSystem::BuildAvatar(const std::string& dataFolder) {
    const std::filesystem::path folder(dataFolder);
    if (!body_) body_ = std::make_unique<CBodyReader>((folder / "avatar.scx").string());
    const std::string init = (folder / "Init.chb").string();
    // Through CMotion: a file whose frames fail to read gives no pose instead of an exception.
    CMotion motion(init, 0);
    std::unique_ptr<CHTR> pose = motion.GetPose(0);
    if (!pose) {
        const std::string& why = motion.GetReadError();
        DebugOutput("CRKSystem: cannot read the avatar's initial pose " +
                    (why.empty() ? init : why) + "\n");
        return;
    }
    skeleton_ = std::move(pose);
    body_->PasteBody(skeleton_.get());
    LoadBodyTextures(dataFolder);
    MirrorAvatar();
}

// Loads every picture the body names, beside the program's data, and ties each to the
// shapes whose material asks for it.
void CRKSystem::LoadBodyTextures(const std::string& dataFolder) {
    for (const std::string& name : body_->TextureNames()) {
        const std::string file = BaseName(name);
        if (textures_.count(file)) continue;
        SystemTexture t;
        t.path = (std::filesystem::path(dataFolder) / file).string();
        if (LoadTexture(t)) textures_[file] = std::move(t);
    }
    for (const auto& [name, shape] : body_->Shapes()) {
        const auto* material = static_cast<const ScnMaterial*>(shape->mesh.user);
        if (!material || material->texture.name[0] == '\0') continue;
        const std::string file(
            material->texture.fileName,
            strnlen(material->texture.fileName, sizeof(material->texture.fileName)));
        const auto found = textures_.find(BaseName(file));
        if (found == textures_.end()) continue;
        shape->mesh.textures[0] = found->second.texture;
        found->second.users.push_back(shape);
    }
}

bool CRKSystem::LoadTexture(SystemTexture& t) {
    int width = 0, height = 0, bits = 0;
    uint8_t* pixels = rkLoadImage(t.path.c_str(), &width, &height, &bits);
    if (!pixels) return false;
    const int kind = bits == 8 ? RK_IMAGE_PALETTE8 : bits == 32 ? RK_IMAGE_RGBA32 : RK_IMAGE_RGB24;
    t.texture = rkCreateTexture(RK_TEXFMT_RGB16, width, height);
    const bool loaded = t.texture && rkLoadTexture(t.texture, kind, pixels);
    rkFreeImage(pixels);
    if (!loaded && t.texture) {
        rkFreeTexture(t.texture);
        t.texture = nullptr;
    }
    for (rkVisual* user : t.users) user->mesh.textures[0] = t.texture;
    return loaded;
}

void CRKSystem::FreeTextures() {
    for (auto& [name, t] : textures_) {
        if (t.texture) rkFreeTexture(t.texture);
        t.texture = nullptr;
        for (rkVisual* user : t.users) user->mesh.textures[0] = nullptr;
    }
}

rkTexture* CRKSystem::Texture(const std::string& file) const {
    const auto found = textures_.find(file);
    return found == textures_.end() ? nullptr : found->second.texture;
}

// The world gets its own copy of the skeleton's nodes, each holding the shapes its
// segment holds; poses are copied onto this copy.
void CRKSystem::MirrorAvatar() {
    std::vector<rkNode*> nodes;
    rkTraverse(skeleton_->GetRoot(), RK_PRE_ORDER, CollectNode, &nodes);
    std::map<const rkNode*, CRKNode*> mirrors;
    for (rkNode* node : nodes) {
        auto mirror = std::make_unique<CRKNode>(node->name);
        rkSetNodeMatrix(mirror->Node(), node->local);
        for (int slot = 0; slot < node->capacity; ++slot) {
            rkObject* object = node->objects[slot];
            if (!object) continue;
            rkDetachSlot(node, slot);
            mirror->Attach(object);
        }
        CRKNode* parent = node->parent ? mirrors[node->parent] : world_.get();
        CRKNode* linked = parent ? parent->Link(std::move(mirror)) : nullptr;
        if (!linked) continue;
        mirrors[node] = linked;
        if (!node->parent) avatar_ = linked;
    }
    if (avatar_) rkCompileNode(avatar_->Node());
}

void CRKSystem::PoseAvatar(const rkNode* pose) {
    if (!avatar_ || !pose) return;
    CHTR::CopyLocals(pose, avatar_->Node());
    rkTranslateNode(avatarRoot_, avatarMove_.x, avatarMove_.y, avatarMove_.z);
}

void CRKSystem::ReadAvatarPose(rkNode* pose) const {
    if (!avatar_ || !pose) return;
    CHTR::CopyLocals(avatar_->Node(), pose);
    if (avatarRoot_) {
        rkTranslateNode(rkFindNode(pose, avatarRoot_->name), -avatarMove_.x, -avatarMove_.y,
                        -avatarMove_.z);
    }
}

void CRKSystem::MoveAvatar(const rkVector& by) {
    if (!avatarRoot_) return;
    avatarMove_ = {avatarMove_.x + by.x, avatarMove_.y + by.y, avatarMove_.z + by.z};
    rkTranslateNode(avatarRoot_, by.x, by.y, by.z);
}

void CRKSystem::HangRing(rkNode* node) {
    CRKNode* ring = world_ ? world_->Child("CircleLine") : nullptr;
    if (!ring) return;
    rkNode* parent = node ? node : world_->Node();
    if (ring->Node()->parent == parent) return;
    if (ring->Node()->parent) rkUnlinkNode(ring->Node()->parent, ring->Node());
    rkLinkNode(parent, ring->Node());
}

rkVector CRKSystem::TargetPosition() const {
    return target_ ? target_->Position() : rkVector{0, 0, 0};
}

RKCameraPose CRKSystem::CameraPose() const {
    const rkVector eye = camera_.GetEye(), target = TargetPosition();
    return {{eye.x - target.x, eye.y - target.y, eye.z - target.z}, camera_.GetDirection(),
            camera_.GetUp()};
}

void CRKSystem::PlaceCamera(const RKCameraPose& pose) {
    const rkVector t = TargetPosition();
    cameraOffset = pose.offset;
    camera_.SetEye(t.x + pose.offset.x, t.y + pose.offset.y, t.z + pose.offset.z);
    camera_.SetDirection(pose.direction.x, pose.direction.y, pose.direction.z);
    camera_.SetUp(pose.up.x, pose.up.y, pose.up.z);
}

bool CRKSystem::PresetCamera(int index) {
    const rkVector root = avatarRoot_ ? rkVector{avatarRoot_->local.m[12], avatarRoot_->local.m[13],
                                                 avatarRoot_->local.m[14]}
                                      : rkVector{0, 0, 0};
    if (!camera_.PresetCamera(index, root, 1.0f)) return false;
    float scale = sceneScale;
    if (!framing_.IsEmpty()) {
        // The preset's own distance may show only part of the avatar: stand back along the
        // preset's line of sight until all of it fits; the scene scale applies on top.
        const rkVector eye = camera_.GetEye(), d = rkNormalize(camera_.GetDirection());
        const float preset =
            (root.x - eye.x) * d.x + (root.y - eye.y) * d.y + (root.z - eye.z) * d.z;
        const rkView& v = camera_.view;
        const float needed =
            framing_.Distance({0, 0, 0}, d, camera_.GetUp(), v.fieldOfView, v.aspect, v.nearPlane);
        if (preset > 0 && needed > preset) scale *= needed / preset;
    }
    camera_.PresetCamera(index, root, scale);
    const rkVector eye = camera_.GetEye(), target = TargetPosition();
    cameraOffset = {eye.x - target.x, eye.y - target.y, eye.z - target.z};
    return true;
}

// What the world needs beyond the device's defaults: textured shapes (the avatar's face)
// take the lit colour, not the bare picture.
void CRKSystem::ApplyWorldStates() {
    rkSetTextureStageState(0, RK_STAGE_BLEND, kStageModulate);
}

void CRKSystem::SetBackgroundColor(uint8_t r, uint8_t g, uint8_t b, bool apply) {
    background_[0] = r, background_[1] = g, background_[2] = b;
    for (int i = 0; i < 3; ++i) backgroundFloat_[i] = background_[i] / 255.0f;
    if (apply && device_.gl) {
        rkSetCurrentDevice(&device_);
        rkSetBackgroundColor(backgroundFloat_[0], backgroundFloat_[1], backgroundFloat_[2]);
        ApplyBackground();
    }
}

bool CRKSystem::SetBackgroundImage(const std::string& name) {
    const bool set = backdrop_.SetImage(name);
    ApplyBackground();
    return set;
}

bool CRKSystem::SetBackgroundBitmap(const uint8_t* rgb, int width, int height, int stride) {
    const bool set = backdrop_.SetBitmap(rgb, width, height, stride);
    if (set) ApplyBackground();
    return set;
}

void CRKSystem::ShowBackground(bool shown) {
    backdrop_.Show(shown);
    ApplyBackground();
}

// The device keeps the picture until its surfaces are rebuilt, which calls this again.
void CRKSystem::ApplyBackground() {
    if (!device_.gl || !window_ || !window_->MakeCurrent()) return;
    rkSetCurrentDevice(&device_);
    backdrop_.Apply(device_.width, device_.height, background_);
}

void CRKSystem::SetWindowRect(int left, int top, int right, int bottom) {
    windowRect_[0] = left, windowRect_[1] = top, windowRect_[2] = right, windowRect_[3] = bottom;
    camera_.SetViewportRect(left, top, right, bottom);
}

// New surfaces at the viewport's size. Device textures do not survive their device: they are
// released first and loaded again from their files afterwards.
bool CRKSystem::RebuildDevice(bool report) {
    if (!window_ || !window_->MakeCurrent()) return false;
    FreeTextures();
    if (device_.gl) rkDestroyDevice(&device_);
    device_ = {};
    const int width = camera_.view.viewport[2], height = camera_.view.viewport[3];
    if (!rkCreateDevice(&device_, window_, width, height)) {
        if (report) DebugOutput("CRKSystem: the render device cannot be created\n");
        return false;
    }
    camera_.changed = false;
    rkSetCurrentDevice(&device_);
    rkSetBackgroundColor(backgroundFloat_[0], backgroundFloat_[1], backgroundFloat_[2]);
    ApplyWorldStates();
    for (auto& [name, t] : textures_) LoadTexture(t);
    backdrop_.Apply(device_.width, device_.height, background_);
    return true;
}

int CRKSystem::DrawScene(rkHost* target, bool retry) {
    if (!world_ || !window_) return 0;
    rkSetCurrentDevice(&device_);
    window_->MakeCurrent();
    if (camera_.changed && !RebuildDevice(retry)) return 0;
    if (follow) {
        const rkVector t = TargetPosition();
        camera_.SetEye(t.x + cameraOffset.x, t.y + cameraOffset.y, t.z + cameraOffset.z);
    }
    KeepGroundUnderTarget();
    rkMatrix view;
    camera_.BuildViewMatrix(&view);
    rkSetNodeMatrix(view_->Node(), view);
    const rkVector eye = camera_.GetEye();
    headLight_->SetPosition(eye.x, eye.y, eye.z);
    rkUpdateNode(world_->Node());
    if (rkRenderScene(world_->Node(), camera_.View(), target)) return 1;
    DebugOutput("CRKSystem::DrawScene() failed!\n");
    camera_.changed = true;
    // One more try on rebuilt surfaces; its own failure is the answer.
    return retry ? DrawScene(target, false) : 0;
}

}  // namespace tavrel
