#include "timeline/TimelineCommandRules.h"

#include <algorithm>
#include <iterator>

#include "motion/RepeatCycle.h"
#include "timeline/ClipPlace.h"

namespace tavrel {
namespace {

using namespace commands;

// Whether the selected clip has a clip after it in the list (before it in time) to align to.
bool CanAlignSelected(const CTimelineModel& model) {
    return model.SelectedClip() &&
           model.SelectedPosition() + 1 < model.Project().motionClips.Count();
}

bool PanelCommandEnabled(const CTimelineModel& model, const PanelState& panel, int command) {
    const bool stopped = !panel.playing;
    const bool clips = model.Project().motionClips.Count() > 0;
    const bool project = model.HasProject();
    const bool zoomable = stopped && !panel.overview;
    switch (command) {
        case kPlayAll:
        case kPlayRange:
            return stopped && HasSomethingToPlay(model, panel.soundFrames);
        case kFrameBack:
        case kFrameForward:
        case kGoFirst:
        case kGoLast:
            return stopped && clips;
        case kStop:
        case kStopToStart:
            return panel.playing;
        case kZoomIn:
            return zoomable && panel.zoomStep < kLastZoomStep;
        case kZoomOut:
            return zoomable && panel.zoomStep > 0;
        case kZoomReset:
            return zoomable;
        case kLoop:
        case kCollapse:
        case kVolume:
            return true;
        case kOverview:
            return stopped;
        case kAddImages:
        case kAddVideo:
        case kLoadSound:
            return zoomable && project;
        case kSplit:
            return stopped && model.CanSplitAt(model.CurrentFrame());
        case kCrop:
            return stopped && clips && (model.InMark() >= 0 || model.OutMark() >= 0);
        case kAlign:
            return stopped && CanAlignSelected(model);
        case kAddMotion:
        case kAddPose:
        case kAddInitialPose:
        case kAddCurrentPose:
        case kColleagueRequest:
        case kCheckFiles:
            return stopped && project;
        default:
            return false;
    }
}

bool PanelCommandChecked(const PanelState& panel, int command) {
    switch (command) {
        case kLoop:
            return panel.looping;
        case kOverview:
            return panel.overview;
        case kCollapse:
            return panel.collapsed;
        default:
            return false;
    }
}

bool ContextCommandEnabled(const CTimelineModel& model, const RightClick& at, int command) {
    const bool selected = model.SelectedClip() != nullptr;
    if (command == kNewClipsKeepFeet) return true;
    if (command == kAddLayer) return int(model.Layers().tracks.size()) < kMaxLayers;
    if (CurveOfCommand(command) >= 0 || command == kKeepInStep) return at.transition > 0;
    if (command == kBlendAtBestPoint) return at.transition > 0 && at.transitionEarlier > 0;
    if (AlignSegmentOfCommand(command) >= 0) return CanAlignSelected(model);
    if (OneOf(command, kCopy) || OneOf(command, kCut) || OneOf(command, kDelete) ||
        command == kReverse || command == kMirror || command == kClipRequest ||
        IsClipSwitchCommand(command)) {
        return selected;
    }
    if (command == kRepeat) return model.CanRepeatSelected(RepeatLimits::kFewest);
    if (SpeedCurveOfCommand(command) >= 0) return model.CanSetSpeedCurve(model.SelectedPosition());
    if (OneOf(command, kPaste)) return model.Clipboard().has_value();
    switch (command) {
        case kMenuSplit:
            return model.CanSplitAt(model.CurrentFrame());
        case kMenuAddMotion:
        case kMenuAddPose:
        case kMenuAddInitialPose:
        case kMenuAddCurrentPose:
            return true;
        case kSetInMark:
        case kSetOutMark:
            return at.frame >= 0;
        case kClearInMark:
        case kGoInMark:
            return model.InMark() >= 0;
        case kClearOutMark:
        case kGoOutMark:
            return model.OutMark() >= 0;
        default:
            return false;
    }
}

bool ContextCommandChecked(const CTimelineModel& model, const RightClick& at, int command) {
    if (command == kNewClipsKeepFeet) return model.NewClipsKeepFeetPlanted();
    if (const MotionClip* clip = model.SelectedClip(); clip && IsClipSwitchCommand(command)) {
        const ClipPlace place = ClipPlaceOf(clip->offset);
        return command == kKeepOwnPlace ? place.ownPlace : !place.feetFree;
    }
    if (const int speed = SpeedCurveOfCommand(command); speed >= 0) {
        const MotionClip* clip = model.SelectedClip();
        return clip && int(clip->speedCurve) == speed;
    }
    const int curve = CurveOfCommand(command);
    const MotionClip* earlier = model.ClipAtPosition(at.transitionEarlier);
    if (!earlier || at.transition <= 0) return false;
    if (command == kKeepInStep) return !ClipPlaceOf(earlier->offset).ownTiming;
    return curve >= 0 && int(earlier->curveType) == curve;
}

// Positions count from the latest clip: the clip before in time is one further.
int SelectionStep(const CTimelineModel& model, const PanelState& panel, int step) {
    const int selected = model.SelectedPosition();
    const bool moving = model.Project().motionClips.Count() > 0 && !panel.playing;
    const int to = selected + step;
    return moving && selected >= 0 && to >= 0 && model.ClipAtPosition(to) ? to : -1;
}

// A play stops, and a stopped timeline plays, when it has something to play.
int PlayOrStop(const CTimelineModel& model, const PanelState& panel, int play) {
    if (!HasSomethingToPlay(model, panel.soundFrames)) return 0;
    return panel.playing ? kStop : play;
}

// Whether a weight item has the weight.
bool IsPresetWeight(float weight) {
    return std::any_of(std::begin(kLayerWeights), std::end(kLayerWeights),
                       [&](int command) { return WeightOfCommand(command) == weight; });
}

}  // namespace

bool HasSomethingToPlay(const CTimelineModel& model, int soundFrames) {
    return model.PlayRangeOf(false, soundFrames).end >= 0;
}

CommandState PanelCommandState(const CTimelineModel& model, const PanelState& panel, int command) {
    return {PanelCommandEnabled(model, panel, command), PanelCommandChecked(panel, command)};
}

CommandState ContextCommandState(const CTimelineModel& model, const PanelState& panel,
                                 const RightClick& at, int command) {
    const bool editable = !panel.playing && model.HasProject();
    return {editable && ContextCommandEnabled(model, at, command),
            ContextCommandChecked(model, at, command)};
}

bool IsCheckableContextCommand(int command) {
    return CurveOfCommand(command) >= 0 || SpeedCurveOfCommand(command) >= 0 ||
           IsClipSwitchCommand(command) || command == kKeepInStep;
}

int SpeedCurveOfCommand(int command) {
    for (int i = 0; i < int(std::size(kSpeedCommands)); ++i) {
        if (kSpeedCommands[i] == command) return i;
    }
    return -1;
}

int CurveOfCommand(int command) {
    for (int i = 0; i < int(std::size(kCurveCommands)); ++i) {
        if (kCurveCommands[i] == command) return i;
    }
    return -1;
}

int AlignSegmentOfCommand(int command) {
    for (int i = 0; i < int(std::size(kAlignAt)); ++i) {
        if (OneOf(command, kAlignAt[i])) return i;
    }
    return -1;
}

bool IsClipSwitchCommand(int command) {
    return command == kKeepOwnPlace || command == kKeepFeetPlanted || command == kNewClipsKeepFeet;
}

float WeightOfCommand(int command) {
    for (int i = 0; i < int(std::size(kLayerWeights)); ++i) {
        if (kLayerWeights[i] == command) return 1.0f - 0.25f * float(i);
    }
    return -1.0f;
}

int MaskOfCommand(int command) {
    for (int i = 0; i < int(std::size(kLayerMasks)); ++i) {
        if (kLayerMasks[i] == command) return i;
    }
    return -1;
}

int SegmentOfCommand(int command) {
    const int segment = command - kLayerSegment;
    return segment >= 0 && segment < kStandardSegmentCount ? segment : -1;
}

CommandState LayerCommandState(const CTimelineModel& model, const PanelState& panel,
                               const LayerClick& at, int command) {
    const CLayerStack& layers = model.Layers();
    const bool editable = !panel.playing && model.HasProject();
    const bool onLayer = at.layer >= 0 && at.layer < int(layers.tracks.size());
    const LayerClip* clip = onLayer ? layers.tracks[at.layer].ClipAt(at.frame) : nullptr;
    const bool motion = clip && !clip->IsKeyClip();
    const auto keyAt = [&](int frame) {
        const LayerClip* c = onLayer ? layers.tracks[at.layer].ClipAt(frame) : nullptr;
        return c && std::any_of(c->keys.begin(), c->keys.end(), [&](const SegmentKey& k) {
                   return k.frame == frame - c->firstFrame;
               });
    };
    if (command == kAddLayer) return {editable && int(layers.tracks.size()) < kMaxLayers, false};
    if (command == kRemoveLayer) return {editable && onLayer, false};
    if (command == kRemoveLayerClip) return {editable && clip, false};
    if (command == kLayerAdditive || command == kLayerOverride) {
        const bool checked =
            motion && (clip->mode == LayerMode::kOverride) == (command == kLayerOverride);
        return {editable && motion, checked};
    }
    if (const float weight = WeightOfCommand(command); weight >= 0.0f) {
        return {editable && clip, clip && clip->weight == weight};
    }
    if (command == kLayerEase || command == kLayerNoEase) {
        const bool eased = clip && (clip->easeIn > 0 || clip->easeOut > 0);
        return {editable && clip && clip->Length() >= 2 * kLayerEaseFrames,
                eased == (command == kLayerEase) && clip};
    }
    if (const int mask = MaskOfCommand(command); mask >= 0) {
        return {editable && clip, clip && clip->mask == kBodyMaskPresets[mask].mask};
    }
    if (const int segment = SegmentOfCommand(command); segment >= 0) {
        return {editable && clip, clip && (clip->mask & SegmentBit(segment)) != 0};
    }
    if (command == kLayerWeightAsk) {
        const bool preset = clip && IsPresetWeight(clip->weight);
        return {editable && clip, clip && !preset};
    }
    if (command == kLayerEaseAsk) {
        const bool other = clip && (clip->easeIn > 0 || clip->easeOut > 0) &&
                           (clip->easeIn != kLayerEaseFrames || clip->easeOut != kLayerEaseFrames);
        return {editable && clip && clip->Length() >= 2, other};
    }
    if (command == kDeleteKeys) return {editable && keyAt(at.frame), false};
    if (command == kClearKeys) return {editable && clip && clip->IsKeyClip(), false};
    if (command == kMoveKeysHere) {
        const LayerClip* from =
            onLayer ? layers.tracks[at.layer].ClipAt(model.CurrentFrame()) : nullptr;
        return {editable && from == clip && at.frame != model.CurrentFrame() &&
                    keyAt(model.CurrentFrame()),
                false};
    }
    return {};
}

std::optional<KeyResponse> RespondToKey(const CTimelineModel& model, const PanelState& panel,
                                        int key) {
    for (const KeyBinding& binding : kTimelineKeys) {
        if (binding.key != key) continue;
        switch (binding.action) {
            case KeyAction::kRunCommand:
                if (!PanelCommandEnabled(model, panel, binding.command)) return KeyResponse{};
                return KeyResponse{.command = binding.command};
            case KeyAction::kPlayAllOrStop:
                return KeyResponse{.command = PlayOrStop(model, panel, kPlayAll)};
            case KeyAction::kPlayRangeOrStop:
                return KeyResponse{.command = PlayOrStop(model, panel, kPlayRange)};
            case KeyAction::kSelectEarlierClip:
                return KeyResponse{.select = SelectionStep(model, panel, 1)};
            case KeyAction::kSelectLaterClip:
                return KeyResponse{.select = SelectionStep(model, panel, -1)};
            case KeyAction::kDeleteSelected:
                return KeyResponse{.deleteSelected = true};
        }
    }
    return std::nullopt;
}

}  // namespace tavrel
