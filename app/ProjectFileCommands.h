#pragma once
// The File menu's project commands: Save, Save as, Export motion (bake), Export video, and the
// autosave of the working state, which follows every change within seconds and is offered back
// after a crash. The timeline
// is reached through its operations (its project, opening a file); the questions to the user
// go through small hooks that tests answer.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "RKWindow/RKGhosts.h"
#include "app/VideoExportDialog.h"
#include "timeline/UnsavedChangesGuard.h"

class QTimer;
class QWidget;

namespace tavrel {

class CRKSystem;
class CTimelineOperations;

namespace command {
constexpr int kSave = 57603;
constexpr int kSaveAs = 57604;
constexpr int kExportMotion = 32950;
constexpr int kExportVideo = 32951;
}  // namespace command

class CProjectFileCommands : public QObject {
    Q_OBJECT
public:
    // How often the autosave looks for changes not yet in it (ms).
    static constexpr int kAutosaveInterval = 2 * 1000;

    // dataFolder: the per-user data folder (the avatar's files, the autosave).
    CProjectFileCommands(QWidget* parent, std::string dataFolder);
    ~CProjectFileCommands() override;

    void SetTimeline(CTimelineOperations* timeline) { timeline_ = timeline; }

    bool Handles(int id) const;
    bool IsEnabled(int id) const;
    bool Run(int id);

    bool Save();
    bool SaveAs();
    bool ExportMotion();
    bool ExportVideo();

    // Writes the working state to the autosave folder (also the timer's work); false when
    // there is nothing to save or it could not be written.
    bool Autosave();
    // The autosave's own work: a changed project not yet saved as it stands is written, and
    // the autosave of work that is in its file (or was given up) goes. Nothing happens while a
    // question is open: an edit may be half done under it.
    void FollowChanges();
    // Start-up: when an autosave is newer than the last clean exit, asks whether to restore it
    // and opens it in the timeline if so. True when it was restored.
    bool OfferRestore();
    // The program ends normally: the autosave is dropped and the clean exit noted.
    void MarkCleanExit();
    // Before the project is replaced (new, open) or the program ends: a changed project is
    // saved or its changes discarded as the user answers; false when the user stays with it.
    bool MayDiscardChanges();
    std::string AutosaveFile() const;
    // The file Save writes to ("" until the project was saved or came from a file).
    const std::string& SavedPath() const { return savedPath_; }

    // Questions to the user; the defaults show Qt's dialogs.
    // A file name to write (filter as QFileDialog takes it), or "" when cancelled.
    std::function<QString(int titleId, const QString& filter, const QString& suggested)> askPath;
    // The video's size and camera, offered the 3D window's size (empty without one); none
    // when cancelled.
    std::function<std::optional<VideoChoice>(QSize viewSize)> askVideo;
    // The 3D window whose camera and background a video takes; none without one.
    std::function<CRKSystem*()> editorView;
    // The 3D window's ghost count and spacing, which a video with ghosts takes.
    std::function<GhostSettings()> editorGhosts;
    // Save, discard or cancel before a changed project goes (the project's name given).
    CUnsavedChangesGuard::Question askSaveChanges;
    // Whether to write a project whose layers could not be read, without them.
    std::function<bool()> askSaveWithoutLayers;
    // Whether to restore the autosave made at the given time.
    std::function<bool(const QString& when)> askRestore;
    // Called after each exported frame; false cancels. Made anew for every export.
    std::function<std::function<bool(int done, int total)>(int titleId)> makeProgress;
    // After a successful save (the shell adds the file to the recent files).
    std::function<void(const QString& path)> saved;

private:
    bool WriteProject(const std::string& path);
    bool CurrentPathValid() const;
    void Fail(int id, const std::string& detail);
    void Written(int id, const QString& path);
    void DropAutosave();
    // The name the user knows the project by: its file's, or a new project's own.
    std::string ProjectName() const;

    QWidget* parent_;
    std::string dataFolder_;
    CTimelineOperations* timeline_ = nullptr;
    QTimer* autosaveTimer_;
    std::string savedPath_;
    std::string savedFor_;  // the project file of the project savedPath_ belongs to
    // What the autosave holds: the clips' content state and the sound.
    std::optional<std::pair<uint64_t, std::string>> autosaved_;
};

}  // namespace tavrel
