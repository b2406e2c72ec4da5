#pragma once
// The colleague of the 3D window: its fixed frame with the on-screen 3D view, the timeline's
// frames and clips on the avatar, the camera presets, manipulation mode, zoom requests and
// the display rebuild. The view's tools are wired here to the toolbar, the shared mutex and
// the pose clips.
#include <QObject>
#include <memory>
#include <string>

#include "RKWindow/RKGhosts.h"
#include "app/Colleague.h"
#include "app/ColleagueSeams.h"
#include "timeline/FrameSample.h"
#include "timeline/MotionManagerSide.h"

class QWidget;

namespace tavrel {

class C3DWindowView;
class CFixedChildFrame;

class C3DWindowColleague : public QObject, public CColleague {
    Q_OBJECT
public:
    // withGL false (or a display without OpenGL 3.3) puts a notice in place of the view.
    C3DWindowColleague(CMediatorSeam* mediator, CMainFrameSeam* mainFrame,
                       const std::string& dataFolder, bool withGL);
    ~C3DWindowColleague() override;

    bool Edit(EditCommand command) override;
    bool CanEdit(EditCommand command) const override;

    CFixedChildFrame* Frame() const { return frame_; }
    C3DWindowView* View() const { return view_; }  // null when there is no GL view
    // Replaces the view's own tools (tests put a recording fake here).
    void SetTools(C3DWindowTools* tools) { tools_ = tools; }

    void ApplyLayout(const QRect& rect);
    // Activates the frame and gives it the whole client area.
    void FillClient();
    bool SelectCamera(int preset);
    // The floor under the avatar shown or hidden (the File menu's option).
    void ShowFloor(bool shown);
    // A tool, axis constraint or rotation axis chosen from the toolbar or the menu; the
    // constraint and the axis are kept in the settings file for the next start.
    bool ToolCommand(int id);
    bool CanToolCommand(int id) const;
    // The View menu's ghosts and motion paths: on or off, how many ghosts and how far apart.
    // Kept in the program's settings for the next start.
    bool ViewCommand(int id);
    bool ViewChecked(int id) const;
    const GhostSettings& Ghosts() const { return ghosts_; }
    bool PathsShown() const { return pathsShown_; }
    // Manipulation mode holds the shared mutex and shows the rotation ring.
    void ToggleManipulation();
    void LeaveManipulation();
    bool IsManipulating() const;
    void Zoom(float amount);
    void Redraw();
    void EmptyMotionCache();
    void Resume() { Redraw(); }
    void Shutdown() { LeaveManipulation(); }
    void RebuildDisplay();

    // The timeline's frame on the avatar (from the timeline colleague, through the mediator).
    void ShowFrameSample(const FrameSample& sample);
    // A clip's motion played in the 3D window (a double-click on the timeline).
    void ShowClip(const std::string& motionPath);
    // The hook the timeline's pose-clip edits write through (the pose on screen).
    CMotionManagerSide::PoseWriter PoseWriter();

private:
    class MutexLock;
    class ToolSeam;

    // The view's tools once its world exists: hot keys, listener, lock and pose hook.
    void ConnectTools();
    void ToolChosen(int tool);
    void PresetChosen(int preset);
    void CheckManipulationButton();
    // The buttons of the current tool, constraint and axis show pressed, the others raised.
    void CheckToolButtons();
    // The ghosts and paths as the settings keep them, put on the view; and kept there.
    void LoadTimelineViews();
    void StoreTimelineViews() const;

    CMainFrameSeam* mainFrame_;
    CFixedChildFrame* frame_ = nullptr;
    C3DWindowView* view_ = nullptr;
    QWidget* notice_ = nullptr;
    C3DWindowTools* tools_ = nullptr;
    std::unique_ptr<MutexLock> lock_;
    std::unique_ptr<ToolSeam> seam_;
    bool manipulating_ = false;  // without the view's tools
    GhostSettings ghosts_;
    bool pathsShown_ = false;
};

}  // namespace tavrel
