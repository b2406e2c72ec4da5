// The edit frame that makes every edit whole or nothing, the steps of undo and redo, and the
// places of clips that continue the one before.
#include <algorithm>

#include "base/DebugOutput.h"
#include "settings/StringIds.h"
#include "timeline/ClipPlace.h"
#include "timeline/TimelineModel.h"

namespace tavrel {

struct CTimelineModel::Snapshot {
    CFileNameSet removed;
    bool changed;
    int selectedMedia;
    std::optional<MotionClip> clipboard;
};

UndoRecord CTimelineModel::CurrentRecord(uint32_t kind, int kindValue) const {
    UndoRecord record;
    record.kind = kind;
    record.content = content_;
    record.project = project_;
    record.view = view_;
    record.view.kindValue = kindValue;
    return record;
}

void CTimelineModel::RestoreState(UndoRecord record) {
    // The sound track has no undo history (setting or removing it keeps no record), so a step
    // back never brings back a sound: the replaced one's file is gone from the working folder.
    std::string sound = std::move(project_.soundFile);
    project_ = std::move(record.project);
    project_.soundFile = std::move(sound);
    view_ = record.view;
    content_ = record.content;
    view_.kindValue = -1;
    if (!ClipAtPosition(view_.selected)) view_.selected = -1;
    if (!MediaClipAtPosition(selectedMedia_)) selectedMedia_ = -1;
}

EditResult CTimelineModel::RunEdit(EditKind kind, const std::function<EditResult()>& perform,
                                   int kindValue) {
    if (!hasProject_) return EditResult::Refused();
    const Snapshot before{removed_, changed_, selectedMedia_, clipboard_};
    undo_.Append(CurrentRecord(kind, kindValue));
    EditResult result = perform();
    if (result.done) {
        // A blend's own edit sets its edges; any other keeps each overlap's blend.
        if (kind != kEditBlend) KeepOverlapBlends(undo_.Last()->project, project_);
        ContinuePlaces();
        ++revision_;
        ContentChanged();
        redo_.Clear();
        return result;
    }
    if (result.message) {
        DebugPrintf("CTimelineModel edit %u failed: message %d.\n", static_cast<unsigned>(kind),
                    result.message.id);
    }
    RestoreState(std::move(*undo_.Last()));
    undo_.RemoveCurrent();
    removed_ = before.removed;
    changed_ = before.changed;
    selectedMedia_ = before.selectedMedia;
    clipboard_ = before.clipboard;
    return result;
}

// After a resize has been undone or redone the stretched file holds the other length: it is
// written again from its source at the length the restored record gives the clip. Only a
// stretched clip's file comes from its source; an unstretched one (a project file may name a
// source for it) plays its own file, which the resize never touched.
Message CTimelineModel::RewriteResized(uint32_t kind, int position) {
    if (kind != kEditResize) return {};
    const MotionClip* clip = ClipAtPosition(position);
    if (!clip || !clip->stretched || clip->sourceFileName.empty()) return {};
    if (motion_.Resample(clip->sourceFileName, clip->Length(), clip->fileName, clip->speedCurve))
        return {};
    return MakeMessage(strings::kClipEditFailed);
}

EditResult CTimelineModel::StepHistory(CCursorList<UndoRecord>& from, CCursorList<UndoRecord>& to) {
    const UndoRecord* step = from.Last();
    if (!step) return EditResult::Refused();
    to.Append(CurrentRecord(step->kind, step->view.kindValue));
    UndoRecord restored = std::move(*from.Last());
    from.RemoveCurrent();
    const uint32_t kind = restored.kind;
    const int resized = restored.view.kindValue;
    RestoreState(std::move(restored));
    ++revision_;
    changed_ = true;
    return {true, RewriteResized(kind, resized)};
}

EditResult CTimelineModel::Undo() {
    return StepHistory(undo_, redo_);
}
EditResult CTimelineModel::Redo() {
    return StepHistory(redo_, undo_);
}

void CTimelineModel::ContinuePlaces() {
    auto& clips = project_.motionClips;
    std::optional<ClipPlace> before;
    const MotionClip* previous = nullptr;
    for (int position = clips.Count() - 1; position >= 0; --position) {
        MotionClip& clip = *clips.At(position);
        ClipPlace place = ClipPlaceOf(clip.offset);
        if (previous && !place.ownPlace) {
            // The frame of the clip before at which this one starts (its last when after it).
            const int meet = std::clamp(clip.firstFrame - previous->firstFrame, 0,
                                        previous->Length() - 1);
            const auto leaves = motion_.RootPlace(previous->fileName, meet);
            const auto starts = motion_.RootPlace(clip.fileName, 0);
            if (leaves && starts) {
                place.ground = ContinuingPlace(*starts, PlaceOnPlace(*leaves, before->ground));
                clip.offset = OffsetOf(place);
                place = ClipPlaceOf(clip.offset);  // as stored, so the next clip meets it
            }
        }
        before = place;
        previous = &clip;
    }
}

}  // namespace tavrel
