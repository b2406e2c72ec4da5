#include "timeline/TimelineModel.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "base/DebugOutput.h"
#include "motion/MotionImport.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "timeline/ClipPlacement.h"
#include "timeline/ClipRules.h"
#include "timeline/ProjectFileReader.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

bool FileExists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

void RemoveFile(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
}

// Removes files an edit wrote and no clip, record or file set names.
void RemoveWritten(const std::vector<std::string>& paths, CMotionSide& motion) {
    for (const std::string& path : paths) {
        RemoveFile(path);
        motion.Forget(path);
    }
}

// A clip of the file's length at frames 0 to length - 1, with default transitions.
MotionClip ClipOfLength(int length) {
    MotionClip clip;
    clip.SetFrames(0, length - 1);
    clip.SetDefaultTransitions();
    clip.sourceLast = length - 1;
    return clip;
}

bool IsAlignSegment(std::string_view segment) {
    return std::find(std::begin(CTimelineModel::kAlignSegments),
                     std::end(CTimelineModel::kAlignSegments),
                     segment) != std::end(CTimelineModel::kAlignSegments);
}

}  // namespace

CTimelineModel::CTimelineModel(CMotionSide& motion, CUserDecisions& decisions,
                               const CWorkingDirectory& workingDirectory)
    : motion_(motion), decisions_(decisions), workingDirectory_(workingDirectory) {}

// ---------------------------------------------------------------------------------------------
// Project

void CTimelineModel::ResetModel() {
    hasProject_ = true;
    view_ = ViewState();
    selectedMedia_ = -1;
    // The clipboard clip's file lived in the working directory, which a new project empties.
    clipboard_.reset();
    changed_ = false;
    undo_.Clear();
    redo_.Clear();
    for (CFileNameSet* set :
         {&removed_, &missingMotion_, &missingSource_, &unused_, &missingMedia_}) {
        set->Clear();
    }
}

void CTimelineModel::NewProject(CTimelineProject named) {
    // Paths of the emptied folder will name new files: nothing read from them may linger.
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(workingDirectory_.Path(), error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        motion_.Forget(it->path().string());
    }
    workingDirectory_.Empty();
    project_ = std::move(named);
    ResetModel();
}

std::vector<Message> CTimelineModel::OpenProject(const std::string& path) {
    ProjectReadResult read = CProjectFileReader(workingDirectory_, motion_).Read(path);
    project_ = std::move(read.project);
    ResetModel();
    return read.messages;
}

// ---------------------------------------------------------------------------------------------
// View state and questions

bool CTimelineModel::SetCurrentFrame(int frame) {
    if (frame < 0 || frame > kMaxFrame) return false;
    view_.currentFrame = frame;
    return true;
}

void CTimelineModel::SetInMark(int frame) {
    if (view_.outMark >= 0 && frame > view_.outMark) {
        view_.inMark = view_.outMark;
        view_.outMark = frame;
    } else {
        view_.inMark = frame;
    }
}

void CTimelineModel::SetOutMark(int frame) {
    if (view_.inMark >= 0 && frame < view_.inMark) {
        view_.outMark = view_.inMark;
        view_.inMark = frame;
    } else {
        view_.outMark = frame;
    }
}

bool CTimelineModel::Select(int position) {
    if (position != -1 && !ClipAtPosition(position)) return false;
    view_.selected = position;
    return true;
}

bool CTimelineModel::SelectMedia(int position) {
    if (position != -1 && !MediaClipAtPosition(position)) return false;
    selectedMedia_ = position;
    return true;
}

const MotionClip* CTimelineModel::ClipAtPosition(int position) const {
    if (position < 0 || position >= project_.motionClips.Count()) return nullptr;
    return &*std::next(project_.motionClips.begin(), position);
}

MotionClip* CTimelineModel::MutableClipAt(int position) {
    return project_.motionClips.At(position);
}

const MediaClip* CTimelineModel::MediaClipAtPosition(int position) const {
    if (position < 0 || position >= project_.mediaClips.Count()) return nullptr;
    return &*std::next(project_.mediaClips.begin(), position);
}

int CTimelineModel::PositionOfClipAt(int frame) const {
    int position = 0;
    for (const MotionClip& clip : project_.motionClips) {
        if (clip.Contains(frame)) return position;
        ++position;
    }
    return -1;
}

const MotionClip* CTimelineModel::ClipAt(int frame) const {
    return ClipAtPosition(PositionOfClipAt(frame));
}

bool CTimelineModel::IsFree(int first, int last) const {
    return std::none_of(project_.motionClips.begin(), project_.motionClips.end(),
                        [&](const MotionClip& c) { return Overlaps(c, first, last); });
}

FrameSample CTimelineModel::GetFrameSample(int frame) const {
    return tavrel::GetFrameSample(hasProject_ ? &project_ : nullptr, frame);
}

// ---------------------------------------------------------------------------------------------
// The edit frame, undo and redo

struct CTimelineModel::Snapshot {
    CFileNameSet removed;
    bool changed;
    int selectedMedia;
    std::optional<MotionClip> clipboard;
};

UndoRecord CTimelineModel::CurrentRecord(uint32_t kind, int kindValue) const {
    UndoRecord record;
    record.kind = kind;
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
    if (motion_.Resample(clip->sourceFileName, clip->Length(), clip->fileName)) return {};
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
    changed_ = true;
    return {true, RewriteResized(kind, resized)};
}

EditResult CTimelineModel::Undo() {
    return StepHistory(undo_, redo_);
}
EditResult CTimelineModel::Redo() {
    return StepHistory(redo_, undo_);
}

// ---------------------------------------------------------------------------------------------
// Inserting clips

EditResult CTimelineModel::InsertClip(MotionClip clip,
                                      const std::function<Message(MotionClip&)>& prepare) {
    std::vector<std::string> removedNames;
    int position = -1;
    bool cancelled = false;
    const Message failed =
        PlaceClip(project_.motionClips, std::move(clip), view_.currentFrame, kMotionInsert,
                  decisions_, removedNames, prepare, &position, &cancelled);
    if (failed || cancelled) return EditResult::Refused(failed);
    for (const std::string& name : removedNames) removed_.Add(name);
    view_.selected = position;
    changed_ = true;
    return EditResult::Done();
}

EditResult CTimelineModel::AddMotionFile(const std::string& path) {
    return RunEdit(kEditAddFile, [&] {
        if (path.size() > kMaxEnteringPathLength) {
            return EditResult::Refused(strings::kPathTooLong);
        }
        if (motion_.FrameCount(path) < 1) return EditResult::Refused(strings::kMotionFileUnusable);
        // Brought in before it is placed: a file of another frame rate or skeleton has a
        // length of its own on the timeline.
        std::vector<std::string> unmapped;
        const ImportResult file = workingDirectory_.ImportMotionFile(
            path, motion_, CMotionImport::kTimelineFrameRate, &unmapped);
        if (!file) return EditResult::Refused(file.message);
        const int length = motion_.FrameCount(file.path);
        EditResult result = length < 1 ? EditResult::Refused(strings::kMotionFileUnusable)
                                       : InsertClip(ClipOfLength(length), [&](MotionClip& clip) {
                                             clip.fileName = file.path;
                                             return Message();
                                         });
        if (!result.done) {
            RemoveFile(file.path);
        } else if (!unmapped.empty()) {
            result.message = MakeMessage(
                strings::kJointsLeftOut,
                {{std::string(kFileNameToken), std::filesystem::path(path).filename().string()},
                 {std::string(kJointsToken), CMotionImport::UnmappedSummary(unmapped)}});
        }
        return result;
    });
}

EditResult CTimelineModel::AddPoseClip(EditKind kind) {
    if (kind != kEditInitialPoseClip && kind != kEditPoseClip && kind != kEditPoseClipAlternate) {
        return EditResult::Refused();
    }
    return RunEdit(kind, [&] {
        const std::string file =
            workingDirectory_.NumberedName(kind == kEditInitialPoseClip ? "InitialPose" : "Pose");
        if (file.empty() || !motion_.WritePoseClip(kind, file)) {
            RemoveFile(file);
            return EditResult::Refused(strings::kPoseClipFailed);
        }
        EditResult result = InsertClip(ClipOfLength(1), [&](MotionClip& clip) {
            clip.fileName = file;
            return Message();
        });
        if (!result.done) RemoveFile(file);
        return result;
    });
}

// ---------------------------------------------------------------------------------------------
// Moving and resizing

EditResult CTimelineModel::MoveClip(int position, int newFirst) {
    const MotionClip* clip = ClipAtPosition(position);
    if (!clip || clip->firstFrame == newFirst) return EditResult::Refused();
    const int newLast = newFirst + clip->Length() - 1;
    if (!CanMoveClip(project_, position, newFirst, newLast)) return EditResult::Refused();
    return RunEdit(kEditMove, [&] {
        MotionClip moved = *project_.motionClips.At(position);
        project_.motionClips.RemoveCurrent();
        moved.SetFrames(newFirst, newLast);
        view_.selected = project_.motionClips.InsertSorted(moved);
        changed_ = true;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::ResizeClip(int position, int newFirst, int newLast) {
    const MotionClip* clip = ClipAtPosition(position);
    if (!clip || (clip->firstFrame == newFirst && clip->lastFrame == newLast) ||
        !CanResizeClip(project_, position, newFirst, newLast)) {
        return EditResult::Refused();
    }
    return RunEdit(
        kEditResize,
        [&] {
            MotionClip resized = *project_.motionClips.At(position);
            const bool wasStretched = resized.stretched;
            if (!wasStretched) {
                const std::string derived = MakeDerivedName(resized.fileName);
                if (derived.empty()) return EditResult::Refused();
                resized.sourceFileName = resized.fileName;
                resized.fileName = derived;
                resized.stretched = 1;
            }
            resized.SetFrames(newFirst, newLast);
            if (!motion_.Resample(resized.sourceFileName, resized.Length(), resized.fileName)) {
                // A stretched clip's own file stays; a fresh derived one is nobody's.
                if (!wasStretched) RemoveWritten({resized.fileName}, motion_);
                return EditResult::Refused(strings::kClipEditFailed);
            }
            resized.SetDefaultTransitions();
            project_.motionClips.At(position);  // the cursor on the clip, to replace it
            project_.motionClips.RemoveCurrent();
            view_.selected = project_.motionClips.InsertSorted(resized);
            changed_ = true;
            return EditResult::Done();
        },
        position);
}

// ---------------------------------------------------------------------------------------------
// Split and crop

std::optional<std::pair<MotionClip, MotionClip>> CTimelineModel::SplitClip(const MotionClip& clip,
                                                                           int f) {
    const std::string fileA = MakeDerivedName(clip.fileName);
    const std::string fileB = fileA.empty() ? std::string() : MakeDerivedName(fileA);
    if (fileB.empty()) return std::nullopt;
    if (!motion_.Split(clip.fileName, f - clip.firstFrame, fileA, fileB)) {
        // Both names were free: whatever a failed split left under them is its own debris.
        RemoveWritten({fileA, fileB}, motion_);
        return std::nullopt;
    }
    MotionClip first = clip;
    first.fileName = fileA;
    first.SetLastFrame(f - 1);
    first.SetDefaultTransitions();
    first.sourceLast = first.Length() - 1;
    first.sourceFileName.clear();
    first.stretched = 0;
    first.curveType = kCurveLinear;

    MotionClip second;
    second.fileName = fileB;
    second.SetFrames(f, clip.lastFrame);
    second.SetDefaultTransitions();
    second.sourceLast = second.Length() - 1;
    return std::make_pair(first, second);
}

EditResult CTimelineModel::SplitAtFrame(int frame) {
    int position = -1;
    int inside = 0;
    int i = 0;
    for (const MotionClip& clip : project_.motionClips) {
        if (clip.IsOneFrame() && clip.firstFrame == frame) return EditResult::Refused();
        if (clip.firstFrame < frame && frame <= clip.lastFrame) {
            position = i;
            ++inside;
        }
        ++i;
    }
    if (inside != 1) return EditResult::Refused();
    return RunEdit(kEditSplit, [&] {
        const auto halves = SplitClip(*ClipAtPosition(position), frame);
        if (!halves) return EditResult::Refused(strings::kSplitFailed);
        project_.motionClips.At(position);
        project_.motionClips.RemoveCurrent();
        project_.motionClips.InsertSorted(halves->second);
        view_.selected = project_.motionClips.InsertSorted(halves->first);
        changed_ = true;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::CropToMarks() {
    if (view_.inMark < 0 && view_.outMark < 0) return EditResult::Refused();
    const int in = view_.inMark >= 0 ? view_.inMark : FirstFrame();
    const int out = view_.outMark >= 0 ? view_.outMark : LastFrame();
    if (!hasProject_ || project_.motionClips.Count() == 0 || out - in < 2) {
        return EditResult::Refused(strings::kCropImpossible);
    }
    return RunEdit(kEditCrop, [&] {
        // Cut every clip at the range's edges, then keep the pieces inside it. A failure
        // part-way removes every file the crop wrote; a piece cut again is removed on success.
        std::vector<std::string> written;
        std::vector<std::string> cutAgain;
        std::vector<MotionClip> pieces;
        // Cuts `rest` before frame f: the later half is a piece, `rest` becomes the earlier.
        const auto cut = [&](MotionClip& rest, int f) {
            auto halves = SplitClip(rest, f);
            if (!halves) return false;
            written.push_back(halves->first.fileName);
            written.push_back(halves->second.fileName);
            pieces.push_back(halves->second);
            rest = halves->first;
            return true;
        };
        const auto fail = [&] {
            RemoveWritten(written, motion_);
            return EditResult::Refused(strings::kSplitFailed);
        };
        for (const MotionClip& clip : project_.motionClips) {
            MotionClip rest = clip;
            const bool cutAtOut = rest.Contains(out) && rest.lastFrame != out;
            if (cutAtOut && !cut(rest, out + 1)) return fail();
            if (rest.Contains(in) && rest.firstFrame != in) {
                const std::string earlier = rest.fileName;
                if (!cut(rest, in)) return fail();
                if (cutAtOut) cutAgain.push_back(earlier);
            }
            pieces.push_back(rest);
        }
        RemoveWritten(cutAgain, motion_);
        project_.motionClips.Clear();
        for (const MotionClip& piece : pieces) {
            if (Overlaps(piece, in, out)) {
                project_.motionClips.InsertSorted(piece);
            } else {
                removed_.Add(piece.fileName);
            }
        }
        view_.currentFrame = in;
        view_.selected = -1;
        changed_ = true;
        return EditResult::Done();
    });
}

// ---------------------------------------------------------------------------------------------
// Delete, copy and paste

EditResult CTimelineModel::DeleteSelected() {
    if (SelectedClip()) {
        return RunEdit(kEditDeleteClip, [&] {
            project_.motionClips.At(view_.selected);
            removed_.Add(project_.motionClips.Current()->fileName);
            project_.motionClips.RemoveCurrent();
            view_.selected = -1;
            changed_ = true;
            return EditResult::Done();
        });
    }
    if (MediaClipAtPosition(selectedMedia_)) {
        return RunEdit(kEditDeleteMedia, [&] {
            project_.mediaClips.At(selectedMedia_);
            project_.mediaClips.RemoveCurrent();
            selectedMedia_ = -1;
            return EditResult::Done();
        });
    }
    if (project_.soundFile.empty()) return EditResult::Refused();
    project_.soundFile.clear();
    return EditResult::Done();
}

void CTimelineModel::CopySelected() {
    const MotionClip* clip = SelectedClip();
    if (!clip) return;
    clipboard_ = *clip;
    clipboard_->SetFrames(0, clip->Length() - 1);
}

EditResult CTimelineModel::Paste() {
    if (!clipboard_) return EditResult::Refused();
    return RunEdit(kEditPaste, [&] {
        const fs::path proposed = MakeDerivedName(clipboard_->fileName);
        if (proposed.empty()) return EditResult::Refused(strings::kPasteNoName);
        const auto name =
            decisions_.AskPasteName(strings::kPasteNameQuestion, proposed.stem().string());
        if (!name) return EditResult::Refused();
        if (!IsValidFileName(*name)) return EditResult::Refused(strings::kInvalidFileName);
        if (!CheckFileNameLength(*name, false))
            return EditResult::Refused(FileNameTooLongMessage());
        const std::string extension = fs::path(clipboard_->fileName).extension().string();
        const std::string target = JoinPath(workingDirectory_.Path(), *name + extension);
        // Another clip's file, or one an undo record names, must never be overwritten.
        if (FileExists(target)) return EditResult::Refused(strings::kPasteNameTaken);
        const ImportResult copy = workingDirectory_.CopyInAs(
            clipboard_->fileName, *name + extension, strings::kCopyFailed);
        if (!copy) return EditResult::Refused(copy.message);
        motion_.Forget(copy.path);
        if (motion_.FrameCount(copy.path) != clipboard_->Length()) {
            RemoveWritten({copy.path}, motion_);
            return EditResult::Refused(strings::kPasteLengthChanged);
        }
        MotionClip pasted = *clipboard_;
        EditResult result = InsertClip(pasted, [&](MotionClip& clip) {
            clip.fileName = copy.path;
            return Message();
        });
        if (!result.done) RemoveFile(copy.path);
        return result;
    });
}

// ---------------------------------------------------------------------------------------------
// Edits of the selected clip's motion

EditResult CTimelineModel::ReplaceFileOfSelected(
    const std::function<bool(const std::string&)>& write, int failureMessage) {
    MotionClip* clip = MutableClipAt(view_.selected);
    if (!clip) return EditResult::Refused();
    const std::string target = MakeDerivedName(clip->fileName);
    if (target.empty() || !write(target)) {
        if (!target.empty()) RemoveFile(target);
        return EditResult::Refused(failureMessage);
    }
    clip->fileName = target;
    clip->sourceFileName.clear();
    clip->stretched = 0;
    changed_ = true;
    return EditResult::Done();
}

EditResult CTimelineModel::AlignToPrevious(std::string_view segment) {
    if (!SelectedClip()) return EditResult::Refused();
    return RunEdit(kEditAlign, [&] {
        const MotionClip* previous = ClipAtPosition(view_.selected + 1);
        if (!IsAlignSegment(segment) || !previous) {
            return EditResult::Refused(strings::kAlignImpossible);
        }
        const MotionClip before = *previous;
        const std::string file = SelectedClip()->fileName;
        return ReplaceFileOfSelected(
            [&](const std::string& target) {
                return motion_.Align(before.fileName, before.Length() - 1, file,
                                     std::string(segment), target);
            },
            strings::kAlignImpossible);
    });
}

EditResult CTimelineModel::ReverseSelected() {
    if (!SelectedClip()) return EditResult::Refused();
    return RunEdit(kEditReverse, [&] {
        const std::string file = SelectedClip()->fileName;
        return ReplaceFileOfSelected(
            [&](const std::string& target) { return motion_.Reverse(file, target); },
            strings::kClipEditFailed);
    });
}

EditResult CTimelineModel::RotateSegmentOfSelected(std::string_view segment,
                                                   const SegmentRotation& rotation, bool absolute) {
    if (!SelectedClip()) return EditResult::Refused();
    return RunEdit(kEditRotateSegment, [&] {
        const std::string file = SelectedClip()->fileName;
        return ReplaceFileOfSelected(
            [&](const std::string& target) {
                return motion_.RotateSegment(file, std::string(segment), rotation, absolute,
                                             target);
            },
            strings::kClipEditFailed);
    });
}

EditResult CTimelineModel::ReplaceSelectedFile(const FileWriter& write) {
    if (!SelectedClip() || !write) return EditResult::Refused();
    return RunEdit(kEditReplaceFile, [&] {
        const std::string file = SelectedClip()->fileName;
        return ReplaceFileOfSelected([&](const std::string& target) { return write(file, target); },
                                     strings::kClipEditFailed);
    });
}

// ---------------------------------------------------------------------------------------------
// Media and sound

EditResult CTimelineModel::AddMediaFile(const std::string& path, int frameCount, bool video) {
    const int failure = video ? strings::kAviAddFailed : strings::kImageAddFailed;
    return RunEdit(video ? kEditAddVideo : kEditAddImage, [&] {
        const auto& media = project_.mediaClips;
        if (std::any_of(media.begin(), media.end(),
                        [&](const MediaClip& c) { return c.Contains(view_.currentFrame); })) {
            return EditResult::Refused(strings::kMediaAlreadyAtFrame);
        }
        if (path.size() > kMaxEnteringPathLength) {
            return EditResult::Refused(strings::kPathTooLong);
        }
        if (!IsValidFileName(fs::path(path).filename().string())) {
            return EditResult::Refused(strings::kMediaNameRefused);
        }
        if (frameCount < 1 || (!video && frameCount != 1)) return EditResult::Refused(failure);
        if (frameCount > kMaxFrame + 1) return EditResult::Refused(strings::kMediaBeyondEnd);
        MediaClip clip;
        clip.header = video ? MediaClip::kHeaderVideo : MediaClip::kHeaderImage;
        clip.SetFrames(0, frameCount - 1);
        std::vector<std::string> removedNames;
        std::string copied;
        int position = -1;
        bool cancelled = false;
        const Message failed = PlaceClip<MediaClip>(
            project_.mediaClips, clip, view_.currentFrame, kMediaInsert, decisions_, removedNames,
            [&](MediaClip& c) {
                ImportResult file = workingDirectory_.CopyIn(path, failure);
                c.fileName = copied = file.path;
                return file.message;
            },
            &position, &cancelled);
        if (failed || cancelled) {
            if (!copied.empty()) RemoveFile(copied);
            return EditResult::Refused(failed);
        }
        selectedMedia_ = position;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::MoveMediaClip(int position, int newFirst) {
    const MediaClip* clip = MediaClipAtPosition(position);
    if (!clip || clip->firstFrame == newFirst) return EditResult::Refused();
    const int newLast = newFirst + clip->Length() - 1;
    if (newFirst < 0 || newLast > kMaxFrame) return EditResult::Refused();
    // The media track shows one clip at a time: media clips never overlap.
    int i = 0;
    for (const MediaClip& other : project_.mediaClips) {
        if (i++ != position && Overlaps(other, newFirst, newLast)) return EditResult::Refused();
    }
    return RunEdit(kEditMoveMedia, [&] {
        MediaClip moved = *project_.mediaClips.At(position);
        project_.mediaClips.RemoveCurrent();
        moved.SetFrames(newFirst, newLast);
        selectedMedia_ = project_.mediaClips.InsertSorted(moved);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetSoundFile(const std::string& path) {
    if (!hasProject_) return EditResult::Refused();
    // The new sound comes in before the old one goes: a failed copy keeps the sound track.
    const ImportResult copy = workingDirectory_.CopyIn(path, strings::kSoundLoadFailed);
    if (!copy) return EditResult::Refused(copy.message);
    workingDirectory_.RemoveFilesWithExtension("wav", copy.path);
    project_.soundFile = copy.path;
    return EditResult::Done();
}

// ---------------------------------------------------------------------------------------------
// Transitions

bool CTimelineModel::SetTransitionIn(int position, int frames) {
    MotionClip* clip = MutableClipAt(position);
    if (!clip) return false;
    clip->SetTransitionIn(std::min(frames, clip->Length()));
    return true;
}

bool CTimelineModel::SetTransitionOut(int position, int frames) {
    MotionClip* clip = MutableClipAt(position);
    if (!clip) return false;
    clip->SetTransitionOut(std::min(frames, clip->Length()));
    return true;
}

bool CTimelineModel::SetCurveType(int position, uint32_t curve) {
    MotionClip* clip = MutableClipAt(position);
    if (!clip || curve > kCurveCurve) return false;
    clip->curveType = curve;
    return true;
}

// ---------------------------------------------------------------------------------------------
// File reports

void CTimelineModel::CheckFiles() {
    for (const MotionClip& clip : project_.motionClips) {
        if (!FileExists(clip.fileName)) missingMotion_.Add(clip.fileName);
        if (clip.stretched && !clip.sourceFileName.empty() && !FileExists(clip.sourceFileName)) {
            missingSource_.Add(clip.sourceFileName);
        }
    }
    for (const MediaClip& clip : project_.mediaClips) {
        if (!FileExists(clip.fileName)) missingMedia_.Add(clip.fileName);
    }
    for (const std::string& name : removed_.Names()) {
        if (!FileExists(name)) {
            unused_.Add(name);
            removed_.Remove(name);
        }
    }
}

std::vector<Message> CTimelineModel::TakeFileReports() {
    std::vector<Message> reports;
    const auto report = [&](CFileNameSet& set, int id, std::string_view token) {
        if (set.IsEmpty()) return false;
        reports.push_back(MakeMessage(id, {{std::string(token), JoinLines(set.Names())}}));
        set.Clear();
        return true;
    };
    bool motionReport = report(missingMotion_, strings::kMissingMotionFiles, kMotionFilesToken);
    motionReport |= report(missingSource_, strings::kMissingSourceFiles, kMotionFilesToken);
    motionReport |= report(unused_, strings::kUnusedFiles, kUnusedFilesToken);
    report(missingMedia_, strings::kMissingMediaFiles, kClipFilesToken);
    if (motionReport) {
        undo_.Clear();
        redo_.Clear();
    }
    return reports;
}

}  // namespace tavrel
