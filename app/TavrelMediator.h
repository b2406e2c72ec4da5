#pragma once
// The mediator: owns one colleague per window and one for application-wide services, routes
// every menu command, edit command and request between them, and lays the three fixed child
// frames out.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/APSystemColleague.h"
#include "app/C3DWindowColleague.h"
#include "app/Colleague.h"
#include "app/CommandIds.h"
#include "app/GalleryColleague.h"
#include "app/Mediator.h"
#include "app/MediatorFrameSeam.h"
#include "app/TimelineColleague.h"

namespace tavrel {

class CPreviewDialog;
class CHelpWindow;

struct CShellOptions {
    std::string dataFolder;     // the per-user data folder with the extracted avatar files
    std::string programFolder;  // share/tavrel: help and documents
    bool withGL = true;         // false: the 3D window shows a notice instead of a view
};

class CTavrelMediator : public CMediator, public CMediatorSeam {
public:
    CTavrelMediator(CMediatorFrameSeam* mainFrame, CShellOptions options);
    ~CTavrelMediator() override;

    bool CreateColleagues() override;
    void DestroyColleagues() override;
    bool SetActiveColleague(CColleague* colleague) override;
    bool IsCreated() const { return created_; }

    // Menu commands: true when the command was served.
    bool OnCommand(int id);
    // Whether a command's menu item and button are enabled now.
    bool IsCommandEnabled(int id) const;
    // The check mark of a command whose state lives in a window; nothing for the others.
    std::optional<bool> CommandChecked(int id) const;
    // The least height the 3D window's and the gallery's frames can be laid out at.
    int UpperFramesMinimumHeight() const;
    // The height the timeline's strip takes beyond its usual (its layers' rows).
    int TimelineExtraHeight() const { return timelineExtra_; }
    void TimelineWantsHeight(int extra) override;
    bool Edit(EditCommand command);

    bool OpenFile(const std::string& path);
    void ArrangeWindows();
    void SetProjectTitle(const std::string& path) override;
    // Follows the project's changes in the main window's caption.
    void UpdateTitle();
    // The close check: the timeline winds its project up; when it may close, the 3D window
    // and the gallery are told to shut down.
    bool CanClose();
    // The display mode changed; false when the new mode is refused (the program then ends).
    bool DisplayChanged(bool accepted);
    // How the program is ended (tests record it: ending the application outside its own
    // event loop would leave every later event loop of the process stopped).
    void SetProgramEnd(std::function<void()> end) { endProgram_ = std::move(end); }

    // Requests of the colleagues.
    void SetProjectDirectory(const std::string& path) override;
    std::string GetProjectDirectory() const override;
    std::string GetMotionDirectory() const override;
    void SetMotionDirectory(const std::string& path) override;
    std::string GetPoseDirectory() const override;
    void SetPoseDirectory(const std::string& path) override;
    std::string ProgramFolder() const;
    // The shared mutex taken on this (the window's) thread. The gallery's worker is paused
    // first: the take then waits at most for the picture in hand, and nothing this thread
    // waits for meanwhile (a worker stopped for a changed folder) waits for the mutex.
    void LockMutex();
    // The same without waiting; false (the worker going on) when another holds the mutex.
    bool TryLockMutex() override;
    void UnlockMutex() override;
    bool IsTimelineBusy() const override;
    // The timeline started or stopped playing: the gallery's commands are grayed or not.
    void TimelineBusyChanged() override;
    void RefreshTimelineFrame() override;
    void GalleryFocused() override;
    void Zoom(float amount);
    // The timeline's current frame, and a clip it hands over, shown in the 3D window.
    void ShowFrameSample(const FrameSample& sample) override;
    bool SegmentTurned(const std::string& segment, const Quat& turn) override;
    const CTimelineProject* TimelineProject() const override;
    uint64_t TimelineState() const override;
    void ShowClip(const std::string& motionPath) override;
    std::mutex* SharedMutex() override;
    CMotionManagerSide::PoseWriter PoseWriter() override;
    // Plays a motion file in the preview dialog, holding the shared mutex while it runs.
    bool PreviewFile(const std::string& path);

    C3DWindowColleague* Window3D() const { return window3D_.get(); }
    CGalleryColleague* Gallery() const { return gallery_.get(); }
    CTimelineColleague* Timeline() const { return timeline_.get(); }
    CAPSystemColleague* System() const { return system_.get(); }
    CColleague* ActiveColleague() const { return active_; }
    CPreviewDialog* Preview() const { return preview_.get(); }
    // The help window, once help was asked for.
    CHelpWindow* Help() const { return help_; }
    const std::string& ProjectPath() const { return projectPath_; }

private:
    QWidget* DialogParent() const;
    bool NewProject();
    bool ToggleOption();
    void ShowHelp();
    void ShowAbout();

    bool created_ = false;
    std::unique_ptr<C3DWindowColleague> window3D_;
    std::unique_ptr<CGalleryColleague> gallery_;
    std::unique_ptr<CTimelineColleague> timeline_;
    std::unique_ptr<CAPSystemColleague> system_;
    CColleague* active_ = nullptr;
    CMediatorFrameSeam* mainFrame_;
    std::unique_ptr<CPreviewDialog> preview_;
    CHelpWindow* help_ = nullptr;  // a child of the main frame
    std::string projectPath_;
    int timelineExtra_ = 0;
    CShellOptions options_;
    std::function<void()> endProgram_;
};

}  // namespace tavrel
