#include "app/TavrelMediator.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMdiArea>
#include <QString>
#include <QWidget>
#include <algorithm>

#include "app/AboutBox.h"
#include "app/FixedChildFrame.h"
#include "app/HelpWindow.h"
#include "app/PreviewDialog.h"
#include "base/DebugOutput.h"
#include "browse/GalleryCommandIds.h"
#include "settings/Placeholders.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr int kProgramTitle = 126;
constexpr int kDisplayRefused = 61257;
constexpr int kHelpFile = 61261;
constexpr int kHelpMissing = 61262;
constexpr int kFileMissing = 62267;

void Created(const char* name) {
    DebugOutput(std::string("CTavrelMediator::CreateColleagues: ") + name + "\n");
}

int CameraPreset(int id) {
    switch (id) {
        case command::kCameraFront:
            return 0;
        case command::kCameraBack:
            return 1;
        case command::kCameraLeft:
            return 2;
        case command::kCameraRight:
            return 3;
        case command::kCameraUp:
            return 4;
        case command::kCameraDown:
            return 5;
        default:
            return -1;
    }
}

bool IsTimelineCommand(int id) {
    switch (id) {
        case 32784:
        case 32785:
        case 32820:
        case 32821:
        case 32823:
        case 32824:
        case 32885:
        case 32886:
        case 32887:
        case 40008:
        case 40010:
        case 40011:
            return true;
        default:
            return false;
    }
}

bool EditCommandOf(int id, EditCommand* command) {
    switch (id) {
        case command::kEditUndo:
            *command = EditCommand::Undo;
            return true;
        case command::kEditRedo:
            *command = EditCommand::Redo;
            return true;
        case command::kEditCopy:
            *command = EditCommand::Copy;
            return true;
        case command::kEditCut:
            *command = EditCommand::Cut;
            return true;
        case command::kEditPaste:
            *command = EditCommand::Paste;
            return true;
        case command::kDelete:
            *command = EditCommand::Delete;
            return true;
        case command::kEditSelectAll:
            *command = EditCommand::SelectAll;
            return true;
        default:
            return false;
    }
}

}  // namespace

CTavrelMediator::CTavrelMediator(CMediatorFrameSeam* mainFrame, CShellOptions options)
    : mainFrame_(mainFrame),
      options_(std::move(options)),
      endProgram_([] { QCoreApplication::exit(0); }) {
    preview_ = std::make_unique<CPreviewDialog>(DialogParent(), options_.dataFolder);
    created_ = CreateColleagues();
}

CTavrelMediator::~CTavrelMediator() {
    DestroyColleagues();
    preview_.reset();
}

QWidget* CTavrelMediator::DialogParent() const {
    return mainFrame_ ? mainFrame_->DialogParent() : nullptr;
}

bool CTavrelMediator::CreateColleagues() {
    system_ = std::make_unique<CAPSystemColleague>(this, options_.programFolder);
    Created("CAPSystemColleague");
    window3D_ = std::make_unique<C3DWindowColleague>(this, mainFrame_, options_.dataFolder,
                                                     options_.withGL);
    Created("C3DWindowColleague");
    gallery_ = std::make_unique<CGalleryColleague>(this, mainFrame_);
    Created("CGalleryColleague");
    if (!gallery_->created) return false;
    timeline_ = std::make_unique<CTimelineColleague>(this, mainFrame_);
    Created("CTimelineColleague");
    active_ = timeline_.get();
    return true;
}

void CTavrelMediator::DestroyColleagues() {
    active_ = nullptr;
    // Manipulation mode holds the shared mutex on this thread; the gallery's windows take it
    // as they go.
    if (window3D_) window3D_->LeaveManipulation();
    gallery_.reset();
    timeline_.reset();
    window3D_.reset();
    system_.reset();
}

bool CTavrelMediator::SetActiveColleague(CColleague* colleague) {
    active_ = colleague;
    return true;
}

bool CTavrelMediator::Edit(EditCommand command) {
    return active_ && active_->Edit(command);
}

bool CTavrelMediator::OnCommand(int id) {
    EditCommand edit;
    if (EditCommandOf(id, &edit)) return Edit(edit);
    if (IsTimelineCommand(id)) return timeline_ && timeline_->Command(id);
    if (const int preset = CameraPreset(id); preset >= 0) {
        return window3D_ && window3D_->SelectCamera(preset);
    }
    if (id >= command::kToolFirst && id <= command::kAxisLast) {
        return window3D_ && window3D_->ToolCommand(id);
    }
    if (id >= command::kViewsFirst && id <= command::kViewsLast) {
        return window3D_ && window3D_->ViewCommand(id);
    }
    switch (id) {
        case command::kNewProject:
            return NewProject();
        case command::kOpenProject:
            return OpenFile("");
        case command::kManipulation:
            if (!IsCommandEnabled(id)) return false;
            mainFrame_->MdiArea()->setActiveSubWindow(window3D_->Frame());
            window3D_->ToggleManipulation();
            return true;
        case command::kArrange:
            ArrangeWindows();
            return true;
        case command::kFill3D:
            if (window3D_) window3D_->FillClient();
            return window3D_ != nullptr;
        case command::kDocument1:
            return system_ && system_->OpenDocument(1);
        case command::kDocument2:
            return system_ && system_->OpenDocument(2);
        case command::kDocument3:
            return system_ && system_->OpenDocument(3);
        case command::kUpdateCheck:
            return system_ && system_->ShowUpdate(DialogParent());
        case command::kGalleryCommand:
        case gallery_command::kSmallThumbnails:
        case gallery_command::kLargeThumbnails:
            return gallery_ && gallery_->Command(id);
        case command::kNothing3D:
            return true;
        case command::kOption:
            return ToggleOption();
        case command::kHelp:
            ShowHelp();
            return true;
        case command::kAbout:
            ShowAbout();
            return true;
        default:
            return false;
    }
}

std::optional<bool> CTavrelMediator::CommandChecked(int id) const {
    if (id >= command::kViewsFirst && id <= command::kViewsLast)
        return window3D_ ? std::optional<bool>(window3D_->ViewChecked(id)) : std::nullopt;
    return gallery_ ? gallery_->Checked(id) : std::nullopt;
}

bool CTavrelMediator::IsCommandEnabled(int id) const {
    EditCommand edit;
    if (EditCommandOf(id, &edit)) return active_ && active_->CanEdit(edit);
    if (id == command::kNewProject || id == command::kOpenProject || id == command::kExit) {
        return !IsTimelineBusy();
    }
    if (id >= command::kToolFirst && id <= command::kAxisLast) {
        return window3D_ && window3D_->CanToolCommand(id);
    }
    // The mode does not start while the timeline plays (its button grays); it can be left.
    if (id == command::kManipulation) {
        return window3D_ && (!IsTimelineBusy() || window3D_->IsManipulating());
    }
    return true;
}

bool CTavrelMediator::NewProject() {
    if (!timeline_) return false;
    if (window3D_) window3D_->LeaveManipulation();
    if (!timeline_->NewProject()) return false;
    if (window3D_) {
        window3D_->EmptyMotionCache();
        window3D_->SelectCamera(0);
    }
    return true;
}

bool CTavrelMediator::OpenFile(const std::string& path) {
    if (!timeline_) return false;
    if (!path.empty() && !QFileInfo::exists(QString::fromStdString(path))) {
        ui::ShowMessage(DialogParent(), MakeMessage(kFileMissing, {{"%File", path}}));
        return false;
    }
    if (window3D_) window3D_->LeaveManipulation();
    const bool opened = timeline_->OpenProject(path);
    if (opened) {
        if (window3D_) window3D_->EmptyMotionCache();
        if (!path.empty()) mainFrame_->AddRecentFile(QString::fromStdString(path));
    }
    return opened;
}

// The option shows the floor under the avatar, so that it is something a user can see.
bool CTavrelMediator::ToggleOption() {
    if (!system_) return false;
    mainFrame_->InvertCheckMark(command::kOption);
    const bool toggled = system_->ToggleOption();
    if (window3D_) window3D_->ShowFloor(system_->Option());
    return toggled;
}

int CTavrelMediator::UpperFramesMinimumHeight() const {
    int minimum = 0;
    for (const QWidget* frame : {window3D_ ? static_cast<QWidget*>(window3D_->Frame()) : nullptr,
                                 gallery_ ? static_cast<QWidget*>(gallery_->Frame()) : nullptr}) {
        if (frame)
            minimum =
                std::max({minimum, frame->minimumHeight(), frame->minimumSizeHint().height()});
    }
    return minimum;
}

void CTavrelMediator::TimelineWantsHeight(int extra) {
    if (extra == timelineExtra_) return;
    timelineExtra_ = extra;
    ArrangeWindows();
}

void CTavrelMediator::ArrangeWindows() {
    const CWindowLayout layout = mainFrame_->ClientLayout();
    if (window3D_) window3D_->ApplyLayout(layout.view3D);
    if (gallery_) gallery_->ApplyLayout(layout.gallery);
    if (timeline_) timeline_->ApplyLayout(layout.timeline);
}

void CTavrelMediator::SetProjectTitle(const std::string& path) {
    projectPath_ = path;
    UpdateTitle();
}

// The program's name, the project's file once there is one, and a mark while its changes are
// unsaved.
void CTavrelMediator::UpdateTitle() {
    if (!mainFrame_) return;
    QString title = ui::Text(kProgramTitle);
    if (!projectPath_.empty()) title += " - " + QString::fromStdString(projectPath_);
    const CTimelineOperations* timeline = timeline_ ? timeline_->Operations() : nullptr;
    if (timeline && timeline->IsModified()) title += '*';
    if (mainFrame_->Caption() != title) mainFrame_->SetCaption(title);
}

bool CTavrelMediator::CanClose() {
    if (!timeline_ || !timeline_->WindUp()) return false;
    if (window3D_) window3D_->Shutdown();
    if (gallery_) gallery_->Shutdown();
    return true;
}

bool CTavrelMediator::DisplayChanged(bool accepted) {
    if (!accepted) {
        ui::ShowMessage(DialogParent(), MakeMessage(kDisplayRefused));
        if (endProgram_) endProgram_();
        return false;
    }
    if (window3D_) window3D_->RebuildDisplay();
    if (gallery_) gallery_->RebuildDisplay();
    return true;
}

void CTavrelMediator::SetProjectDirectory(const std::string& path) {
    if (system_) system_->SetProjectDirectory(path);
}
std::string CTavrelMediator::GetProjectDirectory() const {
    return system_ ? system_->GetProjectDirectory() : std::string();
}
std::string CTavrelMediator::GetMotionDirectory() const {
    return system_ ? system_->GetMotionDirectory() : std::string();
}
void CTavrelMediator::SetMotionDirectory(const std::string& path) {
    if (system_) system_->SetMotionDirectory(path);
}
std::string CTavrelMediator::GetPoseDirectory() const {
    return system_ ? system_->GetPoseDirectory() : std::string();
}
void CTavrelMediator::SetPoseDirectory(const std::string& path) {
    if (system_) system_->SetPoseDirectory(path);
}
std::string CTavrelMediator::ProgramFolder() const {
    return system_ ? system_->ProgramFolder() : std::string();
}
void CTavrelMediator::LockMutex() {
    if (!system_) return;
    if (gallery_) gallery_->PauseThumbnails(true);
    system_->Lock();
}
bool CTavrelMediator::TryLockMutex() {
    if (!system_) return false;
    if (gallery_) gallery_->PauseThumbnails(true);
    if (system_->TryLock()) return true;
    if (gallery_) gallery_->PauseThumbnails(false);
    return false;
}
void CTavrelMediator::UnlockMutex() {
    if (!system_) return;
    system_->Unlock();
    if (gallery_) gallery_->PauseThumbnails(false);
}
std::mutex* CTavrelMediator::SharedMutex() {
    return system_ ? &system_->Mutex() : nullptr;
}
bool CTavrelMediator::IsTimelineBusy() const {
    return timeline_ && timeline_->IsBusy();
}
void CTavrelMediator::TimelineBusyChanged() {
    if (gallery_) gallery_->UpdateCommands();
}
const CTimelineProject* CTavrelMediator::TimelineProject() const {
    return timeline_ && timeline_->Operations() ? timeline_->Operations()->Project() : nullptr;
}
uint64_t CTavrelMediator::TimelineState() const {
    return timeline_ && timeline_->Operations() ? timeline_->Operations()->ContentState() : 0;
}
void CTavrelMediator::RefreshTimelineFrame() {
    if (timeline_) timeline_->RefreshFrame();
}
void CTavrelMediator::GalleryFocused() {
    RefreshTimelineFrame();
    SetProjectTitle(projectPath_);
}
void CTavrelMediator::Zoom(float amount) {
    if (window3D_) window3D_->Zoom(amount);
}
bool CTavrelMediator::SegmentTurned(const std::string& segment, const Quat& turn) {
    return timeline_ && timeline_->SegmentTurned(segment, turn);
}
void CTavrelMediator::ShowFrameSample(const FrameSample& sample) {
    if (window3D_) window3D_->ShowFrameSample(sample);
}
void CTavrelMediator::ShowClip(const std::string& motionPath) {
    if (!window3D_) return;
    mainFrame_->MdiArea()->setActiveSubWindow(window3D_->Frame());
    window3D_->ShowClip(motionPath);
}

CMotionManagerSide::PoseWriter CTavrelMediator::PoseWriter() {
    if (!window3D_) return {};
    return window3D_->PoseWriter();
}

bool CTavrelMediator::PreviewFile(const std::string& path) {
    if (!preview_ || !preview_->SetFile(path)) return false;
    // Manipulation mode holds the mutex on this very thread: waiting for it would never end.
    if (window3D_) window3D_->LeaveManipulation();
    LockMutex();
    preview_->exec();
    UnlockMutex();
    return true;
}

void CTavrelMediator::ShowHelp() {
    const std::string name = ui::Strings().Get(kHelpFile);
    const QString path = QString::fromStdString(ProgramFolder() + name);
    if (!QFileInfo(path).isFile()) {
        ui::ShowMessage(DialogParent(),
                        MakeMessage(kHelpMissing, {{std::string(kHelpFilenameToken), name}}));
        return;
    }
    if (!help_) help_ = new CHelpWindow(DialogParent());
    help_->Open(QUrl::fromLocalFile(path));
}

void CTavrelMediator::ShowAbout() {
    CAboutBox about(DialogParent());
    about.exec();
    if (window3D_) window3D_->Resume();
}

}  // namespace tavrel
