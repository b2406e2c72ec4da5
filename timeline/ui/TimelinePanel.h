#pragma once
// The timeline panel: the track windows, the model with its undo and redo, playback with its
// two timers and the sound, the media commands, the buttons and the keys. It is also what the
// timeline colleague talks to.
#include <QWidget>
#include <memory>
#include <string>

#include "settings/Message.h"
#include "timeline/TimelineCommandRules.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/PanelDialogs.h"
#include "timeline/ui/PanelPlayback.h"
#include "timeline/ui/SoundLevels.h"
#include "timeline/ui/SoundPlayback.h"
#include "timeline/ui/TimelineColleagueLink.h"
#include "timeline/ui/TrackMapping.h"
#include "uikit/CRTimer.h"

class QLabel;
class QToolButton;

namespace tavrel {

class CObjectGrid;
class CPanelButtons;
class CMediaTrack;
class CSoundTrack;
class CFrameRuler;
class CLayerRows;
class CTimeSlider;
class CTrackEdge;

// The current frame and its time at the timeline's rate, as the panel and the status bar show
// them: "Frame 125 · 0:02.08".
QString FrameAndTime(const QString& frameWord, int frame);
// The marked range that Space plays, "Play marks 40–150" (an unset end is the timeline's own),
// or "" when no mark is set.
QString MarksReadout(const QString& marksWord, const CTimelineModel::PlayRange& range);

class CTimelinePanel : public QWidget {
public:
    enum ZoomMode { kZoomDefault = 0, kZoomStepIn = 1, kZoomStepOut = 2, kZoomWrap = 3 };

    // Layout sizes in pixels.
    static constexpr int kLeftMargin = 12;
    static constexpr int kLabelWidth = 52;
    static constexpr int kMotionTop = 34;
    static constexpr int kMotionHeight = 48;
    // Heights the motion, media and sound rows give way to with layers above them.
    static constexpr int kMotionMinimumHeight = 40;
    static constexpr int kMediaMinimumHeight = 16;
    static constexpr int kMediaHeight = 24;
    static constexpr int kSoundHeight = 26;
    static constexpr int kRulerHeight = 24;
    static constexpr int kSliderHeight = 22;
    static constexpr int kPlayInterval = CPanelPlayback::kPlayInterval;

    // What the panel works with; anything left empty gets a stand-in (a silent sound player,
    // Qt dialogs, no video reader, the built-in string table, the steady clock).
    struct Services {
        CSoundPlayback* sound = nullptr;
        CPanelDialogs* dialogs = nullptr;
        CMediaProbe* media = nullptr;
        StringLookup strings;
        CPlaybackStepper::Clock clock;
    };

    CTimelinePanel(std::unique_ptr<CTimelineModel> model, Services services,
                   QWidget* parent = nullptr);
    ~CTimelinePanel() override;

    // --- What the colleague calls ---
    void SetColleague(CTimelineColleagueLink* colleague) { colleague_ = colleague; }
    CTimelineColleagueLink* Colleague() const { return colleague_; }
    FrameSample GetFrameSample(int frame) const { return model_->GetFrameSample(frame); }
    int LastFrame() const { return model_->LastFrame(); }
    int CurrentFrame() const { return model_->CurrentFrame(); }
    // Refuses frames outside 0 to kMaxFrame; hands the new frame's sample to the colleague.
    bool SetCurrentFrame(int frame);
    // Undo and redo of the edit menu; both wait while playing.
    void Undo();
    void Redo();
    // A new or opened project replaced the model's: sound, view and windows start over.
    void ProjectReplaced();

    // --- Commands, keys and playback ---
    // What the command rules need from the panel.
    PanelState State() const;
    bool IsCommandEnabled(int command) const;
    bool IsCommandChecked(int command) const;
    void RunCommand(int command);
    // Returns whether the key is one of the panel's.
    bool HandleKey(int key);
    void Zoom(int mode);
    void PlayAll();
    void PlayRange();
    void Stop();
    // One tick of a play timer (its identifier tells which).
    void OnTimer(int identifier);
    bool IsPlaying() const { return playback_->IsPlaying(); }
    bool PlaysMarkedRange() const { return playback_->PlaysMarkedRange(); }
    // Whether any track has something to play.
    bool HasSomethingToPlay() const;
    // The readout's text: the marks in effect and the current frame with its time.
    QString ReadoutText() const;
    bool IsLooping() const { return playback_->IsLooping(); }
    bool IsOverview() const { return mapping_.Overview(); }
    bool IsCollapsed() const { return collapsed_; }
    // File reports are still taken but not shown (while a project is read, for instance).
    void SetReportsSuppressed(bool suppressed) { reportsSuppressed_ = suppressed; }

    // --- The windows' side ---
    CTimelineModel& Model() { return *model_; }
    const CTimelineModel& Model() const { return *model_; }
    const CTrackMapping& Mapping() const { return mapping_; }
    const CSoundLevels& Wave() const { return wave_; }
    CObjectGrid& Grid() { return *grid_; }
    CMediaTrack& MediaTrack() { return *media_; }
    CSoundTrack& SoundTrack() { return *soundTrack_; }
    CFrameRuler& Ruler() { return *ruler_; }
    CLayerRows& LayerRows() { return *layers_; }

    // --- Layers ---
    // The layer keys and turns go to, or -1.
    int SelectedLayer() const;
    void SelectLayer(int layer);
    void AddLayer();
    void RemoveLayer(int layer);
    // A body segment turned in the 3D window (turn: its new rotation over its old, applied
    // first): on the selected layer it becomes a key at the current frame. False without a
    // selected layer or when the key is refused.
    bool KeySegmentTurn(const std::string& segment, const Quat& turn);
    CTimeSlider& Slider() { return *slider_; }
    CRTimer& PlayAllTimer() { return playback_->PlayAllTimer(); }
    CRTimer& PlayRangeTimer() { return playback_->PlayRangeTimer(); }
    QToolButton* Button(int command) const;
    // Holds the commands whose buttons do not fit the panel's width (a narrow display).
    QToolButton* OverflowButton() const;
    QString Text(int id) const;
    // The height beyond its usual the panel asks for to show every layer's row.
    int WantedExtraHeight() const;

    // An edit's result: its message shown, and on success everything redrawn.
    void Apply(const EditResult& result);
    // After a change of the model: redraw, show the current frame's sample, the reports.
    void Refresh();
    void RedrawTracks();
    void ShowMessage(const Message& message);
    // Asks for a whole number from least to most; 0 when the user cancels.
    int AskNumber(int questionId, int least, int most, int start);
    // Tells the colleague whether the current frame rests on the selected one-frame clip.
    void NotifyStillPose();
    // The current frame moved by hand: while stopped its sound is heard.
    void ScrubToFrame(int frame);
    void ScrollTo(int pixels);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildWindows();
    void LayoutChildren();
    void UpdateCommandUI();
    void ShowFrameToColleague();
    void ShowReadout();
    void PlayStarted();
    void PlayStopped(bool atEnd);
    void AddMedia(FileKind kind);
    void AddSound(const std::string& path);
    void SyncSound();
    void UnloadSound();
    int OverviewEnd() const;
    void ShowReports();

    std::unique_ptr<CTimelineModel> model_;
    std::unique_ptr<CSoundPlayback> ownSound_;
    std::unique_ptr<CPanelDialogs> ownDialogs_;
    std::unique_ptr<CMediaProbe> ownMedia_;
    CSoundPlayback* sound_;
    CPanelDialogs* dialogs_;
    CMediaProbe* mediaProbe_;
    StringLookup strings_;
    CTimelineColleagueLink* colleague_ = nullptr;

    CTrackMapping mapping_;
    CSoundLevels wave_;
    std::string loadedSound_;
    std::unique_ptr<CPanelPlayback> playback_;
    bool collapsed_ = false;
    bool reportsSuppressed_ = false;

    CObjectGrid* grid_ = nullptr;
    CMediaTrack* media_ = nullptr;
    CSoundTrack* soundTrack_ = nullptr;
    CFrameRuler* ruler_ = nullptr;
    CTimeSlider* slider_ = nullptr;
    CTrackEdge* leftEdge_ = nullptr;
    CTrackEdge* rightEdge_ = nullptr;
    QLabel* labels_[5] = {};
    CLayerRows* layers_ = nullptr;
    QLabel* layerLabel_ = nullptr;
    int selectedLayer_ = -1;
    bool layingOut_ = false;
    int layerCount_ = 0;
    QLabel* readout_ = nullptr;  // the current frame and time, right of the buttons
    std::unique_ptr<CPanelButtons> buttons_;
};

}  // namespace tavrel
