#include "RKWindow/RKWindowTools.h"

#include <cmath>
#include <cstring>

#include "RKWindow/RKPicker.h"
#include "RKWindow/RKSystem.h"

namespace tavrel {

namespace {

constexpr float kTwoPi = 6.2831853f;
// Parts of the world itself, which a pick never selects.
constexpr const char* kNeverSelected[] = {"CircleLine", "Ground", "RKView", "RKWorld"};

bool NeverSelected(const rkNode* node) {
    for (const char* name : kNeverSelected) {
        if (std::strcmp(node->name, name) == 0) return true;
    }
    return false;
}

template <typename Visit>
void ForEachVisual(rkNode* node, Visit visit) {
    for (int slot = 0; slot < node->capacity; ++slot) {
        rkObject* object = node->objects[slot];
        if (object && object->cls == RK_VISUAL) visit(reinterpret_cast<rkVisual*>(object));
    }
}

// The ring's own red, taken from its visual.
bool RingMaterial(CRKSystem& system, rkMaterial* out) {
    CRKNode* ring = system.World() ? system.World()->Child("CircleLine") : nullptr;
    if (!ring) return false;
    bool found = false;
    ForEachVisual(ring->Node(), [&](rkVisual* v) {
        if (!found) *out = v->mesh.material, found = true;
    });
    return found;
}

// Turns a node about its own axis through its own origin, so that a body part stays on its
// joint (a turn in the parent's frame would swing the joint itself round).
void TurnOwnAxis(rkNode* node, int axis, float angle) {
    rkMatrix turn;
    rkRotationMatrix(&turn, axis, angle);
    rkMultiply(&node->local, turn, node->local);
    node->flags |= RK_NODE_CHANGED;
}

bool SameMatrix(const rkMatrix& a, const rkMatrix& b) {
    return std::memcmp(a.m, b.m, sizeof(a.m)) == 0;
}

}  // namespace

CRKWindowTools::CRKWindowTools(CRKSystem& system) : system_(system), camera_(system) {}

CRKWindowTools::~CRKWindowTools() {
    // The window that listened may be gone already; the lock must still be given back.
    listener_ = {};
    poseHook_ = nullptr;
    SetManipulationMode(false);
    Select(nullptr);
}

bool CRKWindowTools::Handle(const RKInputEvent& event) {
    switch (event.kind) {
        case RKInputEvent::Press:
            return Press(event);
        case RKInputEvent::Move:
            return DragMove(event);
        case RKInputEvent::Release:
            return Release(event);
        case RKInputEvent::Wheel:
            return camera_.ZoomTowards(float(event.x), float(event.y), event.notches);
        case RKInputEvent::KeyDown:
            return Key(event);
        case RKInputEvent::KeyUp:
            keysHeld_.erase(event.key);
            return false;
    }
    return false;
}

bool CRKWindowTools::MousePress(int x, int y, int button, int buttons, int modifiers) {
    return Handle(RKInputEvent::Mouse(RKInputEvent::Press, x, y, button, buttons, modifiers));
}
bool CRKWindowTools::MouseMove(int x, int y, int buttons, int modifiers) {
    return Handle(RKInputEvent::Mouse(RKInputEvent::Move, x, y, 0, buttons, modifiers));
}
bool CRKWindowTools::MouseRelease(int x, int y, int button, int buttons, int modifiers) {
    return Handle(RKInputEvent::Mouse(RKInputEvent::Release, x, y, button, buttons, modifiers));
}
bool CRKWindowTools::WheelTurn(int x, int y, float notches, int modifiers) {
    return Handle(RKInputEvent::Turn(x, y, notches, modifiers));
}
bool CRKWindowTools::KeyPress(int key, int modifiers) {
    return Handle(RKInputEvent::Keyboard(RKInputEvent::KeyDown, key, modifiers));
}
bool CRKWindowTools::KeyRelease(int key, int modifiers) {
    return Handle(RKInputEvent::Keyboard(RKInputEvent::KeyUp, key, modifiers));
}

void CRKWindowTools::Resize(int width, int height) {
    system_.SetWindowRect(0, 0, width, height);
}

void CRKWindowTools::SetTool(int tool) {
    if (tool < NoTool || tool > ObjectRotate) return;
    tool_ = tool;
    if (listener_.toolChosen) listener_.toolChosen(tool);
}

bool CRKWindowTools::ChoosePreset(int index) {
    if (!camera_.Preset(index)) return false;
    if (listener_.presetChosen) listener_.presetChosen(index);
    return true;
}

// Shift, Ctrl, Alt or one of the keys C, X, Z held: the drag belongs to something else.
bool CRKWindowTools::ToolsBlocked(int modifiers) const {
    if (modifiers & (RKInputEvent::Shift | RKInputEvent::Control | RKInputEvent::Alt)) return true;
    for (int key : {'C', 'X', 'Z'}) {
        if (keysHeld_.count(key)) return true;
    }
    return false;
}

bool CRKWindowTools::Press(const RKInputEvent& event) {
    lastX_ = event.x, lastY_ = event.y;
    firstMove_ = false;
    if (listener_.captureMouse) listener_.captureMouse(true);
    if (event.button != RKInputEvent::LeftButton || tool_ != ObjectRotate) return false;
    if (ToolsBlocked(event.modifiers)) return false;
    PickAt(event.x, event.y);
    if (selection_) {
        turning_ = true;
        turnStart_ = selection_->local;
    }
    return true;
}

bool CRKWindowTools::Release(const RKInputEvent& event) {
    if (listener_.captureMouse && event.buttons == 0) listener_.captureMouse(false);
    if (event.button == RKInputEvent::LeftButton) EndTurn();
    return false;
}

bool CRKWindowTools::DragMove(const RKInputEvent& event) {
    const int x0 = lastX_, y0 = lastY_;
    lastX_ = event.x, lastY_ = event.y;
    if (firstMove_) {  // no position to move from yet
        firstMove_ = false;
        return false;
    }
    if (ownUpdate_) {  // the window was busy with its own update: skip this one
        ownUpdate_ = false;
        return false;
    }
    if (x0 == event.x && y0 == event.y) return false;
    const float fx0 = float(x0), fy0 = float(y0), fx1 = float(event.x), fy1 = float(event.y);
    if (event.buttons & RKInputEvent::MiddleButton) {
        // Whatever the tool: Shift pans, otherwise the camera orbits the target.
        return event.modifiers & RKInputEvent::Shift ? camera_.Move(fx0, fy0, fx1, fy1)
                                                     : camera_.Orbit(fx0, fy0, fx1, fy1);
    }
    if (!(event.buttons & RKInputEvent::LeftButton) || ToolsBlocked(event.modifiers)) return false;
    return PerformTool(tool_, fx0, fy0, fx1, fy1);
}

bool CRKWindowTools::PerformTool(int tool, float x0, float y0, float x1, float y1) {
    switch (tool) {
        case CameraMove:
            return camera_.Move(x0, y0, x1, y1);
        case CameraZoom:
            return camera_.Zoom(x0, y0, x1, y1);
        case CameraRotate:
            return camera_.Rotate(x0, y0, x1, y1);
        case ObjectMove:
            return MoveObject(x0, y0, x1, y1);
        case ObjectRotate:
            return TurnObject(x0, y0, x1, y1);
        default:
            return false;  // no tool, or object scale, which has no motion
    }
}

bool CRKWindowTools::MoveObject(float x0, float y0, float x1, float y1) {
    rkNode* object = system_.AvatarRoot();
    if (!object) return false;
    RKViewport& camera = system_.Camera();
    const float points[2][2] = {{x0, y0}, {x1, y1}};
    rkVector p[2];
    if (!camera.Unproject(points, 2, p)) return false;
    const rkVector eye = camera.GetEye(), target = system_.TargetPosition();
    const float k = rkLength(eye - target) / camera.view.nearPlane;
    float move[3] = {(p[1].x - p[0].x) * k, (p[1].y - p[0].y) * k, (p[1].z - p[0].z) * k};
    static constexpr bool kKept[5][3] = {{true, false, false},
                                         {false, true, false},
                                         {false, false, true},
                                         {true, true, false},
                                         {true, true, true}};
    for (int i = 0; i < 3; ++i) {
        if (!kKept[constraint_][i]) move[i] = 0;
        if (!std::isfinite(move[i])) return false;
    }
    system_.MoveAvatar({move[0], move[1], move[2]});
    if (listener_.objectMoved) listener_.objectMoved();
    return true;
}

bool CRKWindowTools::TurnObject(float x0, float y0, float x1, float y1) {
    rkNode* object = selection_;
    RKViewport& camera = system_.Camera();
    const int width = camera.view.viewport[2], height = camera.view.viewport[3];
    if (!object || width <= 0 || height <= 0) return false;
    rkUpdateNode(system_.World()->Node());
    const rkMatrix& world = object->world;
    const float dx = x1 - x0, dy = y1 - y0;
    float horizontal = dx / width * kTwoPi;
    float vertical = dy / height * system_.sceneScale * kTwoPi;
    const rkVector at = rkOrigin(world);
    float screen[1][4];
    if (camera.Project(&at, 1, screen)) {
        if (x0 + dx / 2 < screen[0][0]) vertical = -vertical;
        if (screen[0][1] < y0 + dy / 2) horizontal = -horizontal;
    }
    const rkVector d = camera.GetDirection();
    const float* row = &world.m[axis_ * 4];
    if (d.x * row[0] + d.y * row[1] + d.z * row[2] < 0) {
        horizontal = -horizontal;
        vertical = -vertical;
    }
    const float angle = std::fabs(dy) < std::fabs(dx) ? horizontal : vertical;
    if (!std::isfinite(angle)) return false;
    TurnOwnAxis(object, axis_, angle);
    if (listener_.objectTurned) listener_.objectTurned();
    return true;
}

rkNode* CRKWindowTools::PickAt(int x, int y) {
    if (listener_.waitCursor) listener_.waitCursor(true);
    rkNode* picked = CRKPicker::Pick(system_, x, y);
    if (listener_.waitCursor) listener_.waitCursor(false);
    Select(picked);
    return selection_;
}

void CRKWindowTools::RestoreSelectionLook() {
    if (!selection_) return;
    size_t i = 0;
    ForEachVisual(selection_, [&](rkVisual* v) {
        if (i < selectionMaterials_.size()) v->mesh.material = selectionMaterials_[i++];
    });
    selectionMaterials_.clear();
}

bool CRKWindowTools::Select(rkNode* node) {
    if (node && NeverSelected(node)) node = nullptr;
    if (node == selection_) return false;
    EndTurn();
    // The old selection gets its own colours back (not the ground's, which would leave a
    // white body part behind).
    RestoreSelectionLook();
    selection_ = node;
    system_.HangRing(node);
    rkMaterial red;
    if (node && RingMaterial(system_, &red)) {
        ForEachVisual(node, [&](rkVisual* v) {
            selectionMaterials_.push_back(v->mesh.material);
            v->mesh.material = red;
        });
    }
    return true;
}

bool CRKWindowTools::SetManipulationMode(bool on) {
    if (on == manipulating_) return false;
    CRKNode* ring = system_.World() ? system_.World()->Child("CircleLine") : nullptr;
    if (on) {
        if (lock_) lock_->Lock();
        manipulating_ = true;
        if (ring) ring->Show(true);
        toolBeforeManipulation_ = tool_ == ObjectMove || tool_ == ObjectRotate ? CameraMove : tool_;
        SetTool(ObjectRotate);
        return true;
    }
    EndTurn();
    Select(nullptr);
    if (ring) ring->Show(false);
    manipulating_ = false;
    if (tool_ == ObjectMove || tool_ == ObjectRotate) SetTool(toolBeforeManipulation_);
    if (lock_) lock_->Unlock();
    return true;
}

void CRKWindowTools::EndTurn() {
    if (!turning_) return;
    turning_ = false;
    if (!selection_ || SameMatrix(selection_->local, turnStart_)) return;
    undo_.push_back({selection_, turnStart_, selection_->local});
    redo_.clear();
    PoseChanged();
    if (listener_.segmentTurned) listener_.segmentTurned(selection_, turnStart_, selection_->local);
}

void CRKWindowTools::PoseChanged() {
    if (poseHook_ && system_.Avatar()) poseHook_(system_.Avatar()->Node());
}

bool CRKWindowTools::Undo() {
    EndTurn();
    if (undo_.empty()) return false;
    Turn turn = undo_.back();
    undo_.pop_back();
    rkSetNodeMatrix(turn.node, turn.before);
    redo_.push_back(turn);
    PoseChanged();
    return true;
}

bool CRKWindowTools::Redo() {
    if (redo_.empty()) return false;
    Turn turn = redo_.back();
    redo_.pop_back();
    rkSetNodeMatrix(turn.node, turn.after);
    undo_.push_back(turn);
    PoseChanged();
    return true;
}

bool CRKWindowTools::Key(const RKInputEvent& event) {
    keysHeld_.insert(event.key);
    const CRKHotkeys::Action action = hotkeys_.Find(event.key);
    if (action != CRKHotkeys::None) return HotkeyAction(action);
    // Desktop habits, when no hot key claims the key.
    if (event.key == RKInputEvent::KeyHome) return ChoosePreset(RKViewport::Front);
    if (event.key == 'F') return camera_.FrameAvatar();
    return false;
}

bool CRKWindowTools::HotkeyAction(int action) {
    if (action >= CRKHotkeys::PresetFront && action <= CRKHotkeys::PresetDown) {
        return ChoosePreset(action - CRKHotkeys::PresetFront);
    }
    switch (action) {
        case CRKHotkeys::CameraMove:
            SetTool(CameraMove);
            break;
        case CRKHotkeys::CameraZoom:
            SetTool(CameraZoom);
            break;
        case CRKHotkeys::CameraRotate:
            SetTool(CameraRotate);
            break;
        case CRKHotkeys::ObjectMove:
            if (ObjectToolsEnabled()) SetTool(ObjectMove);
            break;
        case CRKHotkeys::ObjectRotate:
            if (ObjectToolsEnabled()) SetTool(ObjectRotate);
            break;
        default:
            break;  // object scale: no action
    }
    return false;
}

}  // namespace tavrel
