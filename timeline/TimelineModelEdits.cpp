// The edits of motion clips: insert, move, resize, split, crop, delete, paste, and edits that
// rewrite the selected clip's file; transition lengths and curves.
#include <algorithm>
#include <filesystem>
#include <iterator>

#include "motion/MotionImport.h"
#include "motion/RepeatCycle.h"
#include "settings/FileNameRules.h"
#include "settings/Placeholders.h"
#include "settings/StringIds.h"
#include "timeline/ClipPlace.h"
#include "timeline/ClipPlacement.h"
#include "timeline/ClipRules.h"
#include "timeline/ModelFiles.h"
#include "timeline/TimelineModel.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using model_files::FileExists;
using model_files::RemoveFile;
using model_files::RemoveWritten;

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

// What the user is told of a motion brought in from another skeleton: the joints left out and
// which of several skeletons was taken; nothing for a motion that came in whole.
Message ImportMessage(const std::string& path, const ImportNotes& notes) {
    const bool leftOut = !notes.unmapped.empty(), chosen = !notes.skeleton.empty();
    if (!leftOut && !chosen) return {};
    PlaceholderValues values{{std::string(kFileNameToken), fs::path(path).filename().string()}};
    if (leftOut)
        values.push_back(
            {std::string(kJointsToken), CMotionImport::UnmappedSummary(notes.unmapped)});
    if (chosen) values.push_back({std::string(kNoteToken), notes.skeleton});
    const int id = !chosen   ? strings::kJointsLeftOut
                   : leftOut ? strings::kSkeletonTakenJointsLeftOut
                             : strings::kSkeletonTaken;
    return MakeMessage(id, std::move(values));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Inserting clips

EditResult CTimelineModel::InsertClip(MotionClip clip,
                                      const std::function<Message(MotionClip&)>& prepare,
                                      OverlapChoice* answered) {
    std::vector<std::string> removedNames;
    int position = -1;
    bool cancelled = false;
    ClipShift shifted;
    if (!newClipsKeepFeet_) {
        ClipPlace place = ClipPlaceOf(clip.offset);
        place.feetFree = true;
        clip.offset = OffsetOf(place);
    }
    const Message failed = PlaceClip(
        project_.motionClips, std::move(clip), view_.currentFrame, kMotionInsert,
        [this](int first, int last) { return CanPlaceClip(project_, first, last); }, decisions_,
        removedNames, prepare, &position, &cancelled, answered, &shifted);
    if (failed || cancelled) return EditResult::Refused(failed);
    // The layers' changes stay over the motion they were made on.
    if (!ShiftLayers(shifted.from, shifted.by)) {
        return EditResult::Refused(strings::kShiftBeyondEnd);
    }
    for (const std::string& name : removedNames) removed_.Add(name);
    view_.selected = position;
    changed_ = true;
    return EditResult::Done();
}

// The file named, and why it cannot be used, as the gallery's tooltip says it.
Message CTimelineModel::UnusableMotion(const std::string& path) const {
    std::string reason = motion_.UnusableReason(path);
    if (reason.empty()) reason = "it cannot be read as a motion";
    return FileMessage(strings::kMotionFileUnusable, path, reason);
}

EditResult CTimelineModel::AddMotionFile(const std::string& path, bool exactly) {
    lastSnap_.reset();
    return RunEdit(kEditAddFile, [&] {
        if (path.size() > kMaxEnteringPathLength) {
            return EditResult::Refused(strings::kPathTooLong);
        }
        if (motion_.FrameCount(path) < 1) return EditResult::Refused(UnusableMotion(path));
        std::string take;
        if (const std::vector<std::string> takes = motion_.TakesOf(path); takes.size() > 1) {
            const std::optional<std::string> chosen =
                decisions_.AskTake(strings::kChooseTake, takes);
            if (!chosen) return EditResult::Refused();  // the user changed his mind
            take = *chosen;
        }
        // Brought in before it is placed: a file of another frame rate or skeleton has a
        // length of its own on the timeline.
        ImportNotes notes;
        const ImportResult file = workingDirectory_.ImportMotionFile(
            path, motion_, CMotionImport::kTimelineFrameRate, &notes, take);
        if (!file) {
            return EditResult::Refused(file.message.id == strings::kMotionFileUnusable
                                           ? UnusableMotion(path)
                                           : file.message);
        }
        const int length = motion_.FrameCount(file.path);
        OverlapChoice answered = OverlapChoice::kReplace;
        EditResult result = length < 1 ? EditResult::Refused(UnusableMotion(path))
                                       : InsertClip(
                                             ClipOfLength(length),
                                             [&](MotionClip& clip) {
                                                 clip.fileName = file.path;
                                                 return Message();
                                             },
                                             &answered);
        if (!result.done) {
            RemoveFile(file.path);
            return result;
        }
        if (answered == OverlapChoice::kBlend && !exactly) SnapToBestBlend(view_.selected);
        result.message = ImportMessage(path, notes);
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

EditResult CTimelineModel::SetClipSwitches(int position, bool ownPlace, bool feetPlanted) {
    const MotionClip* clip = ClipAtPosition(position);
    if (!clip) return EditResult::Refused();
    ClipPlace place = ClipPlaceOf(clip->offset);
    if (place.ownPlace == ownPlace && place.feetFree == !feetPlanted) return EditResult::Refused();
    return RunEdit(kEditClipSwitches, [&] {
        place.ownPlace = ownPlace;
        place.feetFree = !feetPlanted;
        MutableClipAt(position)->offset = OffsetOf(place);
        changed_ = true;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetKeepInStep(int position, bool inStep) {
    const MotionClip* clip = ClipAtPosition(position);
    if (!clip) return EditResult::Refused();
    ClipPlace place = ClipPlaceOf(clip->offset);
    if (place.ownTiming == !inStep) return EditResult::Refused();
    return RunEdit(kEditClipSwitches, [&] {
        place.ownTiming = !inStep;
        MutableClipAt(position)->offset = OffsetOf(place);
        changed_ = true;
        return EditResult::Done();
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
            // A clip with a speed curve keeps it over its new length.
            if (!motion_.Resample(resized.sourceFileName, resized.Length(), resized.fileName,
                                  resized.speedCurve)) {
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

std::optional<float> CTimelineModel::BlendDistance(int earlier) const {
    const MotionClip* a = ClipAtPosition(earlier);
    const MotionClip* b = ClipAtPosition(earlier - 1);
    if (!a || !b || b->firstFrame > a->lastFrame || b->firstFrame <= a->firstFrame)
        return std::nullopt;
    const int overlap = a->lastFrame - b->firstFrame + 1;
    const TransitionPoint here =
        motion_.BestTransition(a->fileName, b->fileName, {overlap, overlap, overlap});
    if (!here.Found()) return std::nullopt;
    return here.distance;
}

EditResult CTimelineModel::BlendAtBestPoint(int position) {
    lastSnap_.reset();
    return RunEdit(kEditMove, [&] {
        return SnapToBestBlend(position) ? EditResult::Done() : EditResult::Refused();
    });
}

// The overlaps offered around the one dropped: from half to twice its length, in the first half
// of the new clip, so that most of it still plays after the blend.
bool CTimelineModel::SnapToBestBlend(int position) {
    const MotionClip* b = ClipAtPosition(position);
    const MotionClip* a = ClipAtPosition(position + 1);
    if (!a || !b || b->firstFrame <= a->firstFrame || b->lastFrame <= a->lastFrame) return false;
    const int dropped = a->lastFrame - b->firstFrame + 1;
    const int shortest = std::max(4, dropped / 2);
    const MatchLimits limits{shortest, std::max(8, dropped * 2),
                             std::max(shortest, b->Length() / 2)};
    const TransitionPoint best = motion_.BestTransition(a->fileName, b->fileName, limits);
    if (!best.Found()) return false;
    const TransitionPoint here =
        motion_.BestTransition(a->fileName, b->fileName, {dropped, dropped, dropped});
    if (here.Found() && here.incoming == 0 && here.distance <= best.distance) return false;
    // The clip moved and trimmed must stay on the timeline and clear of the clip after it.
    const int first = a->firstFrame + best.outgoing;
    const int last = first + b->Length() - best.incoming - 1;
    const MotionClip* after = ClipAtPosition(position - 1);
    if (last > kMaxFrame || (after && after->firstFrame <= last)) return false;
    MotionClip moved = *b;
    std::string unused;
    if (best.incoming > 0) {
        const auto halves = SplitClip(*b, b->firstFrame + best.incoming);
        if (!halves) return false;
        unused = halves->first.fileName;
        removed_.Add(b->fileName);
        moved.fileName = halves->second.fileName;
        moved.SetFrames(0, halves->second.Length() - 1);
        moved.sourceLast = moved.Length() - 1;
        // The trimmed file is the clip's motion now: a stretch or curve made again from the
        // whole source would bring the trimmed head back.
        moved.sourceFileName.clear();
        moved.stretched = 0;
        moved.speedCurve = kSpeedConstant;
    }
    moved.SetFrames(first, last);
    project_.motionClips.At(position);  // the cursor on the clip, to replace it
    project_.motionClips.RemoveCurrent();
    view_.selected = project_.motionClips.InsertSorted(moved);
    MotionClip& earlier = *MutableClipAt(view_.selected + 1);
    earlier.SetTransitionOut(best.overlap);
    MutableClipAt(view_.selected)->SetTransitionIn(best.overlap);
    if (!unused.empty()) RemoveWritten({unused}, motion_);
    lastSnap_ = BlendSnap{best.distance, here.Found() ? here.distance : best.distance};
    return true;
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
    // Each half plays its part of the clip as it played: a curve is in the halves' files.
    first.speedCurve = kSpeedConstant;

    MotionClip second;
    second.fileName = fileB;
    second.SetFrames(f, clip.lastFrame);
    second.SetDefaultTransitions();
    second.sourceLast = second.Length() - 1;
    return std::make_pair(first, second);
}

int CTimelineModel::SplitPositionAt(int frame) const {
    int position = -1;
    int inside = 0;
    int i = 0;
    for (const MotionClip& clip : project_.motionClips) {
        if (clip.IsOneFrame() && clip.firstFrame == frame) return -1;
        if (clip.firstFrame < frame && frame <= clip.lastFrame) {
            position = i;
            ++inside;
        }
        ++i;
    }
    return inside == 1 ? position : -1;
}

EditResult CTimelineModel::SplitAtFrame(int frame) {
    const int position = SplitPositionAt(frame);
    if (position < 0) return EditResult::Refused();
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
        if (!CropLayers(in, out)) return fail();
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
    ++revision_;
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

EditResult CTimelineModel::ReplaceFileOfSelected(const FileWriter& write, int failureMessage,
                                                 bool keepCurve) {
    MotionClip* clip = MutableClipAt(view_.selected);
    if (!clip) return EditResult::Refused();
    if (keepCurve && clip->speedCurve != kSpeedConstant && clip->stretched &&
        !clip->sourceFileName.empty()) {
        return ReplaceSourceOfSelected(write, failureMessage);
    }
    const std::string target = MakeDerivedName(clip->fileName);
    if (target.empty() || !write(clip->fileName, target)) {
        if (!target.empty()) RemoveFile(target);
        return EditResult::Refused(failureMessage);
    }
    clip->fileName = target;
    clip->sourceFileName.clear();
    clip->stretched = 0;
    clip->speedCurve = kSpeedConstant;  // the file plays as it is
    changed_ = true;
    return EditResult::Done();
}

// A reversed eased-in clip still starts slow, and a later curve starts from the edited source
// rather than from a file with a curve in it already.
EditResult CTimelineModel::ReplaceSourceOfSelected(const FileWriter& write, int failureMessage) {
    MotionClip* clip = MutableClipAt(view_.selected);
    const std::string source = MakeDerivedName(clip->sourceFileName);
    if (source.empty() || !write(clip->sourceFileName, source)) {
        if (!source.empty()) RemoveFile(source);
        return EditResult::Refused(failureMessage);
    }
    // Named once the source is written, so that the two names cannot meet.
    const std::string target = MakeDerivedName(clip->fileName);
    if (target.empty() || !motion_.Resample(source, clip->Length(), target, clip->speedCurve)) {
        RemoveWritten({source, target}, motion_);
        return EditResult::Refused(failureMessage);
    }
    clip->fileName = target;
    clip->sourceFileName = source;
    changed_ = true;
    return EditResult::Done();
}

EditResult CTimelineModel::RewriteSelected(EditKind kind, const FileWriter& write) {
    if (!SelectedClip() || !write) return EditResult::Refused();
    return RunEdit(kind, [&] { return ReplaceFileOfSelected(write, strings::kClipEditFailed); });
}

EditResult CTimelineModel::AlignToPrevious(std::string_view segment) {
    if (!SelectedClip()) return EditResult::Refused();
    return RunEdit(kEditAlign, [&] {
        const MotionClip* previous = ClipAtPosition(view_.selected + 1);
        if (!IsAlignSegment(segment) || !previous) {
            return EditResult::Refused(strings::kAlignImpossible);
        }
        const MotionClip before = *previous;
        return ReplaceFileOfSelected(
            [&](const std::string& file, const std::string& target) {
                return motion_.Align(before.fileName, before.Length() - 1, file,
                                     std::string(segment), target);
            },
            strings::kAlignImpossible);
    });
}

EditResult CTimelineModel::ReverseSelected() {
    return RewriteSelected(kEditReverse,
                           [this](const std::string& file, const std::string& target) {
                               return motion_.Reverse(file, target);
                           });
}

EditResult CTimelineModel::MirrorSelected() {
    if (!SelectedClip()) return EditResult::Refused();
    return RunEdit(kEditMirror, [&] {
        std::string problem;
        EditResult result = ReplaceFileOfSelected(
            [&](const std::string& file, const std::string& target) {
                return motion_.Mirror(file, target, &problem);
            },
            strings::kClipEditFailed);
        if (!result.done && !problem.empty()) {
            return EditResult::Refused(strings::kMirrorImpossible,
                                       {{std::string(kReasonToken), problem}});
        }
        return result;
    });
}

bool CTimelineModel::CanRepeatSelected(int times) const {
    const MotionClip* clip = SelectedClip();
    if (!clip || clip->IsOneFrame() || times < RepeatLimits::kFewest ||
        times > RepeatLimits::kMost) {
        return false;
    }
    const int64_t last = clip->firstFrame + int64_t(clip->Length()) * times - 1;
    return last <= kMaxFrame &&
           CanResizeClip(project_, view_.selected, clip->firstFrame, int(last));
}

EditResult CTimelineModel::RepeatSelected(int times) {
    if (!SelectedClip()) return EditResult::Refused();
    if (!CanRepeatSelected(times)) return EditResult::Refused(strings::kRepeatImpossible);
    return RunEdit(kEditRepeat, [&] {
        const int length = SelectedClip()->Length();
        EditResult result = ReplaceFileOfSelected(
            [&](const std::string& file, const std::string& target) {
                return motion_.Repeat(file, times, target) &&
                       motion_.FrameCount(target) == length * times;
            },
            strings::kClipEditFailed, false);  // each repeat plays as the clip did
        // Blends with the clips around keep their lengths: only the clip's end moves on.
        if (result.done) {
            MotionClip* clip = MutableClipAt(view_.selected);
            clip->SetLastFrame(clip->firstFrame + length * times - 1);
            clip->sourceFirst = 0;
            clip->sourceLast = clip->Length() - 1;
        }
        return result;
    });
}

bool CTimelineModel::CanSetSpeedCurve(int position) const {
    const MotionClip* clip = ClipAtPosition(position);
    return clip && !clip->IsOneFrame();
}

EditResult CTimelineModel::SetSpeedCurve(int position, SpeedCurve curve) {
    const MotionClip* clip = ClipAtPosition(position);
    if (!CanSetSpeedCurve(position) || curve >= kSpeedCurveCount || clip->speedCurve == curve)
        return EditResult::Refused();
    return RunEdit(kEditSpeedCurve, [&] {
        MotionClip timed = *clip;
        const bool resampled = timed.stretched && !timed.sourceFileName.empty();
        const std::string source = resampled ? timed.sourceFileName : timed.fileName;
        if (curve == kSpeedConstant && motion_.FrameCount(source) == timed.Length()) {
            // The plain timing of the source's own length is the source itself.
            timed.fileName = source;
            timed.sourceFileName.clear();
            timed.stretched = 0;
        } else {
            const std::string target = MakeDerivedName(timed.fileName);
            if (target.empty() || !motion_.Resample(source, timed.Length(), target, curve)) {
                if (!target.empty()) RemoveWritten({target}, motion_);
                return EditResult::Refused(strings::kClipEditFailed);
            }
            timed.fileName = target;
            timed.sourceFileName = source;
            timed.stretched = 1;
        }
        timed.speedCurve = curve;
        *MutableClipAt(position) = timed;
        view_.selected = position;
        changed_ = true;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::RotateSegmentOfSelected(std::string_view segment,
                                                   const SegmentRotation& rotation, bool absolute) {
    return RewriteSelected(
        kEditRotateSegment, [&](const std::string& file, const std::string& target) {
            return motion_.RotateSegment(file, std::string(segment), rotation, absolute, target);
        });
}

EditResult CTimelineModel::ReplaceSelectedFile(const FileWriter& write) {
    return RewriteSelected(kEditReplaceFile, write);
}

// ---------------------------------------------------------------------------------------------
// Transitions

EditResult CTimelineModel::ChangeClip(EditKind kind, int position,
                                      const std::function<void(MotionClip&)>& change) {
    const MotionClip* clip = ClipAtPosition(position);
    if (!clip) return EditResult::Refused();
    MotionClip changed = *clip;
    change(changed);
    if (changed == *clip) return EditResult::Refused();  // no step that changes nothing
    return RunEdit(kind, [&] {
        *MutableClipAt(position) = changed;
        changed_ = true;
        return EditResult::Done();
    });
}

bool CTimelineModel::SetTransitionIn(int position, int frames) {
    return ChangeClip(kEditBlend, position,
                      [frames](MotionClip& clip) {
                          clip.SetTransitionIn(std::min(frames, clip.Length()));
                      })
        .done;
}

bool CTimelineModel::SetTransitionOut(int position, int frames) {
    return ChangeClip(kEditBlend, position,
                      [frames](MotionClip& clip) {
                          clip.SetTransitionOut(std::min(frames, clip.Length()));
                      })
        .done;
}

bool CTimelineModel::SetCurveType(int position, uint32_t curve) {
    return curve < kCurveCount && ChangeClip(kEditCurve, position, [curve](MotionClip& clip) {
                                      clip.curveType = curve;
                                  }).done;
}

EditResult CTimelineModel::SetBlend(int earlier, TransitionZone zone) {
    const MotionClip* a = ClipAtPosition(earlier);
    const MotionClip* b = ClipAtPosition(earlier - 1);
    if (!a || !b || zone.end < zone.start) return EditResult::Refused();
    const auto [out, in] = LengthsOfBlend(*a, *b, zone);
    // Each length stays within its clip, and an overlap's blend keeps a frame of each.
    const int least = b->firstFrame <= a->lastFrame ? 1 : 0;
    if (out < least || out > a->Length() || in < least || in > b->Length())
        return EditResult::Refused();
    if (out == a->transitionOut && in == b->transitionIn) return EditResult::Refused();
    return RunEdit(kEditBlend, [&, out = out, in = in] {
        MutableClipAt(earlier)->SetTransitionOut(out);
        MutableClipAt(earlier - 1)->SetTransitionIn(in);
        changed_ = true;
        return EditResult::Done();
    });
}

CTimelineModel::PlayRange CTimelineModel::PlayRangeOf(bool marksAsked, int soundFrames) const {
    // Every track plays to its end: a video or a sound may run on after the last motion.
    int end = LastFrame();
    for (const MediaClip& clip : project_.mediaClips) end = std::max(end, int(clip.lastFrame));
    end = std::min(std::max(end, soundFrames - 1), kMaxFrame);
    const bool marked = marksAsked && (view_.inMark >= 0 || view_.outMark >= 0);
    if (!marked) return {0, end, false};
    return {view_.inMark >= 0 ? view_.inMark : std::max(FirstFrame(), 0),
            view_.outMark >= 0 ? view_.outMark : end, true};
}

}  // namespace tavrel
