#include "app/TimelineHost.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QSettings>
#include <QStatusBar>

#include "app/VideoMediaProbe.h"
#include "app/WavePlaybackSound.h"
#include "base/DebugOutput.h"
#include "settings/StringIds.h"
#include "settings/SystemSettings.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/TimelineStrings.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {
// Whether new motion clips keep their planted feet through blends (on unless set off).
constexpr const char* kKeepFeetPlantedKey = "Timeline/KeepFeetPlanted";
}  // namespace

std::unique_ptr<CTimelineHost> CTimelineHost::Create(CMediatorSeam* mediator,
                                                     CTimelinePanel::Services services) {
    Message failure;
    std::optional<CWorkingDirectory> folder = CWorkingDirectory::Create({}, ui::Lookup(), &failure);
    if (!folder) {
        ui::ShowMessage(nullptr, failure);
        return nullptr;
    }
    // The folder is this editor's alone (it holds its lock): what is left there was left by one
    // that ended badly.
    folder->Empty();
    std::unique_ptr<CTimelineHost> host(new CTimelineHost(mediator, std::move(*folder)));
    host->Build(std::move(services));
    // A project is there from the start, so the first drop of a motion works; the title names
    // it only once the user makes, opens or saves one.
    host->MakeProject();
    return host;
}

CTimelineHost::CTimelineHost(CMediatorSeam* mediator, CWorkingDirectory workingDirectory)
    : mediator_(mediator),
      motionSide_(motions_),
      decisions_(nullptr, ui::Lookup()),
      workingDirectory_(std::move(workingDirectory)),
      namer_(ui::Lookup()) {}

// The view (with the panel and its model) goes first: they use the sound player, the motion
// side and the working directory held here.
CTimelineHost::~CTimelineHost() {
    if (view_) {
        view_->Panel().SetColleague(nullptr);
        delete view_.data();
    }
}

void CTimelineHost::Build(CTimelinePanel::Services services) {
    if (!services.sound) {
        sound_ = std::make_unique<CWavePlaybackSound>();
        services.sound = sound_.get();
    }
    if (!services.media) {
        probe_ = std::make_unique<CVideoMediaProbe>();
        services.media = probe_.get();
    }
    if (!services.strings) services.strings = ui::Lookup();
    if (auto writer = mediator_ ? mediator_->PoseWriter() : nullptr) {
        motionSide_.SetPoseWriter(std::move(writer));
    }
    if (!services.dialogs) MakeDialogs(services);
    auto model = std::make_unique<CTimelineModel>(motionSide_, decisions_, workingDirectory_);
    // The user's choice for clips added from now on; each clip's own switch is in its menu.
    model->SetNewClipsKeepFeetPlanted(QSettings().value(kKeepFeetPlantedKey, true).toBool());
    view_ = new CTimeLineView(std::move(model), std::move(services));
    decisions_.SetParent(view_);
    if (dialogs_) dialogs_->SetParent(view_);
    view_->Panel().SetColleague(this);
}

// --- Edit commands ---

bool CTimelineHost::Undo() {
    if (!CanUndo()) return false;
    Panel().Undo();
    return true;
}
bool CTimelineHost::Redo() {
    if (!CanRedo()) return false;
    Panel().Redo();
    return true;
}
bool CTimelineHost::Copy() {
    if (!CanCopy()) return false;
    Panel().Model().CopySelected();
    return true;
}
bool CTimelineHost::Paste() {
    if (!CanPaste()) return false;
    const EditResult result = Panel().Model().Paste();
    Panel().Apply(result);
    return result.done;
}
bool CTimelineHost::Delete() {
    if (!CanDelete()) return false;
    const EditResult result = Panel().Model().DeleteSelected();
    Panel().Apply(result);
    return result.done;
}
bool CTimelineHost::CanUndo() const {
    return Ready() && !IsBusy() && Panel().Model().CanUndo();
}
bool CTimelineHost::CanRedo() const {
    return Ready() && !IsBusy() && Panel().Model().CanRedo();
}
bool CTimelineHost::CanCopy() const {
    return Ready() && Panel().Model().SelectedClip() != nullptr;
}
bool CTimelineHost::CanPaste() const {
    return Ready() && !IsBusy() && Panel().Model().HasProject() &&
           Panel().Model().Clipboard().has_value();
}
bool CTimelineHost::CanDelete() const {
    return CanCopy() && !IsBusy();
}

bool CTimelineHost::IsBusy() const {
    return Ready() && Panel().IsPlaying();
}

// --- Projects ---

bool CTimelineHost::NewProject() {
    if (!MakeProject()) return false;
    ShowTitle();
    return true;
}

bool CTimelineHost::MakeProject() {
    if (!Ready() || IsBusy()) return false;
    std::string parent = mediator_ ? mediator_->GetProjectDirectory() : std::string();
    if (parent.empty()) parent = QFileInfo(QDir::homePath()).absoluteFilePath().toStdString();
    CTimelineProject named = namer_.NewProject(parent);
    if (named.name.empty()) return false;
    motions_.Clear();
    Panel().Model().NewProject(std::move(named));
    Panel().ProjectReplaced();
    return true;
}

void CTimelineHost::MakeDialogs(CTimelinePanel::Services& services) {
    dialogs_ = std::make_unique<CQtPanelDialogs>(nullptr, services.strings);
    CQtPanelDialogs::FolderMemory memory;
    if (mediator_) {
        memory.read = [this](FileKind kind) {
            return kind == FileKind::kPose ? mediator_->GetPoseDirectory()
                                           : mediator_->GetMotionDirectory();
        };
        memory.write = [this](FileKind kind, const std::string& folder) {
            if (kind == FileKind::kPose) {
                mediator_->SetPoseDirectory(folder);
            } else {
                mediator_->SetMotionDirectory(folder);
            }
        };
    }
    dialogs_->SetFolders(std::move(memory),
                         GetMotionLibraryFolder(CSystemSettings(), services.strings));
    services.dialogs = dialogs_.get();
}

std::string CTimelineHost::AskProjectFile() const {
    const QString extension = ui::Text(strings::kProjectExtension);
    const QString start =
        QString::fromStdString(mediator_ ? mediator_->GetProjectDirectory() : std::string());
    return QFileDialog::getOpenFileName(view_, QString(), start, "*." + extension).toStdString();
}

bool CTimelineHost::OpenProject(const std::string& given) {
    if (!Ready() || IsBusy()) return false;
    const std::string path = given.empty() ? AskProjectFile() : given;
    if (path.empty()) return false;
    // The copies of the project before go, or every reopening would number the names anew.
    motions_.Clear();
    workingDirectory_.Empty();
    CTimelinePanel& panel = Panel();
    panel.SetReportsSuppressed(true);
    const std::vector<Message> messages = panel.Model().OpenProject(path);
    panel.SetReportsSuppressed(false);
    panel.ProjectReplaced();
    for (const Message& message : messages) panel.ShowMessage(message);
    if (!panel.Model().HasProject()) return false;
    if (mediator_) {
        mediator_->SetProjectDirectory(
            QFileInfo(QString::fromStdString(path)).absolutePath().toStdString());
    }
    ShowTitle();
    return true;
}

void CTimelineHost::ShowTitle() {
    if (!mediator_) return;
    const CTimelineProject& project = Panel().Model().Project();
    // A new project's file is only a suggested name: the title names a file once there is one.
    mediator_->SetProjectTitle(project.fromFile ? project.file : std::string());
}

// Playing ends before the program does; saving is offered by the file commands.
bool CTimelineHost::WindUp() {
    if (Ready()) Panel().Stop();
    return true;
}

bool CTimelineHost::CloseProject() {
    return WindUp();
}

bool CTimelineHost::Command(int id) {
    if (!Ready() || !Panel().IsCommandEnabled(id)) return false;
    Panel().RunCommand(id);
    return true;
}

void CTimelineHost::RefreshFrame() {
    if (Ready()) ShowFrameSample(Panel().GetFrameSample(Panel().CurrentFrame()));
}

bool CTimelineHost::SegmentTurned(const std::string& segment, const Quat& turn) {
    return Ready() && Panel().KeySegmentTurn(segment, turn);
}

const CTimelineProject* CTimelineHost::Project() const {
    return Ready() && Panel().Model().HasProject() ? &Panel().Model().Project() : nullptr;
}

bool CTimelineHost::IsModified() const {
    return Ready() && Panel().Model().IsModified();
}

uint64_t CTimelineHost::ContentState() const {
    return Ready() ? Panel().Model().ContentState() : 0;
}

void CTimelineHost::SetSaved(bool saved) {
    if (!Ready()) return;
    if (saved) {
        Panel().Model().MarkWritten();
    } else {
        Panel().Model().MarkUnsaved();
    }
}

// --- What the panel tells the program ---

void CTimelineHost::ShowFrameSample(const FrameSample& sample) {
    if (mediator_) mediator_->ShowFrameSample(sample);
    ShowFrameInStatusBar(sample.frame);
}

// The frame stays in a corner of the status bar of its own, beside the bar's messages.
void CTimelineHost::ShowFrameInStatusBar(int frame) {
    auto* window = Ready() ? qobject_cast<QMainWindow*>(view_->window()) : nullptr;
    if (!window) return;
    if (!statusFrame_) {
        statusFrame_ = new QLabel(window->statusBar());
        window->statusBar()->addPermanentWidget(statusFrame_);
    }
    statusFrame_->setText(FrameAndTime(ui::Text(strings::kFrameWord), frame));
}

// The 3D window edits a pose only when asked to; nothing to pass on before that.
void CTimelineHost::StillPoseChanged(bool) {}

void CTimelineHost::ShowClip(const std::string& fileName) {
    if (mediator_) mediator_->ShowClip(fileName);
}

// Both clip requests ask for the clip in the 3D window.
void CTimelineHost::Request(int command, const std::string& fileName) {
    if (fileName.empty()) return;
    if (command == commands::kColleagueRequest || command == commands::kClipRequest) {
        ShowClip(fileName);
    } else {
        DebugOutput("CTimelineHost: request " + std::to_string(command) + " not served\n");
    }
}

void CTimelineHost::NewClipsKeepFeetChanged(bool on) {
    QSettings().setValue(kKeepFeetPlantedKey, on);
}

void CTimelineHost::StripHeightWanted(int extra) {
    if (mediator_) mediator_->TimelineWantsHeight(extra);
}

void CTimelineHost::PlayingChanged(bool) {
    if (mediator_) mediator_->TimelineBusyChanged();
}

}  // namespace tavrel
