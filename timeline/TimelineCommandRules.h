#pragma once
// The rules the timeline's buttons, keys and context menu follow: which commands may run now,
// which are checked, and what each key does, from the model and the panel's own state. The
// windows only ask.
#include <optional>

#include "timeline/TimelineCommands.h"
#include "timeline/TimelineModel.h"

namespace tavrel {

// What the panel adds to the model's state.
struct PanelState {
    bool playing = false;
    bool looping = false;
    bool overview = false;
    bool collapsed = false;
    int zoomStep = 0;     // 0 to kLastZoomStep
    int soundFrames = 0;  // the sound's length in timeline frames, 0 without one
};

// The zoom steps run from 0 to this one.
constexpr int kLastZoomStep = 8;

struct CommandState {
    bool enabled = false;
    bool checked = false;

    bool operator==(const CommandState&) const = default;
};

// Whether any track has something to play.
bool HasSomethingToPlay(const CTimelineModel& model, int soundFrames);

// A command of the panel's buttons (the commands:: identifiers above the context menu's).
CommandState PanelCommandState(const CTimelineModel& model, const PanelState& panel, int command);

// Where the motion track was last right-clicked: the frame, and the blend under it in time
// order from 1 (0 for none) with the position of its earlier clip.
struct RightClick {
    int frame = -1;
    int transition = 0;
    int transitionEarlier = -1;
};

// A command of the motion track's context menu, for the state after the right-click.
CommandState ContextCommandState(const CTimelineModel& model, const PanelState& panel,
                                 const RightClick& at, int command);
// Where a layer (or the frame ruler over the selected layer) was right-clicked.
struct LayerClick {
    int layer = -1;  // -1: none
    int frame = -1;
};
// A command of a layer's menus: the motion track's Add Layer, a layer clip's mode, weight,
// ease and mask, and the ruler's keys.
CommandState LayerCommandState(const CTimelineModel& model, const PanelState& panel,
                               const LayerClick& at, int command);
// The weight of a weight item (-1 for another command).
float WeightOfCommand(int command);
// The preset of a mask item in kBodyMaskPresets (-1 for another command).
int MaskOfCommand(int command);
// The standard segment a segment item turns in or out of a mask (-1 for another command).
int SegmentOfCommand(int command);

// Whether the menu item carries a check mark: a blend's curve, a clip's switch or speed curve.
bool IsCheckableContextCommand(int command);

// What a context command names: a curve type, a body segment to align at (its index in
// CTimelineModel::kAlignSegments), -1 for neither.
int CurveOfCommand(int command);
int SpeedCurveOfCommand(int command);
int AlignSegmentOfCommand(int command);
bool IsClipSwitchCommand(int command);

template <size_t N>
constexpr bool OneOf(int command, const int (&ids)[N]) {
    for (int id : ids) {
        if (id == command) return true;
    }
    return false;
}

// --- Keys ---

// The codes the window toolkit gives the timeline's keys (the panel checks them against it).
namespace keys {
constexpr int kSpace = 0x20, kPlus = 0x2b, kMinus = 0x2d;
constexpr int kReturn = 0x01000004, kEnter = 0x01000005, kDelete = 0x01000007;
constexpr int kHome = 0x01000010, kEnd = 0x01000011, kLeft = 0x01000012, kRight = 0x01000014;
constexpr int kPageUp = 0x01000016, kPageDown = 0x01000017;
}  // namespace keys

enum class KeyAction {
    kRunCommand,         // the binding's command, when it is enabled
    kPlayAllOrStop,      // play the whole timeline, or stop a play
    kPlayRangeOrStop,    // play the marked range, or stop a play
    kSelectEarlierClip,  // the clip before the selected one in time, and its first frame
    kSelectLaterClip,
    kDeleteSelected,  // even while playing: a drag under way ends with it
};

struct KeyBinding {
    int key;
    KeyAction action;
    int command = 0;
};

inline constexpr KeyBinding kTimelineKeys[] = {
    {keys::kReturn, KeyAction::kPlayAllOrStop},
    {keys::kEnter, KeyAction::kPlayAllOrStop},
    {keys::kSpace, KeyAction::kPlayRangeOrStop},
    {keys::kPageUp, KeyAction::kSelectEarlierClip},
    {keys::kPageDown, KeyAction::kSelectLaterClip},
    {keys::kEnd, KeyAction::kRunCommand, commands::kGoLast},
    {keys::kHome, KeyAction::kRunCommand, commands::kGoFirst},
    {keys::kLeft, KeyAction::kRunCommand, commands::kFrameBack},
    {keys::kRight, KeyAction::kRunCommand, commands::kFrameForward},
    {keys::kDelete, KeyAction::kDeleteSelected},
    {keys::kPlus, KeyAction::kRunCommand, commands::kZoomIn},
    {keys::kMinus, KeyAction::kRunCommand, commands::kZoomOut},
};

// What a key does in this state; at most one of the three is set.
struct KeyResponse {
    int command = 0;  // a command to run
    int select = -1;  // a clip to select, and its first frame to go to
    bool deleteSelected = false;

    bool operator==(const KeyResponse&) const = default;
};

// nullopt for a key that is not the timeline's; an empty response for one that does nothing
// now.
std::optional<KeyResponse> RespondToKey(const CTimelineModel& model, const PanelState& panel,
                                        int key);

}  // namespace tavrel
