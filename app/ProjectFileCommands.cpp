#include "app/ProjectFileCommands.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "RKWindow/RKWindow.h"
#include "RKWindow/TimelineVideo.h"
#include "RKWindow/ui/C3DOffscreenHost.h"
#include "app/ColleagueSeams.h"
#include "compose/TimelineBake.h"
#include "motion/MotionManager.h"
#include "settings/StringIds.h"
#include "timeline/ProjectFileWriter.h"
#include "timeline/TimelineProject.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

namespace fs = std::filesystem;

constexpr int kSaveTitle = 62540;
constexpr int kExportMotionTitle = 62541;
constexpr int kExportVideoTitle = 62542;
constexpr int kSaveFailed = 62543;
constexpr int kExportFailed = 62544;
constexpr int kRestoreQuestion = 62545;
constexpr int kExporting = 62546;
constexpr int kCancel = 62547;
constexpr int kNoGL = 62548;
constexpr int kMotionWritten = 62553;
constexpr int kVideoWritten = 62554;
constexpr int kSaveChangesQuestion = 62570;

const char* const kCleanExitKey = "Autosave/CleanExit";

std::string AutosaveFolder(const std::string& dataFolder) {
    return (fs::path(dataFolder) / "Autosave").string();
}

// A QProgressDialog that says whether the user cancelled.
std::function<bool(int, int)> DialogProgress(QWidget* parent, int titleId) {
    auto dialog =
        std::make_shared<QProgressDialog>(ui::Text(kExporting), ui::Text(kCancel), 0, 100, parent);
    dialog->setWindowTitle(ui::Text(titleId));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(300);
    return [dialog](int done, int total) {
        dialog->setMaximum(total);
        dialog->setValue(done);  // a modal dialog lets the Cancel click through here
        return !dialog->wasCanceled();
    };
}

}  // namespace

CProjectFileCommands::CProjectFileCommands(QWidget* parent, std::string dataFolder)
    : QObject(parent),
      parent_(parent),
      dataFolder_(std::move(dataFolder)),
      autosaveTimer_(new QTimer(this)) {
    askPath = [this](int titleId, const QString& filter, const QString& suggested) {
        return QFileDialog::getSaveFileName(parent_, ui::Text(titleId), suggested, filter);
    };
    askRestore = [this](const QString& when) {
        QString text = ui::Text(kRestoreQuestion);
        text.replace("%Time", when);
        return QMessageBox::question(parent_, ui::Text(126), text) == QMessageBox::Yes;
    };
    askSaveChanges = [this](const std::string& name) {
        const QString text = ui::MessageText(MakeMessage(kSaveChangesQuestion, {{"%Name", name}}));
        switch (QMessageBox::warning(parent_, ui::Text(126), text,
                                     QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                     QMessageBox::Save)) {
            case QMessageBox::Save:
                return SaveAnswer::kSave;
            case QMessageBox::Discard:
                return SaveAnswer::kDiscard;
            default:
                return SaveAnswer::kCancel;
        }
    };
    askSaveWithoutLayers = [this] {
        const QString text = ui::Text(strings::kSaveWithoutLayers);
        return QMessageBox::question(parent_, ui::Text(126), text) == QMessageBox::Yes;
    };
    makeProgress = [this](int titleId) { return DialogProgress(parent_, titleId); };
    askVideo = [this](QSize viewSize) { return CVideoExportDialog::Ask(parent_, viewSize); };
    connect(autosaveTimer_, &QTimer::timeout, this, &CProjectFileCommands::FollowChanges);
    autosaveTimer_->start(kAutosaveInterval);
}

CProjectFileCommands::~CProjectFileCommands() = default;

bool CProjectFileCommands::Handles(int id) const {
    return id == command::kSave || id == command::kSaveAs || id == command::kExportMotion ||
           id == command::kExportVideo;
}

bool CProjectFileCommands::IsEnabled(int id) const {
    if (!timeline_ || timeline_->IsBusy() || !timeline_->Project()) return false;
    if (id == command::kExportMotion || id == command::kExportVideo)
        return timeline_->Project()->LastFrame() >= 0;
    return Handles(id);
}

bool CProjectFileCommands::Run(int id) {
    if (!IsEnabled(id)) return false;
    switch (id) {
        case command::kSave:
            return Save();
        case command::kSaveAs:
            return SaveAs();
        case command::kExportMotion:
            return ExportMotion();
        case command::kExportVideo:
            return ExportVideo();
        default:
            return false;
    }
}

// Save writes where the project last went, as long as it is still the same project.
bool CProjectFileCommands::CurrentPathValid() const {
    const CTimelineProject* project = timeline_->Project();
    return !savedPath_.empty() && project->file == savedFor_;
}

bool CProjectFileCommands::Save() {
    const CTimelineProject* project = timeline_ ? timeline_->Project() : nullptr;
    if (!project) return false;
    if (CurrentPathValid()) return WriteProject(savedPath_);
    // A project read from a file goes back to it, unless it is the restored autosave.
    if (project->fromFile && !project->file.empty() && project->file != AutosaveFile())
        return WriteProject(project->file);
    return SaveAs();
}

bool CProjectFileCommands::SaveAs() {
    const CTimelineProject* project = timeline_ ? timeline_->Project() : nullptr;
    if (!project) return false;
    const bool named = !project->name.empty() && project->file != AutosaveFile();
    const QString suggested = ui::ToQString(named ? project->name : "project");
    const QString path = askPath(kSaveTitle, "Tavrel projects (*.tvp)", suggested + ".tvp");
    if (path.isEmpty()) return false;
    QString target = path;
    if (QFileInfo(target).suffix().isEmpty()) target += ".tvp";
    return WriteProject(ui::ToStdString(target));
}

bool CProjectFileCommands::WriteProject(const std::string& path) {
    const CTimelineProject* project = timeline_->Project();
    // The layers that could not be read are not in the project: nothing is lost unasked.
    if (project->layersDamaged && !askSaveWithoutLayers()) return false;
    std::string error;
    if (!CProjectFileWriter::Write(*project, path, &error)) {
        Fail(kSaveFailed, error);
        return false;
    }
    savedPath_ = path;
    savedFor_ = project->file;
    timeline_->SetSaved(true);
    // The work is safe in its file: no autosave is offered back for it.
    DropAutosave();
    if (saved) saved(ui::ToQString(path));
    return true;
}

void CProjectFileCommands::Fail(int id, const std::string& detail) {
    ui::ShowMessage(parent_, MakeMessage(id, {{"%Reason", detail}}));
}

// An export ends with the file's name, so the user knows where to look for it.
void CProjectFileCommands::Written(int id, const QString& path) {
    const std::string file = ui::ToStdString(QDir::toNativeSeparators(path));
    ui::ShowMessage(parent_, MakeMessage(id, {{std::string(kFileNameToken), file}}),
                    QMessageBox::Information);
}

bool CProjectFileCommands::ExportMotion() {
    const QString path = askPath(
        kExportMotionTitle, "Motion files (*.chb *.cha *.bvh);;glTF (*.glb *.gltf)", "baked.chb");
    if (path.isEmpty()) return false;
    CMotionManager manager;  // its own cache: the export reads, the editor plays
    const std::string rest = (fs::path(dataFolder_) / "Init.chb").string();
    auto progress = makeProgress(kExportMotionTitle);
    const BakeOutcome outcome =
        BakeTimeline(*timeline_->Project(), manager, rest, ui::ToStdString(path), progress);
    if (!outcome.ok && !outcome.cancelled) Fail(kExportFailed, outcome.error);
    if (outcome.ok) Written(kMotionWritten, path);
    return outcome.ok;
}

// The video shows what the 3D window shows: its camera (or a preset) following the avatar,
// on its background.
bool CProjectFileCommands::ExportVideo() {
    CRKSystem* view = editorView ? editorView() : nullptr;
    const QSize viewSize = view ? QSize(view->Device().width, view->Device().height) : QSize();
    const std::optional<VideoChoice> choice = askVideo(viewSize);
    if (!choice) return false;
    const QString path = askPath(kExportVideoTitle, "Videos (*.mp4 *.mkv *.mov)", "video.mp4");
    if (path.isEmpty()) return false;
    const int width = choice->size.width(), height = choice->size.height();
    const std::unique_ptr<rkHost> host = C3DOffscreenHost::Make(width, height);
    CMotionManager manager;
    CRKWindow window(manager, dataFolder_);
    if (!host || !window.Initialise(host.get(), width, height)) {
        ui::ShowMessage(parent_, MakeMessage(kNoGL));
        return false;
    }
    VideoExport job;
    job.out = ui::ToStdString(path);
    job.width = width;
    job.height = height;
    job.camera = std::max(choice->camera, 0);
    if (editorGhosts) job.ghosts = editorGhosts();
    job.ghosts.shown = choice->ghosts;
    job.paths = choice->paths;
    if (view) {
        if (choice->camera < 0) job.view = view->CameraPose();
        std::copy_n(view->BackgroundColor(), 3, job.background);
        window.System().sceneScale = view->sceneScale;
        window.System().ShowGround(view->GroundShown());
    }
    auto progress = makeProgress(kExportVideoTitle);
    const VideoOutcome outcome = RenderTimelineVideo(window, *timeline_->Project(), job, progress);
    if (!outcome.ok && !outcome.cancelled) Fail(kExportFailed, outcome.error);
    if (outcome.ok) Written(kVideoWritten, path);
    return outcome.ok;
}

std::string CProjectFileCommands::AutosaveFile() const {
    return (fs::path(AutosaveFolder(dataFolder_)) / "autosave.tvp").string();
}

// Written into a fresh folder that then replaces the last one, so copies of clips no longer
// played do not pile up and a crash while writing keeps the previous autosave.
bool CProjectFileCommands::Autosave() {
    const CTimelineProject* project = timeline_ ? timeline_->Project() : nullptr;
    if (!project || timeline_->IsBusy() || project->LastFrame() < 0) return false;
    const fs::path folder = AutosaveFolder(dataFolder_);
    const fs::path fresh = folder.string() + ".new";
    std::error_code error;
    fs::remove_all(fresh, error);
    fs::create_directories(fresh, error);
    std::string reason;
    if (error || !CProjectFileWriter::Write(*project, (fresh / "autosave.tvp").string(), &reason)) {
        fs::remove_all(fresh, error);
        return false;
    }
    fs::remove_all(folder, error);
    fs::rename(fresh, folder, error);
    if (error) return false;
    autosaved_.emplace(timeline_->ContentState(), project->soundFile);
    return true;
}

void CProjectFileCommands::FollowChanges() {
    const CTimelineProject* project = timeline_ ? timeline_->Project() : nullptr;
    if (!project || timeline_->IsBusy() || QApplication::activeModalWidget()) return;
    if (!timeline_->IsModified() || project->LastFrame() < 0) {
        if (autosaved_ || fs::exists(AutosaveFile())) DropAutosave();
        return;
    }
    const std::pair<uint64_t, std::string> now(timeline_->ContentState(), project->soundFile);
    if (autosaved_ != now || !fs::exists(AutosaveFile())) Autosave();
}

bool CProjectFileCommands::OfferRestore() {
    const QFileInfo autosave(ui::ToQString(AutosaveFile()));
    if (!autosave.exists() || !timeline_) return false;
    const QDateTime cleanExit = QSettings().value(kCleanExitKey).toDateTime();
    if (cleanExit.isValid() && autosave.lastModified() <= cleanExit) return false;
    if (!askRestore(QLocale().toString(autosave.lastModified(), QLocale::ShortFormat)))
        return false;
    if (!timeline_->OpenProject(AutosaveFile())) return false;
    // The restored work is in no file of the user's yet: leaving it asks to save it.
    timeline_->SetSaved(false);
    return true;
}

void CProjectFileCommands::MarkCleanExit() {
    autosaveTimer_->stop();
    DropAutosave();
    QSettings().setValue(kCleanExitKey, QDateTime::currentDateTime());
}

void CProjectFileCommands::DropAutosave() {
    autosaved_.reset();
    std::error_code error;
    fs::remove_all(AutosaveFolder(dataFolder_), error);
}

std::string CProjectFileCommands::ProjectName() const {
    const CTimelineProject* project = timeline_ ? timeline_->Project() : nullptr;
    if (!project) return {};
    if (CurrentPathValid()) return fs::path(savedPath_).filename().string();
    // Restored work is in no file of the user's: it is named as a new project is.
    const bool restored = project->file == AutosaveFile();
    if (project->fromFile && !project->file.empty() && !restored)
        return fs::path(project->file).filename().string();
    if (project->name.empty() || restored)
        return ui::ToStdString(ui::Text(strings::kNewProjectTitle));
    return project->name;
}

bool CProjectFileCommands::MayDiscardChanges() {
    if (!timeline_) return true;
    // The work is kept for a crash while the question is open. A discard gives nothing up
    // yet: the open or new that asked may still be cancelled (its file dialog), and the work
    // stays; the autosave goes once the project that replaces it stands unchanged.
    FollowChanges();
    const CUnsavedChangesGuard guard(askSaveChanges, [this] { return Save(); });
    return guard.MayLeave(timeline_->IsModified(), ProjectName());
}

}  // namespace tavrel
