#pragma once
// The timeline's model with its edits, undo and redo: what the timeline panel and the motion
// track window hold and change. Every edit either succeeds whole, keeping an undo record, or
// leaves the model exactly as it was and returns the message to show.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Message.h"
#include "timeline/FileNameSet.h"
#include "timeline/FrameSample.h"
#include "timeline/MotionSide.h"
#include "timeline/TimelineProject.h"
#include "timeline/UndoRecord.h"
#include "timeline/UserDecisions.h"
#include "timeline/WorkingDirectory.h"

namespace tavrel {

struct EditResult {
    bool done = false;  // the model changed
    Message message;    // what to show; empty when there is nothing to show

    static EditResult Done() { return {true, {}}; }
    static EditResult Refused(int id = 0, PlaceholderValues values = {}) {
        return {false, MakeMessage(id, std::move(values))};
    }
    static EditResult Refused(Message message) { return {false, std::move(message)}; }
};

class CTimelineModel {
public:
    // Body segments a clip can be aligned at.
    static constexpr std::string_view kAlignSegments[] = {"LowerTorso", "Head",  "LHand",
                                                          "RHand",      "LFoot", "RFoot"};

    CTimelineModel(CMotionSide& motion, CUserDecisions& decisions,
                   const CWorkingDirectory& workingDirectory);

    // --- The project ---
    bool HasProject() const { return hasProject_; }
    const CTimelineProject& Project() const { return project_; }
    // A new project: the working directory is emptied and the model starts over.
    void NewProject(CTimelineProject named);
    // Reads a project file into a fresh model (what could be read, when the read stopped);
    // returns the messages of the read in order.
    std::vector<Message> OpenProject(const std::string& path);

    // --- View state ---
    int CurrentFrame() const { return view_.currentFrame; }
    // Refuses frames outside 0 to kMaxFrame.
    bool SetCurrentFrame(int frame);
    int InMark() const { return view_.inMark; }
    int OutMark() const { return view_.outMark; }
    // A mark set beyond the other one swaps with it.
    void SetInMark(int frame);
    void SetOutMark(int frame);
    void ClearInMark() { view_.inMark = -1; }
    void ClearOutMark() { view_.outMark = -1; }
    int SelectedPosition() const { return view_.selected; }
    const MotionClip* SelectedClip() const { return ClipAtPosition(view_.selected); }
    // -1 clears; a position without a clip is refused.
    bool Select(int position);
    int SelectedMediaPosition() const { return selectedMedia_; }
    bool SelectMedia(int position);
    const std::optional<MotionClip>& Clipboard() const { return clipboard_; }
    bool Changed() const { return changed_; }
    void ClearChanged() { changed_ = false; }
    // Counts the changes that may renumber or replace clips (edits, undo, redo, a new
    // project): whatever holds a clip's position is stale once it moves on.
    uint64_t Revision() const { return revision_; }
    // Whether the project differs from the one last opened, made or saved. Undo and redo step
    // between content states, so stepping back to the saved one reads unchanged again.
    bool IsModified() const;
    void MarkSaved();
    // Saved, and written to the project's file by the user.
    void MarkWritten();
    // Names the clips as they stand (edits, undo, redo, transitions): equal values, equal
    // clips. What keeps a copy of the work for a crash follows it.
    uint64_t ContentState() const { return content_; }
    // The project as it stands is in no file of the user's (a restored autosave).
    void MarkUnsaved() { savedContent_ = 0; }  // no content state is 0 once there is a project

    // --- Questions about the track ---
    int FirstFrame() const { return project_.FirstFrame(); }
    int LastFrame() const { return project_.LastFrame(); }
    // The latest-starting clip containing the frame, or nothing.
    const MotionClip* ClipAt(int frame) const;
    int PositionOfClipAt(int frame) const;
    const MotionClip* ClipAtPosition(int position) const;
    const MediaClip* MediaClipAtPosition(int position) const;
    // Whether no clip meets [first, last].
    bool IsFree(int first, int last) const;
    // Whether a split at the frame is possible: it lies inside exactly one clip after that
    // clip's first frame, and no one-frame clip sits on it.
    bool CanSplitAt(int frame) const { return SplitPositionAt(frame) >= 0; }
    FrameSample GetFrameSample(int frame) const;
    // Where the feet are planted in the clip's motion, in its own frames from 0.
    FootContacts FootContactsOf(const MotionClip& clip) const {
        return motion_.FootContactsOf(clip.fileName);
    }

    // --- Edits (each keeps one undo record when it succeeds) ---
    // Kind 1. A clip blended over the end of the one before (the user's answer to the overlap)
    // is moved to the overlap where the two motions are most alike, trimmed at its head so that
    // its chosen frame meets the earlier clip's, unless the drop is to stay exactly where it is.
    EditResult AddMotionFile(const std::string& path, bool exactly = false);
    // The clip's blend with the one before it moved to the best point, as a drop would be
    // (kind 5); refused where it is best already or cannot move.
    EditResult BlendAtBestPoint(int position);
    // How alike the motions were where the last added clip was blended, there and where it was
    // dropped (pose distances in the motions' units); none when it was not moved.
    struct BlendSnap {
        float distance = 0.0f, droppedDistance = 0.0f;
    };
    const std::optional<BlendSnap>& LastBlendSnap() const { return lastSnap_; }
    // How alike the motions of the blend of the clip at `earlier` into the next are through it
    // (the pose distance in the motions' units); none when they cannot be compared.
    std::optional<float> BlendDistance(int earlier) const;
    EditResult AddPoseClip(EditKind kind);  // a pose-clip kind
    EditResult MoveClip(int position, int newFirst);                 // kind 5
    EditResult ResizeClip(int position, int newFirst, int newLast);  // kind 6
    EditResult SplitAtFrame(int frame);                              // kind 10
    EditResult CropToMarks();                                        // kind 11
    // Kind 8 with a selected motion clip, else kind 9 with a selected media clip, else the
    // sound is removed (without undo record).
    EditResult DeleteSelected();
    void CopySelected();
    EditResult Paste();                                           // kind 7
    EditResult AlignToPrevious(std::string_view segment);         // kind 16
    EditResult ReverseSelected();                                 // kind 17
    EditResult MirrorSelected();                                  // kind 28
    // The selected clip played `times` times over in its own place on the track, as long as
    // the repeats end before the next clip (kind 29).
    EditResult RepeatSelected(int times);
    bool CanRepeatSelected(int times) const;
    // The clip's speed follows the curve over its length, which stays (kind 30). Its file is
    // made anew from its unstretched source, so curves never compound; the constant curve
    // brings the plain timing back. Refused for a one-frame clip and for the curve it has.
    EditResult SetSpeedCurve(int position, SpeedCurve curve);
    bool CanSetSpeedCurve(int position) const;
    EditResult RotateSegmentOfSelected(std::string_view segment,  // kind 18
                                       const SegmentRotation& rotation, bool absolute);
    // Any other edit of the selected clip that writes a new file from its file.
    using FileWriter = std::function<bool(const std::string& path, const std::string& target)>;
    EditResult ReplaceSelectedFile(const FileWriter& write);  // kind 19
    // A video (frameCount frames, kind 2) or a picture (frameCount 1, kind 3).
    EditResult AddMediaFile(const std::string& path, int frameCount, bool video);
    EditResult MoveMediaClip(int position, int newFirst);  // kind 20
    // Copies the WAV file in as the sound track, replacing any other; no undo record.
    EditResult SetSoundFile(const std::string& path);

    // The clip's two switches: "Keep its own place" (off: it starts where the clip before it
    // leaves the body) and "Keep feet planted" (its planted feet held through blends).
    EditResult SetClipSwitches(int position, bool ownPlace, bool feetPlanted);  // kind 21
    // Whether the clip's blend into the next brings their steps together (kind 21).
    EditResult SetKeepInStep(int position, bool inStep);
    // Whether clips added from now on keep their feet planted (the user's setting).
    void SetNewClipsKeepFeetPlanted(bool on) { newClipsKeepFeet_ = on; }
    bool NewClipsKeepFeetPlanted() const { return newClipsKeepFeet_; }

    // A blend's edges and curve, each change an edit of its own (a drag is written on
    // release). True when the model changed.
    bool SetTransitionIn(int position, int frames);   // kind 23
    bool SetTransitionOut(int position, int frames);  // kind 23
    bool SetCurveType(int position, uint32_t curve);  // kind 22
    // The blend of the clip at `earlier` into the one after it in time (at earlier - 1) runs
    // over the zone: both clips' lengths are set at once (kind 23).
    EditResult SetBlend(int earlier, TransitionZone zone);
    // The marked range's frames when a mark is set; the whole timeline (every track) otherwise.
    struct PlayRange {
        int start = 0, end = -1;
        bool marked = false;
    };
    // soundFrames: the sound's length in timeline frames (0 without one).
    PlayRange PlayRangeOf(bool marksAsked, int soundFrames) const;

    // --- Layers (each edit keeps one undo record when it succeeds) ---
    const CLayerStack& Layers() const { return project_.Layers(); }
    EditResult AddLayer();              // kind 24; at most kMaxLayers
    EditResult RemoveLayer(int layer);  // kind 24
    // A motion file brought in as a clip of the layer starting at the frame (kind 25); refused
    // where it would meet another clip of the layer or pass the last frame.
    EditResult AddLayerClip(int layer, const std::string& path, int atFrame,
                            LayerMode mode = LayerMode::kAdditive);
    EditResult MoveLayerClip(int layer, int clip, int newFirst);  // kind 25
    EditResult RemoveLayerClip(int layer, int clip);              // kind 25
    // Kind 25. The clip's ends moved: a key clip's keys keep their frames (those left outside
    // go with the frames); a motion clip only gives up frames, and plays a copy of those kept.
    EditResult ResizeLayerClip(int layer, int clip, int newFirst, int newLast);
    // Kind 26. The weight lies in 0 to 1, eases in 0 to the clip's length.
    EditResult SetLayerClipMode(int layer, int clip, LayerMode mode);
    EditResult SetLayerClipWeight(int layer, int clip, float weight, int easeIn, int easeOut,
                                  CurveType curve);
    EditResult SetLayerClipMask(int layer, int clip, SegmentMask mask);
    // Kind 27. A key of the segment's turn at a frame of the layer, in the key clip there (a new
    // one where the layer has no clip); the root and motion clips take no keys.
    EditResult SetKey(int layer, int frame, int segment, Quat turn);
    // Every key at `from` moves to `to` (in the same key clip).
    EditResult MoveKeys(int layer, int from, int to);
    EditResult DeleteKeys(int layer, int frame);  // the keys at the frame
    EditResult ClearKeys(int layer, int frame);   // the key clip at the frame, with its keys
    // The segment's key turn the layer gives at the frame (no turn without a key clip there).
    Quat KeyTurnOf(int layer, int frame, int segment) const;
    // Frames added to each side of a key when a new key clip is made for it.
    static constexpr int kKeyClipMargin = 30;

    // --- Undo and redo ---
    bool CanUndo() const { return undo_.Count() > 0; }
    bool CanRedo() const { return redo_.Count() > 0; }
    int UndoCount() const { return undo_.Count(); }
    int RedoCount() const { return redo_.Count(); }
    // Both return whether a step was taken; a failed rewrite of a stretched file is reported
    // in the message, the step is taken anyway.
    EditResult Undo();
    EditResult Redo();

    // --- File reports ---
    // Looks at the files on disk, as a redraw of the tracks does: missing clip and source
    // files, and files of removed clips that are gone.
    void CheckFiles();
    // One message per non-empty report; the reports are emptied, and so are the undo and redo
    // lists when a motion report was made (their snapshots may name those files).
    std::vector<Message> TakeFileReports();
    const CFileNameSet& RemovedFiles() const { return removed_; }

private:
    struct Snapshot;
    // The frame of every edit: record the state, perform, keep the record on success or
    // restore the state exactly on failure.
    EditResult RunEdit(EditKind kind, const std::function<EditResult()>& perform,
                       int kindValue = -1);
    void RestoreState(UndoRecord record);
    UndoRecord CurrentRecord(uint32_t kind, int kindValue) const;
    EditResult StepHistory(CCursorList<UndoRecord>& from, CCursorList<UndoRecord>& to);
    Message RewriteResized(uint32_t kind, int position);

    EditResult InsertClip(MotionClip clip, const std::function<Message(MotionClip&)>& prepare,
                          OverlapChoice* answered = nullptr);
    // The clip at `position`, just blended over the end of the clip before it, moved to the best
    // point of the overlap (see AddMotionFile); false when it stays.
    bool SnapToBestBlend(int position);
    // Writes the selected clip's motion anew (write(its file, target)) into a file of its own
    // that the clip then plays.
    // A clip with a speed curve keeps it (keepCurve): the edit is made on its source, which
    // the curve then times again. Otherwise the clip plays the new file as it is.
    EditResult ReplaceFileOfSelected(const FileWriter& write, int failureMessage,
                                     bool keepCurve = true);
    EditResult ReplaceSourceOfSelected(const FileWriter& write, int failureMessage);
    // The same as an undoable edit of its own.
    EditResult RewriteSelected(EditKind kind, const FileWriter& write);
    // A change of one clip as an edit of the kind; refused when it changes nothing.
    EditResult ChangeClip(EditKind kind, int position,
                          const std::function<void(MotionClip&)>& change);
    // The position of the clip a split at the frame cuts, or -1 when it cannot be split there.
    int SplitPositionAt(int frame) const;
    // The two halves of a clip cut before frame f, written by the motion side.
    std::optional<std::pair<MotionClip, MotionClip>> SplitClip(const MotionClip& clip, int f);
    void ResetModel();
    // Every clip whose place continues starts where the clip before it in time leaves the
    // body; run after each edit, inside its undo record.
    void ContinuePlaces();
    // A change outside undo and redo: a content state never seen before.
    void ContentChanged() { content_ = ++lastContent_; }
    MotionClip* MutableClipAt(int position);
    // An edit of a copy of the layers, which become the project's when it succeeds.
    EditResult ChangeLayers(EditKind kind, const std::function<EditResult(CLayerStack&)>& change);
    // The same for one clip of a layer.
    EditResult ChangeLayerClip(EditKind kind, int layer, int clip,
                               const std::function<EditResult(LayerClip&)>& change);
    Message UnusableMotion(const std::string& path) const;
    // The layer clip cut down to [first, last], a part of its frames (see ResizeLayerClip).
    bool TrimLayerClip(LayerClip& clip, int first, int last);
    // Inside an edit: the layer clips outside [in, out] go, those across its ends are cut.
    bool CropLayers(int in, int out);
    // Inside an edit: every layer clip from frame `from` on moves by `by` frames, as the motion
    // clips under it did; false when one would pass the last frame.
    bool ShiftLayers(int from, int by);

    CMotionSide& motion_;
    CUserDecisions& decisions_;
    const CWorkingDirectory& workingDirectory_;

    bool hasProject_ = false;
    CTimelineProject project_;
    ViewState view_;
    int selectedMedia_ = -1;
    std::optional<MotionClip> clipboard_;
    bool changed_ = false;
    uint64_t revision_ = 0;
    bool newClipsKeepFeet_ = true;
    std::optional<BlendSnap> lastSnap_;
    uint64_t content_ = 0;
    uint64_t lastContent_ = 0;
    uint64_t savedContent_ = 0;
    // The sound track has no undo history: it is compared by itself.
    std::string savedSound_;

    CCursorList<UndoRecord> undo_;
    CCursorList<UndoRecord> redo_;

    CFileNameSet removed_;
    CFileNameSet missingMotion_;
    CFileNameSet missingSource_;
    CFileNameSet unused_;
    CFileNameSet missingMedia_;
};

}  // namespace tavrel
