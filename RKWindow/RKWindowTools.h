#pragma once
// The tools of a 3D window, driven by plain mouse and key records: the camera tools, the
// object tools, hot keys and preset cameras, picking and the selection ring, and the
// manipulation mode in which body parts are turned by hand (with undo and redo of turns).
// The window layer hands every event to Handle (or the named helpers) and redraws when
// they answer true; what it shows besides the picture comes through the listener.
#include <functional>
#include <set>
#include <vector>

#include "RKWindow/RKCameraControl.h"
#include "RKWindow/RKHotkeys.h"
#include "RKWindow/RKInputEvent.h"
#include "ZU2/rkMesh.h"
#include "ZU2/rkNode.h"

namespace tavrel {

class CRKSystem;

// The application's shared lock of the 3D machinery, held while in manipulation mode.
class RKManipulationLock {
public:
    virtual ~RKManipulationLock() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// What the window shows besides the picture. Every member may stay empty.
struct RKToolListener {
    std::function<void(int tool)> toolChosen;      // check its toolbar button, set its cursor
    std::function<void(int preset)> presetChosen;  // the preset button's image
    std::function<void(bool on)> captureMouse;
    std::function<void(bool on)> waitCursor;  // around a pick
    std::function<void()> objectMoved;
    std::function<void()> objectTurned;
    // A body part's turn ended: its node with its local matrix before and after.
    std::function<void(const rkNode* node, const rkMatrix& before, const rkMatrix& after)>
        segmentTurned;
};

// Receives the avatar's pose after a turn of a body part (and after its undo or redo): the
// local matrices of the tree under the given root. The frame display stores it as its
// current pose, which a pose clip is then written from.
using RKPoseHook = std::function<void(const rkNode* avatarRoot)>;

class CRKWindowTools {
public:
    enum Tool {
        NoTool = 0,
        CameraMove = 1,
        CameraZoom = 2,
        CameraRotate = 3,
        ObjectMove = 4,
        ObjectScale = 5,
        ObjectRotate = 6
    };
    // Axis constraints of object moves.
    enum Constraint { OnlyX = 0, OnlyY = 1, OnlyZ = 2, XAndY = 3, AllAxes = 4 };

    // The system must outlive the tools.
    explicit CRKWindowTools(CRKSystem& system);
    ~CRKWindowTools();
    CRKWindowTools(const CRKWindowTools&) = delete;
    CRKWindowTools& operator=(const CRKWindowTools&) = delete;

    // One event; true when the window should redraw.
    bool Handle(const RKInputEvent& event);
    bool MousePress(int x, int y, int button, int buttons, int modifiers = 0);
    bool MouseMove(int x, int y, int buttons, int modifiers = 0);
    bool MouseRelease(int x, int y, int button, int buttons, int modifiers = 0);
    bool WheelTurn(int x, int y, float notches, int modifiers = 0);
    bool KeyPress(int key, int modifiers = 0);
    bool KeyRelease(int key, int modifiers = 0);
    // The window's new client size; the next frame rebuilds the surfaces.
    void Resize(int width, int height);

    int CurrentTool() const { return tool_; }
    void SetTool(int tool);
    bool ChoosePreset(int index);
    CRKHotkeys& Hotkeys() { return hotkeys_; }
    // Out-of-range values choose the default (x only, the X axis).
    void SetMoveConstraint(int constraint) {
        constraint_ = constraint >= OnlyX && constraint <= AllAxes ? constraint : OnlyX;
    }
    int MoveConstraint() const { return constraint_; }
    void SetRotationAxis(int axis) { axis_ = axis >= 0 && axis <= 2 ? axis : 0; }
    int RotationAxis() const { return axis_; }
    // Set by the window around its own updates: the next mouse move is ignored once.
    void SetOwnUpdate(bool busy) { ownUpdate_ = busy; }

    // Manipulation mode: holds the lock, shows the ring, picks and turns body parts.
    bool SetManipulationMode(bool on);
    bool InManipulationMode() const { return manipulating_; }
    // Whether the object tools (and their hot keys) are available.
    bool ObjectToolsEnabled() const { return manipulating_; }
    void SetLock(RKManipulationLock* lock) { lock_ = lock; }
    void SetPoseHook(RKPoseHook hook) { poseHook_ = std::move(hook); }
    RKToolListener& Listener() { return listener_; }

    // Picks at a window point and selects what was picked (nothing clears the selection).
    rkNode* PickAt(int x, int y);
    // Selects node (none: clears): the ring hangs under it and it shows the ring's colour.
    // The world's own parts are never selected.
    bool Select(rkNode* node);
    rkNode* Selection() const { return selection_; }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo();
    bool Redo();

    // Tool operations on their own, as a drag from (x0, y0) to (x1, y1) performs them.
    bool PerformTool(int tool, float x0, float y0, float x1, float y1);
    bool MoveObject(float x0, float y0, float x1, float y1);
    bool TurnObject(float x0, float y0, float x1, float y1);

    RKCameraControl& Camera() { return camera_; }

private:
    struct Turn {
        rkNode* node;
        rkMatrix before, after;
    };

    bool ToolsBlocked(int modifiers) const;
    bool DragMove(const RKInputEvent& event);
    bool Press(const RKInputEvent& event);
    bool Release(const RKInputEvent& event);
    bool Key(const RKInputEvent& event);
    bool HotkeyAction(int action);
    void RestoreSelectionLook();
    void EndTurn();
    void PoseChanged();

    CRKSystem& system_;
    RKCameraControl camera_;
    CRKHotkeys hotkeys_;
    RKToolListener listener_;
    RKPoseHook poseHook_;
    RKManipulationLock* lock_ = nullptr;
    int tool_ = CameraMove;
    int toolBeforeManipulation_ = CameraMove;
    int constraint_ = OnlyX;
    int axis_ = 0;
    int lastX_ = 0, lastY_ = 0;
    bool firstMove_ = true;
    bool ownUpdate_ = false;
    bool manipulating_ = false;
    std::set<int> keysHeld_;
    rkNode* selection_ = nullptr;
    std::vector<rkMaterial> selectionMaterials_;
    bool turning_ = false;
    rkMatrix turnStart_{};
    std::vector<Turn> undo_, redo_;
};

}  // namespace tavrel
