#pragma once
// What fills the timeline frame: the timeline view with its model over the motion cache, the
// sound player and the video reader, joined to the mediator both ways. Towards the colleague
// it is the panel's operations; towards the panel it is the colleague link.
#include <QLabel>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "app/ColleagueSeams.h"
#include "motion/MotionManager.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/ProjectNamer.h"
#include "timeline/WorkingDirectory.h"
#include "timeline/ui/DialogDecisions.h"
#include "timeline/ui/QtPanelDialogs.h"
#include "timeline/ui/TimeLineView.h"
#include "timeline/ui/TimelineColleagueLink.h"

namespace tavrel {

class CTimelineHost : public CTimelineOperations, public CTimelineColleagueLink {
public:
    // Anything left empty in services gets the program's own: the sound card (or a silent
    // device), the video reader, Qt's dialogs.
    static std::unique_ptr<CTimelineHost> Create(CMediatorSeam* mediator,
                                                 CTimelinePanel::Services services = {});
    ~CTimelineHost() override;

    CTimeLineView* View() const { return view_; }
    // The panel's own dialogs; null when the services brought others.
    CQtPanelDialogs* Dialogs() const { return dialogs_.get(); }
    CTimelinePanel& Panel() const { return view_->Panel(); }

    // --- CTimelineOperations ---
    bool Undo() override;
    bool Redo() override;
    bool Copy() override;
    bool Paste() override;
    bool Delete() override;
    bool CanUndo() const override;
    bool CanRedo() const override;
    bool CanCopy() const override;
    bool CanPaste() const override;
    bool CanDelete() const override;
    bool IsBusy() const override;
    bool NewProject() override;
    bool OpenProject(const std::string& path) override;
    bool WindUp() override;
    bool CloseProject() override;
    bool Command(int id) override;
    void RefreshFrame() override;
    bool SegmentTurned(const std::string& segment, const Quat& turn) override;
    const CTimelineProject* Project() const override;
    bool IsModified() const override;
    uint64_t ContentState() const override;
    void SetSaved(bool saved) override;

    // --- CTimelineColleagueLink ---
    void ShowFrameSample(const FrameSample& sample) override;
    void StillPoseChanged(bool onStillPose) override;
    void ShowClip(const std::string& fileName) override;
    void Request(int command, const std::string& fileName) override;
    void PlayingChanged(bool playing) override;
    void NewClipsKeepFeetChanged(bool on) override;
    void StripHeightWanted(int extra) override;

private:
    CTimelineHost(CMediatorSeam* mediator, CWorkingDirectory workingDirectory);
    void Build(CTimelinePanel::Services services);
    bool Ready() const { return view_ != nullptr; }
    // An empty project named in the project folder, with a fresh model.
    bool MakeProject();
    std::string AskProjectFile() const;
    // The project's file, or its name while it has none yet, in the main window's caption.
    void ShowTitle();
    void ShowFrameInStatusBar(int frame);
    // Qt's dialogs, starting where motions and poses were last added from.
    void MakeDialogs(CTimelinePanel::Services& services);

    CMediatorSeam* mediator_;
    CMotionManager motions_;
    CMotionManagerSide motionSide_;
    CDialogDecisions decisions_;
    CWorkingDirectory workingDirectory_;
    CProjectNamer namer_;
    std::unique_ptr<CSoundPlayback> sound_;
    std::unique_ptr<CMediaProbe> probe_;
    std::unique_ptr<CQtPanelDialogs> dialogs_;
    QPointer<CTimeLineView> view_;
    QPointer<QLabel> statusFrame_;
};

}  // namespace tavrel
