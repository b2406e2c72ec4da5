#include "timeline/TimelineModel.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "settings/StringIds.h"
#include "timeline/ClipPlacement.h"
#include "timeline/ModelFiles.h"
#include "timeline/ProjectFileReader.h"

namespace tavrel {

namespace fs = std::filesystem;
using model_files::FileExists;

CTimelineModel::CTimelineModel(CMotionSide& motion, CUserDecisions& decisions,
                               const CWorkingDirectory& workingDirectory)
    : motion_(motion), decisions_(decisions), workingDirectory_(workingDirectory) {}

// ---------------------------------------------------------------------------------------------
// Project

void CTimelineModel::ResetModel() {
    ++revision_;
    hasProject_ = true;
    view_ = ViewState();
    selectedMedia_ = -1;
    // The clipboard clip's file lived in the working directory, which a new project empties.
    clipboard_.reset();
    changed_ = false;
    ContentChanged();
    MarkSaved();
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

bool CTimelineModel::IsModified() const {
    return hasProject_ && (content_ != savedContent_ || project_.soundFile != savedSound_);
}

void CTimelineModel::MarkSaved() {
    savedContent_ = content_;
    savedSound_ = project_.soundFile;
}

void CTimelineModel::MarkWritten() {
    MarkSaved();
    // The file no longer holds the layers that could not be read: nothing is left to lose.
    project_.layersDamaged = 0;
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
