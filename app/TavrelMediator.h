#pragma once
// The mediator: owns one colleague per window and one for application-wide services, routes
// every menu command, edit command and request between them, and lays the three fixed child
// frames out.
#include <memory>
#include <string>

#include "app/APSystemColleague.h"
#include "app/C3DWindowColleague.h"
#include "app/Colleague.h"
#include "app/GalleryColleague.h"
#include "app/Mediator.h"
#include "app/TimelineColleague.h"

class CTavrelMainFrame;
class CPreviewDialog;

// Menu command identifiers the mediator routes.
namespace command {
constexpr int kNewProject = 32771;
constexpr int kOpenProject = 32772;
constexpr int kOption = 32777;
constexpr int kDelete = 32805;
constexpr int kManipulation = 32826;
constexpr int kCameraFront = 32827;
constexpr int kCameraBack = 32828;
constexpr int kCameraLeft = 32832;
constexpr int kCameraRight = 32829;
constexpr int kCameraUp = 32830;
constexpr int kCameraDown = 32831;
// The 3D window's tools (camera move, zoom, rotate, object move, rotate), the object move's
// axis constraints (x, y, z, x and y, all) and the rotation axes (X, Y, Z), each in order.
constexpr int kToolFirst = 32960;
constexpr int kToolLast = 32964;
constexpr int kConstraintFirst = 32965;
constexpr int kConstraintLast = 32969;
constexpr int kAxisFirst = 32970;
constexpr int kAxisLast = 32972;
constexpr int kArrange = 40004;
constexpr int kFill3D = 40034;
constexpr int kDocument1 = 40012;
constexpr int kDocument2 = 40013;
constexpr int kDocument3 = 40035;
constexpr int kUpdateCheck = 40014;
constexpr int kGalleryCommand = 40015;
constexpr int kNothing3D = 40031;
constexpr int kEditCut = 57635;
constexpr int kEditCopy = 57634;
constexpr int kEditPaste = 57637;
constexpr int kEditSelectAll = 57642;
constexpr int kEditUndo = 57643;
constexpr int kEditRedo = 57644;
constexpr int kAbout = 57664;
constexpr int kExit = 57665;
constexpr int kHelp = 57666;
}  // namespace command

struct CShellOptions {
    std::string dataFolder;     // the per-user data folder with the extracted avatar files
    std::string programFolder;  // share/tavrel: help and documents
    bool withGL = true;         // false: the 3D window shows a notice instead of a view
};

class CTavrelMediator : public CMediator {
public:
    CTavrelMediator(CTavrelMainFrame* mainFrame, CShellOptions options);
    ~CTavrelMediator() override;

    bool CreateColleagues() override;
    void DestroyColleagues() override;
    bool SetActiveColleague(CColleague* colleague) override;
    bool IsCreated() const { return created_; }

    // Menu commands: true when the command was served.
    bool OnCommand(int id);
    // Whether a command's menu item and button are enabled now.
    bool IsCommandEnabled(int id) const;
    bool Edit(EditCommand command);

    bool OpenFile(const std::string& path);
    void ArrangeWindows();
    void SetProjectTitle(const std::string& path);
    // The close check: the timeline winds its project up; when it may close, the 3D window
    // and the gallery are told to shut down.
    bool CanClose();
    // The display mode changed; false when the new mode is refused (the program then ends).
    bool DisplayChanged(bool accepted);

    // Requests of the colleagues.
    void SetProjectDirectory(const std::string& path);
    std::string GetProjectDirectory() const;
    std::string GetMotionDirectory() const;
    void SetMotionDirectory(const std::string& path);
    std::string GetPoseDirectory() const;
    void SetPoseDirectory(const std::string& path);
    std::string ProgramFolder() const;
    // The shared mutex taken on this (the window's) thread. The gallery's worker is paused
    // first: the take then waits at most for the picture in hand, and nothing this thread
    // waits for meanwhile (a worker stopped for a changed folder) waits for the mutex.
    void LockMutex();
    // The same without waiting; false (the worker going on) when another holds the mutex.
    bool TryLockMutex();
    void UnlockMutex();
    bool IsTimelineBusy() const;
    // The timeline started or stopped playing: the gallery's commands are grayed or not.
    void TimelineBusyChanged();
    bool CloseTimelineProject();
    void RefreshGallery();
    void RefreshTimelineFrame();
    void GalleryFocused();
    void Zoom(float amount);
    void Redraw3D();
    // The timeline's current frame, and a clip it hands over, shown in the 3D window.
    virtual void ShowFrameSample(const tavrel::FrameSample& sample);
    void ShowClip(const std::string& motionPath);
    // Plays a motion file in the preview dialog, holding the shared mutex while it runs.
    bool PreviewFile(const std::string& path);

    C3DWindowColleague* Window3D() const { return window3D_.get(); }
    CGalleryColleague* Gallery() const { return gallery_.get(); }
    CTimelineColleague* Timeline() const { return timeline_.get(); }
    CAPSystemColleague* System() const { return system_.get(); }
    CColleague* ActiveColleague() const { return active_; }
    CPreviewDialog* Preview() const { return preview_.get(); }
    const std::string& ProjectPath() const { return projectPath_; }

private:
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
    CTavrelMainFrame* mainFrame_;
    std::unique_ptr<CPreviewDialog> preview_;
    std::string projectPath_;
    CShellOptions options_;
};
