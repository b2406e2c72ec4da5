#include "RKWindow/RKWindow.h"

#include <filesystem>

#include "AnimRead/ErrObj.h"
#include "base/DebugOutput.h"
#include "base/RegularFile.h"
#include "timeline/UndoRecord.h"

namespace tavrel {

namespace {

// Writes the motion and makes the cache read the new file. The writers raise ERROBJ when the
// file cannot be written.
int SaveAndReload(CMotion& motion, const std::string& path, CMotionManager& manager) {
    try {
        if (!motion.Save(path)) return 0;
    } catch (const ERROBJ&) {
        DebugOutput("CRKWindow: the pose clip " + path + " could not be written.\n");
        return 0;
    }
    manager.ReloadMotion(path);
    return 1;
}

// When the file was last changed; the earliest time for a file that is not there.
std::filesystem::file_time_type ChangedAt(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    return error ? std::filesystem::file_time_type::min() : time;
}

}  // namespace

CRKWindow::CRKWindow(CMotionManager& manager, std::string dataFolder)
    : manager_(manager),
      dataFolder_(std::move(dataFolder)),
      ghosts_(manager, InitialPosePath()),
      paths_(manager, InitialPosePath()),
      display_(std::make_unique<CMotion>()),
      avatarPose_(display_->GetPose(0)),
      evaluator_(manager, InitialPosePath(), [this](bool on) {
          if (waitCursor) waitCursor(on);
      }) {}

CRKWindow::~CRKWindow() = default;

bool CRKWindow::Initialise(rkHost* host, int width, int height) {
    const bool device = system_.Initialise(host, width, height);
    system_.SetUpWorld(dataFolder_);
    // Paths first: the ghosts blend over everything drawn before them.
    paths_.Attach(system_);
    ghosts_.Attach(system_);
    return device;
}

std::string CRKWindow::InitialPosePath() const {
    return (std::filesystem::path(dataFolder_) / "Init.chb").string();
}

// In this order: the clip's name, the picture behind, the pose, the redraw.
int CRKWindow::ShowFrameSample(FrameSample sample, int32_t redraw) {
    clipName_ = sample.clipFile;
    ShowMedia(sample);
    if (sample.localA == -1 && sample.localB != -1) return 0;  // only B is named: nothing to show
    int result = 1;
    const bool rest = sample.localA == -1;
    if (!rest && (sample.frame < 0 || sample.frame >= kMaxFrames)) {
        DebugOutput("CRKWindow::ShowFrameSample() failed: frame out of range.\n");
        result = 0;
    } else if (evaluator_.Evaluate(sample, shown_)) {
        // The rest pose is kept as frame 0, a clip's pose at its timeline frame.
        Store(rest ? 0 : sample.frame, shown_);
    } else {
        result = 0;  // a motion that gives no pose leaves the previous one on screen
    }
    timelineFrame_ = sample.frame;
    UpdateTimelineViews();
    if (redraw) ShowCurrentFrame();
    return result;
}

// A media clip that cannot be shown shows the plain background, never the clip's before it.
void CRKWindow::ShowMedia(const FrameSample& sample) {
    const std::string& file = sample.mediaFile;
    const bool video = sample.mediaFrame != -1;
    if (!video) videoShown_ = false;
    if (file.empty() || mediaFailure_.Matches(file, video)) {
        system_.SetBackgroundImage("");
        return;
    }
    if (!video) {
        Waiting waiting(*this);
        if (!system_.SetBackgroundImage(file)) MediaFailed(file, false);
        return;
    }
    // The same name may be another file by now (the working folder reuses names for every
    // project); a video gone from disk plays on from the file opened.
    const std::optional<FileIdentity> identity = IdentityOf(file);
    if (!video_.IsLoaded() || video_.GetPath() != file ||
        (identity && *identity != videoIdentity_)) {
        Waiting waiting(*this);
        videoShown_ = false;
        if (!video_.Load(file)) {
            video_.Unload();
            MediaFailed(file, true);
            return;
        }
        videoIdentity_ = identity.value_or(FileIdentity());
    }
    const int64_t t = int64_t(sample.mediaFrame) * 1000 / 60;
    if (!system_.Background().IsShown()) return;
    const CAviFrame* frame = video_.FrameAt(t);
    if (frame &&
        system_.SetBackgroundBitmap(frame->rgb.data(), frame->width, frame->height, frame->stride)) {
        videoShown_ = true;
        return;
    }
    // No frame at t (past the end, a damaged stretch) keeps the picture of this video shown last.
    if (!videoShown_) system_.SetBackgroundImage("");
}

// The file is not read again for the frames that follow, until it changes.
void CRKWindow::MediaFailed(const std::string& file, bool video) {
    mediaFailure_ = {file, ChangedAt(file), video};
    system_.SetBackgroundImage("");
}

bool CRKWindow::MediaFailure::Matches(const std::string& file, bool asVideo) const {
    return file == path && asVideo == video && ChangedAt(file) == changed;
}

void CRKWindow::Store(int f, const CHTR& pose) {
    display_->SetPose(f, pose);
    SetCurrentFrame(f);
}

void CRKWindow::UpdateTimelineViews() {
    const TimelineView view = timeline_ ? timeline_() : TimelineView();
    ghosts_.Update(view.project, view.state, timelineFrame_);
    paths_.Update(view.project, view.state, timelineFrame_);
}

void CRKWindow::LeaveTimelineViews() {
    ghosts_.Update(nullptr, 0, 0);
    paths_.Update(nullptr, 0, 0);
}

void CRKWindow::ClearTimelineViews() {
    ghosts_.Clear();
    paths_.Clear();
}

int CRKWindow::SetCurrentFrame(int f) {
    if (f < 0 || f > display_->GetLength() - 1) return 0;
    currentFrame_ = f;
    return 1;
}

void CRKWindow::PoseCurrentFrame() {
    if (avatarPose_ && display_->CopyPoseTo(*avatarPose_, currentFrame_))
        system_.PoseAvatar(avatarPose_->GetRoot());
}

int CRKWindow::ShowCurrentFrame() {
    PoseCurrentFrame();
    return system_.DrawScene(presentTarget);
}

int CRKWindow::WritePoseClip(const std::string& path, int i) {
    // The motion record answers any index with its nearest frame; a pose clip is of one the
    // display motion holds.
    std::unique_ptr<CHTR> pose =
        i >= 0 && i < display_->GetLength() ? display_->GetPose(i) : nullptr;
    if (!pose) {
        DebugOutput("CRKWindow::WritePoseClip() failed: no such pose.\n");
        return 0;
    }
    CMotion clip;
    clip.SetPose(0, *pose);
    return SaveAndReload(clip, path, manager_);
}

int CRKWindow::WriteInitialPoseClip(const std::string& path) {
    CMotion initial(InitialPosePath(), 0);
    if (!initial.HasData()) return 0;
    return SaveAndReload(initial, path, manager_);
}

CMotionManagerSide::PoseWriter CRKWindow::PoseWriter() {
    return [this](int kind, const std::string& target) {
        if (kind == kEditInitialPoseClip) return WriteInitialPoseClip(target) == 1;
        if (kind == kEditPoseClip || kind == kEditPoseClipAlternate)
            return WritePoseClip(target, currentFrame_) == 1;
        return false;
    };
}

}  // namespace tavrel
