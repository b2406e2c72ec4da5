#include "timeline/ui/TimelinePanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <filesystem>

#include "motion/QuatSpline.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "timeline/TimelineCommandRules.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/FrameRuler.h"
#include "timeline/ui/LayerRows.h"
#include "timeline/ui/MediaTrack.h"
#include "timeline/ui/ObjectGrid.h"
#include "timeline/ui/PanelButtons.h"
#include "timeline/ui/QtPanelDialogs.h"
#include "timeline/ui/SoundTrack.h"
#include "timeline/ui/TimeSlider.h"
#include "timeline/ui/TimelineStrings.h"
#include "timeline/ui/TrackEdge.h"

namespace tavrel {
namespace {

using namespace commands;

static_assert(kLastZoomStep + 1 == int(CTrackMapping::kZoomSteps.size()));
static_assert(keys::kSpace == Qt::Key_Space && keys::kPlus == Qt::Key_Plus &&
              keys::kMinus == Qt::Key_Minus && keys::kReturn == Qt::Key_Return &&
              keys::kEnter == Qt::Key_Enter && keys::kDelete == Qt::Key_Delete &&
              keys::kHome == Qt::Key_Home && keys::kEnd == Qt::Key_End &&
              keys::kLeft == Qt::Key_Left && keys::kRight == Qt::Key_Right &&
              keys::kPageUp == Qt::Key_PageUp && keys::kPageDown == Qt::Key_PageDown);

// A sound the timeline cannot take, named with why: not a WAV file, or its samples unreadable.
Message SoundRefused(int refused, const std::string& path) {
    const bool notWave = refused == strings::kNotWaveFile;
    return FileMessage(notWave ? strings::kNotWaveFile : strings::kSoundLoadFailed, path,
                       notWave ? "it is not a WAV file" : "its sound data cannot be read");
}

}  // namespace

QString FrameAndTime(const QString& frameWord, int frame) {
    constexpr int kRate = int(CPlaybackStepper::kFramesPerSecond);
    const int hundredths = frame % kRate * 100 / kRate;
    const int seconds = frame / kRate;
    return QStringLiteral("%1 %2 \u00B7 %3:%4.%5")
        .arg(frameWord)
        .arg(frame)
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QChar('0'))
        .arg(hundredths, 2, 10, QChar('0'));
}

QString MarksReadout(const QString& marksWord, const CTimelineModel::PlayRange& range) {
    if (!range.marked) return {};
    return QStringLiteral("%1 %2\u2013%3").arg(marksWord).arg(range.start).arg(range.end);
}

CTimelinePanel::CTimelinePanel(std::unique_ptr<CTimelineModel> model, Services services,
                               QWidget* parent)
    : QWidget(parent),
      model_(std::move(model)),
      sound_(services.sound),
      dialogs_(services.dialogs),
      mediaProbe_(services.media),
      strings_(services.strings ? services.strings : CStringTable::BuiltIn().Lookup()) {
    if (!sound_) sound_ = (ownSound_ = std::make_unique<CNullSoundPlayback>()).get();
    if (!dialogs_)
        dialogs_ = (ownDialogs_ = std::make_unique<CQtPanelDialogs>(this, strings_)).get();
    if (!mediaProbe_) mediaProbe_ = (ownMedia_ = std::make_unique<CNullMediaProbe>()).get();
    playback_ = std::make_unique<CPanelPlayback>(
        *this, *model_, *sound_, services.clock,
        CPanelPlayback::Events{
            [this](int frame) { SetCurrentFrame(frame); }, [this] { PlayStarted(); },
            [this](bool atEnd) { PlayStopped(atEnd); }, [this] { return wave_.FrameCount(); }});
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    BuildWindows();
    buttons_ = std::make_unique<CPanelButtons>(
        *this, [this](int id) { return Text(id); },
        CPanelButtons::Commands{[this](int c) { return IsCommandEnabled(c); },
                                [this](int c) { return IsCommandChecked(c); },
                                [this](int c) {
                                    RunCommand(c);
                                    UpdateCommandUI();
                                }});
    resize(1000, kMotionTop + kMotionHeight + kMediaHeight + kSoundHeight + kRulerHeight +
                     kSliderHeight + 4);
    LayoutChildren();
    SyncSound();
    UpdateCommandUI();
}

CTimelinePanel::~CTimelinePanel() = default;

void CTimelinePanel::BuildWindows() {
    layers_ = new CLayerRows(*this, this);
    layerLabel_ = new QLabel(this);
    layerLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid_ = new CObjectGrid(*this, this);
    media_ = new CMediaTrack(*this, this);
    soundTrack_ = new CSoundTrack(*this, this);
    ruler_ = new CFrameRuler(*this, this);
    slider_ = new CTimeSlider(*this, this);
    leftEdge_ = new CTrackEdge(this);
    rightEdge_ = new CTrackEdge(this);
    for (int i = 0; i < 5; ++i) {
        labels_[i] = new QLabel(Text(strings::kRowLabels[i]), this);
        labels_[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    readout_ = new QLabel(this);
    readout_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

QToolButton* CTimelinePanel::Button(int command) const {
    return buttons_->Button(command);
}

QToolButton* CTimelinePanel::OverflowButton() const {
    return buttons_->OverflowButton();
}

int CTimelinePanel::AskNumber(int questionId, int least, int most, int start) {
    return dialogs_->AskNumber(strings_(questionId), least, most, start);
}

QString CTimelinePanel::Text(int id) const {
    return QString::fromStdString(strings_(id));
}

// ---------------------------------------------------------------------------------------------
// Layout

void CTimelinePanel::resizeEvent(QResizeEvent*) {
    LayoutChildren();
}

void CTimelinePanel::LayoutChildren() {
    // Room for the widest readout, so that it never jumps as the numbers change.
    const CTimelineModel::PlayRange widest{kMaxFrame, kMaxFrame, true};
    const int readoutWidth =
        readout_->fontMetrics().horizontalAdvance(
            MarksReadout(Text(strings::kMarksWord), widest) + QStringLiteral("   ") +
            FrameAndTime(Text(strings::kFrameWord), kMaxFrame)) +
        8;
    buttons_->Layout(kLeftMargin, width() - kLeftMargin - readoutWidth);
    readout_->setGeometry(width() - kLeftMargin - readoutWidth, CPanelButtons::kTop, readoutWidth,
                          CPanelButtons::kHeight);
    ShowReadout();
    const int left = kLeftMargin + kLabelWidth + CTrackEdge::kWidth;
    const int width = std::max(40, this->width() - left - kLeftMargin - CTrackEdge::kWidth);
    mapping_.SetWidth(width);
    QWidget* rows[] = {grid_, media_, soundTrack_, ruler_, slider_};
    int heights[] = {kMotionHeight, kMediaHeight, kSoundHeight, kRulerHeight, kSliderHeight};
    int y = kMotionTop;
    // The layers lie above the motion track, which they change. The rows below give up some
    // height for them; past that, the layer rows scroll to show the selected one.
    const int layers = int(model_->Layers().tracks.size());
    const auto heightBelow = [&] {
        return 5 + heights[3] + heights[4] + heights[0] +
               (collapsed_ ? 0 : heights[1] + heights[2]);
    };
    if (layers > 0 &&
        height() - 4 - kMotionTop - 1 - heightBelow() < layers * CLayerRows::kRowHeight) {
        heights[0] = kMotionMinimumHeight;
        heights[1] = heights[2] = kMediaMinimumHeight;
    }
    const int below = heightBelow();
    const int room = std::max(CLayerRows::kRowHeight, height() - 4 - kMotionTop - below - 1);
    layers_->ShowRows(std::min(layers, room / CLayerRows::kRowHeight), SelectedLayer());
    const int layerRows = layers_->ShownRows() * CLayerRows::kRowHeight;
    layers_->setVisible(layerRows > 0);
    layerLabel_->setVisible(layerRows > 0);
    if (layerRows > 0) {
        layers_->setGeometry(left, y, width, layerRows);
        layerLabel_->setGeometry(kLeftMargin, y - 2, kLabelWidth, layerRows + 2);
        layerLabel_->setText(
            Text(strings::kLayerLabel).replace("%Number", QString::number(SelectedLayer() + 1)));
        y += layerRows + 1;
    }
    for (int i = 0; i < 5; ++i) {
        // Collapsed, the media and sound rows are hidden and the motion track takes their
        // room, so that no empty band is left under the rows.
        const bool hidden = collapsed_ && (i == 1 || i == 2);
        rows[i]->setVisible(!hidden);
        labels_[i]->setVisible(!hidden);
        if (hidden) continue;
        const int height = heights[i] + (collapsed_ && i == 0 ? heights[1] + heights[2] + 2 : 0);
        rows[i]->setGeometry(left, y, width, height);
        labels_[i]->setGeometry(kLeftMargin, y, kLabelWidth, height);
        y += height + 1;
    }
    const int stack = y - 1 - kMotionTop;
    leftEdge_->setGeometry(left - CTrackEdge::kWidth, kMotionTop, CTrackEdge::kWidth, stack);
    rightEdge_->setGeometry(left + width, kMotionTop, CTrackEdge::kWidth, stack);
    layingOut_ = true;
    RedrawTracks();
    layingOut_ = false;
}

// ---------------------------------------------------------------------------------------------
// Layers

int CTimelinePanel::SelectedLayer() const {
    const int count = int(model_->Layers().tracks.size());
    return selectedLayer_ < count ? selectedLayer_ : count - 1;
}

void CTimelinePanel::SelectLayer(int layer) {
    selectedLayer_ = layer;
    LayoutChildren();
}

void CTimelinePanel::AddLayer() {
    const EditResult result = model_->AddLayer();
    if (result.done) selectedLayer_ = int(model_->Layers().tracks.size()) - 1;
    Apply(result);
}

void CTimelinePanel::RemoveLayer(int layer) {
    Apply(model_->RemoveLayer(layer));
}

bool CTimelinePanel::KeySegmentTurn(const std::string& segment, const Quat& turn) {
    const int layer = SelectedLayer();
    if (layer < 0 || IsPlaying()) return false;
    const int index = SegmentIndexOf(segment);
    const int frame = model_->CurrentFrame();
    const Quat before = model_->KeyTurnOf(layer, frame, index);
    const EditResult result = model_->SetKey(layer, frame, index, QuatMultiply(turn, before));
    Apply(result);
    return result.done;
}

// ---------------------------------------------------------------------------------------------
// The current frame and what follows from it

bool CTimelinePanel::SetCurrentFrame(int frame) {
    if (!model_->SetCurrentFrame(frame)) return false;
    mapping_.ShowFrame(frame);
    RedrawTracks();
    ShowReadout();
    ShowFrameToColleague();
    if (!IsPlaying()) {
        NotifyStillPose();
        UpdateCommandUI();
    }
    return true;
}

QString CTimelinePanel::ReadoutText() const {
    const QString marks =
        MarksReadout(Text(strings::kMarksWord), model_->PlayRangeOf(true, wave_.FrameCount()));
    const QString frame = FrameAndTime(Text(strings::kFrameWord), model_->CurrentFrame());
    return marks.isEmpty() ? frame : marks + QStringLiteral("   ") + frame;
}

void CTimelinePanel::ShowReadout() {
    readout_->setText(ReadoutText());
}

bool CTimelinePanel::HasSomethingToPlay() const {
    return tavrel::HasSomethingToPlay(*model_, wave_.FrameCount());
}

void CTimelinePanel::ShowFrameToColleague() {
    if (colleague_) colleague_->ShowFrameSample(model_->GetFrameSample(model_->CurrentFrame()));
}

void CTimelinePanel::NotifyStillPose() {
    if (IsPlaying() || !colleague_) return;
    const MotionClip* selected = model_->SelectedClip();
    colleague_->StillPoseChanged(selected && selected->IsOneFrame() &&
                                 selected->Contains(model_->CurrentFrame()));
}

void CTimelinePanel::ScrubToFrame(int frame) {
    if (!SetCurrentFrame(frame)) return;
    if (!IsPlaying() && sound_->IsLoaded()) sound_->ScrubFrame(frame);
}

void CTimelinePanel::ScrollTo(int pixels) {
    mapping_.SetScroll(pixels);
    RedrawTracks();
}

void CTimelinePanel::RedrawTracks() {
    if (mapping_.Overview()) mapping_.SetOverview(true, OverviewEnd());
    if (readout_) ShowReadout();  // the marks may have moved
    // Layers added or removed (an edit, undo or redo) change the stack of rows.
    if (layers_ && !layingOut_ && layerCount_ != int(model_->Layers().tracks.size())) {
        layerCount_ = int(model_->Layers().tracks.size());
        // The frame gives the rows room first; its new size lays the children out again.
        if (colleague_) colleague_->StripHeightWanted(WantedExtraHeight());
        return LayoutChildren();
    }
    if (layers_) layers_->update();
    for (QWidget* w : {static_cast<QWidget*>(grid_), static_cast<QWidget*>(media_),
                       static_cast<QWidget*>(soundTrack_), static_cast<QWidget*>(ruler_),
                       static_cast<QWidget*>(slider_)}) {
        if (w) w->update();
    }
}

int CTimelinePanel::WantedExtraHeight() const {
    const int layers = int(model_->Layers().tracks.size());
    return layers ? layers * CLayerRows::kRowHeight + 1 : 0;
}

int CTimelinePanel::OverviewEnd() const {
    // The whole timeline and a margin after it, so that its last clip does not touch the edge.
    const int last = std::max(model_->LastFrame(), wave_.FrameCount() - 1);
    return std::max(last, 0) + std::max(120, (last + 1) / 10);
}

void CTimelinePanel::Refresh() {
    playback_->StopIfNothingToPlay();
    SyncSound();
    RedrawTracks();
    ShowReadout();
    ShowFrameToColleague();
    NotifyStillPose();
    UpdateCommandUI();
    ShowReports();
}

void CTimelinePanel::ShowReports() {
    model_->CheckFiles();
    for (const Message& report : model_->TakeFileReports()) {
        if (!reportsSuppressed_) ShowMessage(report);
    }
}

void CTimelinePanel::Apply(const EditResult& result) {
    if (result.message) ShowMessage(result.message);
    if (result.done) {
        Refresh();
    } else {
        RedrawTracks();
    }
}

void CTimelinePanel::ShowMessage(const Message& message) {
    if (message) dialogs_->ShowMessage(message.Text(strings_));
}

void CTimelinePanel::Undo() {
    if (IsPlaying() || !model_->CanUndo()) return;
    const EditResult result = model_->Undo();
    mapping_.ShowFrame(model_->CurrentFrame());
    Apply(result);
}

void CTimelinePanel::Redo() {
    if (IsPlaying() || !model_->CanRedo()) return;
    const EditResult result = model_->Redo();
    mapping_.ShowFrame(model_->CurrentFrame());
    Apply(result);
}

void CTimelinePanel::ProjectReplaced() {
    Stop();
    // The new project's sound may sit under the old one's path with other samples.
    UnloadSound();
    SetCurrentFrame(model_->CurrentFrame());
    Refresh();
}

// ---------------------------------------------------------------------------------------------
// Commands

PanelState CTimelinePanel::State() const {
    return {.playing = IsPlaying(),
            .looping = IsLooping(),
            .overview = IsOverview(),
            .collapsed = collapsed_,
            .zoomStep = mapping_.Step(),
            .soundFrames = wave_.FrameCount()};
}

bool CTimelinePanel::IsCommandEnabled(int command) const {
    return PanelCommandState(*model_, State(), command).enabled;
}

bool CTimelinePanel::IsCommandChecked(int command) const {
    return PanelCommandState(*model_, State(), command).checked;
}

void CTimelinePanel::UpdateCommandUI() {
    buttons_->Update();
}

void CTimelinePanel::RunCommand(int command) {
    if (!IsCommandEnabled(command)) return;
    switch (command) {
        case kPlayAll:
            return PlayAll();
        case kPlayRange:
            return PlayRange();
        case kStop:
            return Stop();
        case kStopToStart:
            Stop();
            SetCurrentFrame(0);
            return;
        case kFrameBack:
            SetCurrentFrame(model_->CurrentFrame() - 1);
            return;
        case kFrameForward:
            SetCurrentFrame(model_->CurrentFrame() + 1);
            return;
        case kGoFirst:
            SetCurrentFrame(model_->FirstFrame());
            return;
        case kGoLast:
            SetCurrentFrame(model_->LastFrame());
            return;
        case kZoomIn:
            return Zoom(kZoomStepIn);
        case kZoomOut:
            return Zoom(kZoomStepOut);
        case kZoomReset:
            return Zoom(kZoomDefault);
        case kLoop:
            playback_->ToggleLoop();
            break;
        case kOverview:
            mapping_.SetOverview(!mapping_.Overview(), OverviewEnd());
            if (!mapping_.Overview()) mapping_.ShowFrame(model_->CurrentFrame());
            RedrawTracks();
            break;
        case kCollapse:
            collapsed_ = !collapsed_;
            LayoutChildren();
            break;
        case kAddImages:
            return AddMedia(FileKind::kImages);
        case kAddVideo:
            return AddMedia(FileKind::kVideo);
        case kLoadSound:
            return AddMedia(FileKind::kSound);
        case kVolume:
            // Without a mixer the button would do nothing at all: say why.
            if (!dialogs_->OpenVolumeControl()) ShowMessage(MakeMessage(strings::kNoMixer));
            return;
        case kSplit:
            return Apply(model_->SplitAtFrame(model_->CurrentFrame()));
        case kCrop:
            return Apply(model_->CropToMarks());
        case kAlign:
            return Apply(model_->AlignToPrevious(CTimelineModel::kAlignSegments[0]));
        case kAddMotion:
        case kAddPose: {
            const auto files =
                dialogs_->AskOpenFiles(command == kAddMotion ? FileKind::kMotion : FileKind::kPose);
            if (!files.empty()) Apply(model_->AddMotionFile(files.front()));
            return;
        }
        case kAddInitialPose:
            return Apply(model_->AddPoseClip(kEditInitialPoseClip));
        case kAddCurrentPose:
            return Apply(model_->AddPoseClip(kEditPoseClip));
        case kColleagueRequest:
            if (colleague_) {
                const MotionClip* selected = model_->SelectedClip();
                colleague_->Request(command, selected ? selected->fileName : std::string());
            }
            return;
        case kCheckFiles:
            return ShowReports();
    }
    UpdateCommandUI();
}

void CTimelinePanel::Zoom(int mode) {
    int step = mapping_.Step();
    switch (mode) {
        case kZoomDefault:
            step = CTrackMapping::kDefaultStep;
            break;
        case kZoomStepIn:
            step = std::min(step + 1, kLastZoomStep);
            break;
        case kZoomStepOut:
            step = std::max(step - 1, 0);
            break;
        case kZoomWrap:
            step = step == kLastZoomStep ? 0 : step + 1;
            break;
        default:
            return;
    }
    mapping_.SetStep(step);
    mapping_.ShowFrame(model_->CurrentFrame());
    RedrawTracks();
    UpdateCommandUI();
}

// ---------------------------------------------------------------------------------------------
// Keys

void CTimelinePanel::keyPressEvent(QKeyEvent* event) {
    if (!HandleKey(event->key())) QWidget::keyPressEvent(event);
}

bool CTimelinePanel::HandleKey(int key) {
    const std::optional<KeyResponse> response = RespondToKey(*model_, State(), key);
    if (!response) return false;
    if (response->command) RunCommand(response->command);
    if (response->select >= 0 && model_->Select(response->select)) {
        SetCurrentFrame(model_->ClipAtPosition(response->select)->firstFrame);
    }
    if (response->deleteSelected) Apply(model_->DeleteSelected());
    UpdateCommandUI();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Playback

void CTimelinePanel::PlayAll() {
    playback_->PlayAll();
}

void CTimelinePanel::PlayRange() {
    playback_->PlayRange();
}

void CTimelinePanel::Stop() {
    playback_->Stop();
}

void CTimelinePanel::OnTimer(int identifier) {
    playback_->OnTimer(identifier);
}

void CTimelinePanel::PlayStarted() {
    grid_->setToolTip(QString());
    media_->setToolTip(QString());
    if (colleague_) colleague_->StillPoseChanged(false);
    UpdateCommandUI();
    if (colleague_) colleague_->PlayingChanged(true);
}

// A play past the end without a loop returns to frame 0.
void CTimelinePanel::PlayStopped(bool atEnd) {
    if (atEnd) {
        SetCurrentFrame(0);
    } else {
        NotifyStillPose();
        RedrawTracks();
    }
    UpdateCommandUI();
    if (colleague_) colleague_->PlayingChanged(false);
}

// ---------------------------------------------------------------------------------------------
// Media and sound

void CTimelinePanel::AddMedia(FileKind kind) {
    const int frame = model_->CurrentFrame();
    if (kind != FileKind::kSound) {
        for (const MediaClip& clip : model_->Project().mediaClips) {
            if (clip.Contains(frame)) {
                return ShowMessage(MakeMessage(strings::kMediaAlreadyAtFrame));
            }
        }
    }
    const std::vector<std::string> files = dialogs_->AskOpenFiles(kind);
    if (kind == FileKind::kSound) {
        if (!files.empty()) AddSound(files.front());
        return;
    }
    // Several pictures follow one another, a frame each.
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& path = files[i];
        if (!model_->SetCurrentFrame(std::min(frame + int(i), kMaxFrame))) break;
        const bool video = kind == FileKind::kVideo;
        const int frames = video ? mediaProbe_->VideoFrameCount(path) : 1;
        const EditResult result = model_->AddMediaFile(path, frames, video);
        Apply(result);
        if (!result.done) break;
    }
    SetCurrentFrame(frame);
}

void CTimelinePanel::AddSound(const std::string& path) {
    if (path.size() > kMaxEnteringPathLength) {
        return ShowMessage(MakeMessage(strings::kPathTooLong));
    }
    if (!IsValidFileName(std::filesystem::path(path).filename().string())) {
        return ShowMessage(MakeMessage(strings::kMediaNameRefused));
    }
    // The user's file is looked at before anything is replaced, so that a wrong pick keeps
    // the sound the timeline has.
    CSoundLevels check;
    if (const int refused = check.Load(path)) return ShowMessage(SoundRefused(refused, path));
    sound_->Stop();
    const EditResult result = model_->SetSoundFile(path);
    if (!result.done) {
        ShowMessage(result.message ? result.message
                                   : SoundRefused(strings::kSoundLoadFailed, path));
    }
    Refresh();
}

void CTimelinePanel::UnloadSound() {
    wave_.Unload();
    sound_->Unload();
    loadedSound_.clear();
}

// Keeps the drawn wave and the player on the project's sound file.
void CTimelinePanel::SyncSound() {
    const std::string& file = model_->Project().soundFile;
    if (file == loadedSound_) return;
    UnloadSound();
    loadedSound_ = file;
    if (file.empty()) return;
    if (const int refused = wave_.Load(file)) {
        ShowMessage(SoundRefused(refused, file));
        return;
    }
    if (!sound_->Load(file)) {
        ShowMessage(FileMessage(strings::kSoundLoadFailed, file, "no sound device can play it"));
    }
}

}  // namespace tavrel
