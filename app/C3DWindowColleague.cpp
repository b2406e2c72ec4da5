#include "app/C3DWindowColleague.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QPixmap>
#include <QSettings>
#include <QStatusBar>

#include "RKWindow/RKWindow.h"
#include "RKWindow/RKWindowTools.h"
#include "RKWindow/ui/C3DWindowView.h"
#include "app/CommandIds.h"
#include "app/FixedChildFrame.h"
#include "base/DebugOutput.h"
#include "motion/QuatSpline.h"
#include "settings/RProfile.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr int kCaption = 61221;
constexpr int kNoOpenGL = 62260;
constexpr int kMinimumHeight = 150;
constexpr int kMachineryInUse = 62280;
constexpr int kNoticeMs = 5000;
// Where the object tools' choices are kept in the settings file.
constexpr const char* kToolSection = "Object Tools";
constexpr const char* kConstraintKey = "Move Constraint";
constexpr const char* kAxisKey = "Rotation Axis";
// The tool of each tool command, from command::kToolFirst on.
constexpr int kToolOfCommand[] = {CRKWindowTools::CameraMove, CRKWindowTools::CameraZoom,
                                  CRKWindowTools::CameraRotate, CRKWindowTools::ObjectMove,
                                  CRKWindowTools::ObjectRotate};
// The toolbar buttons of the presets 0-5.
constexpr int kPresetCommands[] = {command::kCameraFront, command::kCameraBack,
                                   command::kCameraLeft,  command::kCameraRight,
                                   command::kCameraUp,    command::kCameraDown};

// Where the View menu's ghosts and paths are kept in the program's settings.
constexpr const char* kGhostsKey = "View/Ghosts";
constexpr const char* kGhostCountKey = "View/GhostCount";
constexpr const char* kGhostStepKey = "View/GhostStep";
constexpr const char* kMotionPathsKey = "View/MotionPaths";

// The bundle's cursor picture of a tool; the arrow for the tools without one.
// A small number kept in the settings file; -1 when there is none.
int StoredChoice(const char* key) {
    const std::string value = CRProfile().GetString(kToolSection, key);
    return value.size() == 1 && value[0] >= '0' && value[0] <= '9' ? value[0] - '0' : -1;
}

void StoreChoice(const char* key, int value) {
    CRProfile().WriteString(kToolSection, key, std::to_string(value));
}

QCursor ToolCursor(int tool) {
    QString name;
    switch (tool) {
        case CRKWindowTools::CameraMove:
        case CRKWindowTools::ObjectMove:
            name = ":/cursors/move.png";
            break;
        case CRKWindowTools::CameraZoom:
            name = ":/cursors/zoom.png";
            break;
        case CRKWindowTools::CameraRotate:
        case CRKWindowTools::ObjectRotate:
            name = ":/cursors/rotate.png";
            break;
        default:
            break;
    }
    const QPixmap picture(name);
    return name.isEmpty() || picture.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(picture);
}

}  // namespace

// The shared mutex of the 3D machinery, taken without waiting: the mutex is not recursive and
// its other holder (the preview) runs on this thread, so waiting would never end. The
// mediator pauses the thumbnail worker, which would otherwise hold it now and then.
class C3DWindowColleague::MutexLock : public RKManipulationLock {
public:
    explicit MutexLock(CMediatorSeam* mediator) : mediator_(mediator) {}
    ~MutexLock() override { Unlock(); }

    void Lock() override {
        if (held_) return;
        if (mediator_->SharedMutex() && !mediator_->TryLockMutex()) {
            DebugOutput("C3DWindowColleague: the 3D machinery is in use elsewhere.\n");
            return;
        }
        held_ = true;
        locked_ = mediator_->SharedMutex() != nullptr;
    }
    void Unlock() override {
        if (held_ && locked_) mediator_->UnlockMutex();
        held_ = locked_ = false;
    }
    bool Held() const { return held_; }

private:
    CMediatorSeam* mediator_;
    bool held_ = false;
    bool locked_ = false;  // the mutex itself (there is none without the system colleague)
};

// The view's tools and frame display as the mediator sees them.
class C3DWindowColleague::ToolSeam : public C3DWindowTools {
public:
    explicit ToolSeam(C3DWindowView& view) : view_(view) {}

    bool Undo() override { return Tools() && Tools()->Undo(); }
    bool Redo() override { return Tools() && Tools()->Redo(); }
    bool CanUndo() const override { return Tools() && Tools()->CanUndo(); }
    bool CanRedo() const override { return Tools() && Tools()->CanRedo(); }
    // A zoom request without a mouse position zooms towards the middle of the window.
    void Zoom(float amount) override {
        if (Tools()) Tools()->WheelTurn(view_.PixelWidth() / 2, view_.PixelHeight() / 2, amount);
    }
    void EmptyMotionCache() override { view_.EmptyMotionCache(); }

private:
    CRKWindowTools* Tools() const { return view_.Tools(); }
    C3DWindowView& view_;
};

C3DWindowColleague::C3DWindowColleague(CMediatorSeam* mediator, CMainFrameSeam* mainFrame,
                                       const std::string& dataFolder, bool withGL)
    : CColleague(mediator), mainFrame_(mainFrame), lock_(std::make_unique<MutexLock>(mediator)) {
    frame_ = new CFixedChildFrame(kMinimumHeight);
    if (withGL && C3DWindowView::CanCreateContext()) {
        view_ = new C3DWindowView(dataFolder);
        seam_ = std::make_unique<ToolSeam>(*view_);
        connect(view_, &C3DWindowView::zoomRequested, this, &C3DWindowColleague::Zoom);
        connect(view_, &C3DWindowView::worldReady, this, &C3DWindowColleague::ConnectTools);
        frame_->setWidget(view_);
    } else {
        DebugOutput("C3DWindowColleague: no OpenGL 3.3 context, the 3D window stays empty.\n");
        auto* notice = new QLabel(ui::Text(kNoOpenGL));
        notice->setAlignment(Qt::AlignCenter);
        notice->setWordWrap(true);
        notice_ = notice;
        frame_->setWidget(notice_);
    }
    LoadTimelineViews();
    mainFrame_->MdiArea()->addSubWindow(frame_);
    ApplyLayout(mainFrame_->ClientLayout().view3D);
    frame_->setWindowTitle(ui::Text(kCaption));
    frame_->show();
    connect(mainFrame_->MdiArea(), &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* active) {
                if (active == frame_) {
                    mediator_->SetActiveColleague(this);
                    mediator_->RefreshTimelineFrame();
                } else {
                    LeaveManipulation();
                }
            });
}

C3DWindowColleague::~C3DWindowColleague() {
    LeaveManipulation();
    if (CRKWindowTools* tools = view_ ? view_->Tools() : nullptr) {
        tools->SetLock(nullptr);
        tools->SetPoseHook({});
        tools->Listener() = {};
    }
    // The frame's removal activates another frame: the handler of that must not reach the
    // view, which is deleted before the frame is gone.
    disconnect(mainFrame_->MdiArea(), nullptr, this, nullptr);
    view_ = nullptr;
    frame_->AllowClose();
    delete frame_;
}

void C3DWindowColleague::ConnectTools() {
    CRKWindowTools* tools = view_->Tools();
    if (!tools) return;
    if (!tools_) tools_ = seam_.get();
    tools->Hotkeys().Load(CRProfile());
    tools->SetMoveConstraint(StoredChoice(kConstraintKey));
    tools->SetRotationAxis(StoredChoice(kAxisKey));
    tools->SetLock(lock_.get());
    tools->SetPoseHook([this](const rkNode* avatar) { view_->StorePose(avatar); });
    RKToolListener& listener = tools->Listener();
    listener.toolChosen = [this](int tool) { ToolChosen(tool); };
    listener.presetChosen = [this](int preset) { PresetChosen(preset); };
    // On a selected layer a turn becomes a key of the timeline instead of a pose on its own.
    listener.segmentTurned = [this](const rkNode* node, const rkMatrix& before,
                                    const rkMatrix& after) {
        const Quat turn = QuatMultiply(MatrixToQuat(after), QuatConjugate(MatrixToQuat(before)));
        mediator_->SegmentTurned(node->name, turn);
    };
    listener.waitCursor = [](bool on) {
        if (on) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::restoreOverrideCursor();
        }
    };
    ToolChosen(tools->CurrentTool());
}

void C3DWindowColleague::LoadTimelineViews() {
    QSettings settings;
    const GhostSettings defaults;
    ghosts_ = GhostSettings{settings.value(kGhostsKey, false).toBool(),
                            settings.value(kGhostCountKey, defaults.count).toInt(),
                            settings.value(kGhostStepKey, defaults.step).toInt()}
                  .Clamped();
    pathsShown_ = settings.value(kMotionPathsKey, false).toBool();
    if (!view_) return;
    // The view goes with the colleague's frame, before the colleague.
    view_->SetTimelineSource([this] {
        if (!mediator_) return TimelineView();
        return TimelineView{mediator_->TimelineProject(), mediator_->TimelineState()};
    });
    view_->SetGhosts(ghosts_);
    view_->ShowPaths(pathsShown_);
}

void C3DWindowColleague::StoreTimelineViews() const {
    QSettings settings;
    settings.setValue(kGhostsKey, ghosts_.shown);
    settings.setValue(kGhostCountKey, ghosts_.count);
    settings.setValue(kGhostStepKey, ghosts_.step);
    settings.setValue(kMotionPathsKey, pathsShown_);
}

// Choosing a number or a spacing shows the ghosts: that is what the user wants to see.
bool C3DWindowColleague::ViewCommand(int id) {
    if (id == command::kGhosts) {
        ghosts_.shown = !ghosts_.shown;
    } else if (id == command::kMotionPaths) {
        pathsShown_ = !pathsShown_;
    } else if (id >= command::kGhostCountFirst && id <= command::kGhostCountLast) {
        ghosts_.count = id - command::kGhostCountFirst + 1;
        ghosts_.shown = true;
    } else if (id >= command::kGhostStepFirst && id <= command::kGhostStepLast) {
        ghosts_.step = command::kGhostSteps[id - command::kGhostStepFirst];
        ghosts_.shown = true;
    } else {
        return false;
    }
    StoreTimelineViews();
    if (view_) {
        view_->SetGhosts(ghosts_);
        view_->ShowPaths(pathsShown_);
    }
    return true;
}

bool C3DWindowColleague::ViewChecked(int id) const {
    if (id == command::kGhosts) return ghosts_.shown;
    if (id == command::kMotionPaths) return pathsShown_;
    if (id >= command::kGhostCountFirst && id <= command::kGhostCountLast)
        return ghosts_.count == id - command::kGhostCountFirst + 1;
    if (id >= command::kGhostStepFirst && id <= command::kGhostStepLast)
        return ghosts_.step == command::kGhostSteps[id - command::kGhostStepFirst];
    return false;
}

void C3DWindowColleague::ToolChosen(int tool) {
    if (view_) view_->setCursor(ToolCursor(tool));
    CheckManipulationButton();
    CheckToolButtons();
}

void C3DWindowColleague::CheckToolButtons() {
    CRKWindowTools* tools = view_ ? view_->Tools() : nullptr;
    if (!tools) return;
    auto check = [this](int first, int last, int chosen) {
        for (int id = first; id <= last; ++id) {
            if (QAction* action = mainFrame_->Action(id)) {
                action->setCheckable(true);
                action->setChecked(id == chosen);
            }
        }
    };
    int toolCommand = 0;
    for (int i = 0; i <= command::kToolLast - command::kToolFirst; ++i) {
        if (kToolOfCommand[i] == tools->CurrentTool()) toolCommand = command::kToolFirst + i;
    }
    check(command::kToolFirst, command::kToolLast, toolCommand);
    check(command::kConstraintFirst, command::kConstraintLast,
          command::kConstraintFirst + tools->MoveConstraint());
    check(command::kAxisFirst, command::kAxisLast, command::kAxisFirst + tools->RotationAxis());
}

bool C3DWindowColleague::CanToolCommand(int id) const {
    CRKWindowTools* tools = view_ ? view_->Tools() : nullptr;
    if (!tools) return false;
    if (id >= command::kToolFirst && id <= command::kToolLast) {
        const int tool = kToolOfCommand[id - command::kToolFirst];
        const bool objectTool =
            tool == CRKWindowTools::ObjectMove || tool == CRKWindowTools::ObjectRotate;
        return !objectTool || tools->ObjectToolsEnabled();
    }
    return id >= command::kConstraintFirst && id <= command::kAxisLast;
}

bool C3DWindowColleague::ToolCommand(int id) {
    if (!CanToolCommand(id)) return false;
    CRKWindowTools* tools = view_->Tools();
    if (id <= command::kToolLast) {
        tools->SetTool(kToolOfCommand[id - command::kToolFirst]);  // checks through the listener
        return true;
    }
    if (id <= command::kConstraintLast) {
        tools->SetMoveConstraint(id - command::kConstraintFirst);
        StoreChoice(kConstraintKey, tools->MoveConstraint());
    } else {
        tools->SetRotationAxis(id - command::kAxisFirst);
        StoreChoice(kAxisKey, tools->RotationAxis());
    }
    CheckToolButtons();
    return true;
}

// The chosen preset's button shows pressed, the others raised.
void C3DWindowColleague::PresetChosen(int preset) {
    for (int i = 0; i < 6; ++i) {
        if (QAction* action = mainFrame_->Action(kPresetCommands[i])) {
            action->setCheckable(true);
            action->setChecked(i == preset);
        }
    }
}

void C3DWindowColleague::CheckManipulationButton() {
    if (QAction* action = mainFrame_->Action(command::kManipulation)) {
        action->setCheckable(true);
        action->setChecked(IsManipulating());
    }
}

void C3DWindowColleague::ApplyLayout(const QRect& rect) {
    frame_->setGeometry(rect);
}

void C3DWindowColleague::FillClient() {
    mainFrame_->MdiArea()->setActiveSubWindow(frame_);
    frame_->setGeometry(QRect(QPoint(0, 0), mainFrame_->MdiArea()->viewport()->size()));
}

bool C3DWindowColleague::Edit(EditCommand command) {
    if (!tools_) return false;
    bool done = false;
    if (command == EditCommand::Undo) done = tools_->Undo();
    if (command == EditCommand::Redo) done = tools_->Redo();
    if (done) Redraw();
    return done;  // the 3D window has no clipboard
}

bool C3DWindowColleague::CanEdit(EditCommand command) const {
    if (!tools_) return false;
    if (command == EditCommand::Undo) return tools_->CanUndo();
    if (command == EditCommand::Redo) return tools_->CanRedo();
    return false;
}

bool C3DWindowColleague::SelectCamera(int preset) {
    CRKWindowTools* tools = view_ ? view_->Tools() : nullptr;
    if (!tools || !tools->ChoosePreset(preset)) return false;
    Redraw();
    return true;
}

void C3DWindowColleague::ShowFloor(bool shown) {
    CRKSystem* system = view_ ? view_->System() : nullptr;
    if (!system) return;
    system->ShowGround(shown);
    Redraw();
}

bool C3DWindowColleague::IsManipulating() const {
    CRKWindowTools* tools = view_ ? view_->Tools() : nullptr;
    return tools ? tools->InManipulationMode() : manipulating_;
}

void C3DWindowColleague::ToggleManipulation() {
    if (IsManipulating()) {
        LeaveManipulation();
        return;
    }
    lock_->Lock();
    if (!lock_->Held()) {
        mainFrame_->ShowNotice(ui::Text(kMachineryInUse), kNoticeMs);
        return;
    }
    if (CRKWindowTools* tools = view_ ? view_->Tools() : nullptr) {
        view_->StopClip();  // a playing clip would take the turned pose away
        tools->SetManipulationMode(true);
    } else {
        manipulating_ = true;
    }
    CheckManipulationButton();
    Redraw();
}

void C3DWindowColleague::LeaveManipulation() {
    if (!IsManipulating()) return;
    if (CRKWindowTools* tools = view_ ? view_->Tools() : nullptr) tools->SetManipulationMode(false);
    manipulating_ = false;
    lock_->Unlock();
    CheckManipulationButton();
    Redraw();
}

void C3DWindowColleague::Zoom(float amount) {
    if (tools_) tools_->Zoom(amount);
    Redraw();
}

void C3DWindowColleague::Redraw() {
    if (view_) view_->update();
}

void C3DWindowColleague::EmptyMotionCache() {
    if (tools_) tools_->EmptyMotionCache();
}

void C3DWindowColleague::RebuildDisplay() {
    if (view_) view_->RebuildDevice();
}

void C3DWindowColleague::ShowFrameSample(const FrameSample& sample) {
    if (view_) view_->ShowFrameSample(sample);
}

void C3DWindowColleague::ShowClip(const std::string& motionPath) {
    if (view_ && !view_->PlayClip(motionPath))
        DebugOutput("C3DWindowColleague::ShowClip: no pose in " + motionPath + "\n");
}

// The frame display exists only once the view's GL context does: look it up at each write.
CMotionManagerSide::PoseWriter C3DWindowColleague::PoseWriter() {
    return [this](int kind, const std::string& target) {
        CRKWindow* window = view_ ? view_->Window() : nullptr;
        return window && window->PoseWriter()(kind, target);
    };
}

}  // namespace tavrel
