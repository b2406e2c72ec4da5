#pragma once
// One step of the undo and redo lists: the edit's kind, the whole project before (or, on the
// redo list, after) the edit, and the view state that goes with it.
#include <cstdint>

#include "timeline/TimelineProject.h"

namespace tavrel {

enum EditKind : uint32_t {
    kEditAddFile = 1,
    kEditAddVideo = 2,
    kEditAddImage = 3,
    kEditMove = 5,
    kEditResize = 6,
    kEditPaste = 7,
    kEditDeleteClip = 8,
    kEditDeleteMedia = 9,
    kEditSplit = 10,
    kEditCrop = 11,
    kEditInitialPoseClip = 12,
    kEditPoseClip = 13,
    kEditPoseClipAlternate = 14,
    kEditAlign = 16,
    kEditReverse = 17,
    kEditRotateSegment = 18,
    kEditReplaceFile = 19,
    kEditMoveMedia = 20,
    kEditClipSwitches = 21,       // "Keep its own place", "Keep feet planted"
    kEditCurve = 22,              // the curve of a blend
    kEditBlend = 23,              // where a blend starts and ends (its clips' transition lengths)
    kEditLayer = 24,              // a layer added or removed
    kEditLayerClip = 25,          // a layer clip added, moved or removed
    kEditLayerClipSettings = 26,  // a layer clip's mode, weight, eases or body mask
    kEditLayerKeys = 27,          // keys set, moved, deleted or cleared
    kEditMirror = 28,
    kEditRepeat = 29,
    kEditSpeedCurve = 30,
};

struct ViewState {
    int32_t currentFrame = 0;
    int32_t inMark = -1;
    int32_t outMark = -1;
    int32_t kindValue = -1;  // for a resize: the resized clip's position from First
    int32_t selected = -1;   // the selected clip's position from First, or -1

    bool operator==(const ViewState&) const = default;
};

struct UndoRecord {
    uint32_t kind = 0;
    uint64_t content = 0;  // the model's content state the record holds
    CTimelineProject project;
    ViewState view;
};

}  // namespace tavrel
