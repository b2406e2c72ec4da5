#pragma once
// The only way the colleagues (and the windows in their frames) see the rest of the editor:
// the mediator and the main window as they need them, so that neither header is theirs to
// include. Also what the colleagues need from the windows that fill their frames: the gallery,
// the timeline and the 3D window's tools implement these and are set on their colleague; until
// then every operation answers "nothing done" and the frames show an empty pane.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "app/WindowLayout.h"
#include "motion/Quaternion.h"
#include "timeline/MotionManagerSide.h"

class QAction;
class QMdiArea;
class QString;

namespace tavrel {

class CTimelineProject;
struct FrameSample;

class CColleague;

// The main window, seen from the colleagues whose frames it holds.
class CMainFrameSeam {
public:
    virtual ~CMainFrameSeam() = default;
    virtual QMdiArea* MdiArea() const = 0;
    // The three frames' places in the MDI area's current client rectangle.
    virtual CWindowLayout ClientLayout() const = 0;
    // A command's menu item and button; null when the menu has no such command.
    virtual QAction* Action(int id) const = 0;
    // A short notice in the status bar, gone after timeoutMs.
    virtual void ShowNotice(const QString& text, int timeoutMs) = 0;
};

// The mediator, seen from its colleagues and from the windows that fill their frames: they
// reach each other only through it.
class CMediatorSeam {
public:
    virtual ~CMediatorSeam() = default;
    virtual bool SetActiveColleague(CColleague* colleague) = 0;
    virtual void RefreshTimelineFrame() = 0;
    virtual void GalleryFocused() = 0;
    virtual bool IsTimelineBusy() const = 0;
    virtual void TimelineBusyChanged() = 0;
    // The mutex that keeps the 3D machinery to one user at a time; null before it exists.
    virtual std::mutex* SharedMutex() = 0;
    // The shared mutex taken and let go on the window thread, the thumbnail worker paused
    // meanwhile; TryLockMutex does not wait.
    virtual bool TryLockMutex() = 0;
    virtual void UnlockMutex() = 0;
    virtual std::string GetProjectDirectory() const = 0;
    virtual void SetProjectDirectory(const std::string& path) = 0;
    // The folders motion and pose files were last added from.
    virtual std::string GetMotionDirectory() const = 0;
    virtual void SetMotionDirectory(const std::string& path) = 0;
    virtual std::string GetPoseDirectory() const = 0;
    virtual void SetPoseDirectory(const std::string& path) = 0;
    virtual void SetProjectTitle(const std::string& path) = 0;
    virtual void ShowFrameSample(const FrameSample& sample) = 0;
    virtual void ShowClip(const std::string& motionPath) = 0;
    // The hook the timeline's pose-clip edits write the pose on screen through.
    virtual CMotionManagerSide::PoseWriter PoseWriter() = 0;
    // A body segment was turned in the 3D window (turn: new rotation over old, applied first);
    // true when the timeline kept it as a key of its selected layer.
    virtual bool SegmentTurned(const std::string&, const Quat&) { return false; }
    // The timeline would show all it holds with this much more height than its usual.
    virtual void TimelineWantsHeight(int) {}
    // The timeline as it stands (null without one) and the state of its clips (see
    // CTimelineModel::ContentState): what the 3D window's ghosts and paths are made from.
    virtual const CTimelineProject* TimelineProject() const { return nullptr; }
    virtual uint64_t TimelineState() const { return 0; }
};

// The timeline panel, seen from its colleague.
class CTimelineOperations {
public:
    virtual ~CTimelineOperations() = default;
    virtual bool Undo() = 0;
    virtual bool Redo() = 0;
    virtual bool Copy() = 0;
    virtual bool Paste() = 0;
    virtual bool Delete() = 0;
    virtual bool CanUndo() const = 0;
    virtual bool CanRedo() const = 0;
    virtual bool CanCopy() const = 0;
    virtual bool CanPaste() const = 0;
    virtual bool CanDelete() const = 0;
    // Playing or otherwise not to be disturbed by new, open or exit.
    virtual bool IsBusy() const = 0;
    virtual bool NewProject() = 0;
    // Opens a project file; an empty path asks the user for one. Shows its own messages.
    virtual bool OpenProject(const std::string& path) = 0;
    // Winds the project up before the program ends; false keeps the program running.
    virtual bool WindUp() = 0;
    virtual bool CloseProject() = 0;
    // A command of the main window's menu that the timeline serves.
    virtual bool Command(int id) = 0;
    // Redraws the frame on the avatar (the 3D window became active).
    virtual void RefreshFrame() = 0;
    // The timeline as it stands (to save or export it); null when there is none.
    virtual const CTimelineProject* Project() const = 0;
    // Whether the project changed since it was opened, made or saved.
    virtual bool IsModified() const { return false; }
    // Changes with every change of the clips (see CTimelineModel::ContentState).
    virtual uint64_t ContentState() const { return 0; }
    // The project as it stands was written to its file (false: it is in none of the user's).
    virtual void SetSaved(bool) {}
    // A turn of a body segment in the 3D window, as a key on the selected layer.
    virtual bool SegmentTurned(const std::string&, const Quat&) { return false; }
};

// The gallery's panes, seen from their colleague.
class CGalleryOperations {
public:
    virtual ~CGalleryOperations() = default;
    virtual bool Copy() = 0;
    virtual bool Cut() = 0;
    virtual bool Paste() = 0;
    virtual bool Delete() = 0;
    virtual bool CanCopy() const = 0;
    virtual bool CanCut() const = 0;
    virtual bool CanPaste() const = 0;
    virtual bool CanDelete() const = 0;
    virtual bool Command(int id) = 0;
    // The check mark of a command that has one; nothing for the others.
    virtual std::optional<bool> Checked(int) const { return std::nullopt; }
    virtual void Refresh() = 0;
    virtual void Shutdown() = 0;
    // The display mode changed: rebuild what depends on it (the image generator).
    virtual void RebuildDisplay() = 0;
    // Something the commands' enabling depends on changed (the timeline started or stopped).
    virtual void UpdateCommands() {}
    // Holds the thumbnail worker off the shared mutex while this thread holds it.
    virtual void PauseThumbnails(bool) {}
};

// The 3D window's tools and frame display, seen from its colleague.
class C3DWindowTools {
public:
    virtual ~C3DWindowTools() = default;
    virtual bool Undo() = 0;
    virtual bool Redo() = 0;
    virtual bool CanUndo() const = 0;
    virtual bool CanRedo() const = 0;
    // A zoom request, in wheel notches (one notch = 1.0).
    virtual void Zoom(float amount) = 0;
    // Every cached motion is deleted (a new project was made or opened).
    virtual void EmptyMotionCache() = 0;
};

}  // namespace tavrel
