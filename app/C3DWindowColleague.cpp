#include "app/C3DWindowColleague.h"

#include <QLabel>
#include <QMdiArea>
#include <algorithm>
#include <cmath>

#include "RKWindow/ui/C3DWindowView.h"
#include "app/FixedChildFrame.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "base/DebugOutput.h"
#include "uikit/UiText.h"

namespace {

constexpr int kCaption = 61221;
constexpr int kNoOpenGL = 62260;
constexpr int kMinimumHeight = 150;
// Without tools a wheel notch moves the eye this share of its distance towards the target.
constexpr float kFallbackZoomStep = 0.1f;

}  // namespace

C3DWindowColleague::C3DWindowColleague(CTavrelMediator* mediator, CTavrelMainFrame* mainFrame,
                                       const std::string& dataFolder, bool withGL)
    : CColleague(mediator), mainFrame_(mainFrame) {
    frame_ = new CFixedChildFrame(kMinimumHeight);
    if (withGL && C3DWindowView::CanCreateContext()) {
        view_ = new C3DWindowView(dataFolder);
        connect(view_, &C3DWindowView::zoomRequested, this, &C3DWindowColleague::Zoom);
        frame_->setWidget(view_);
    } else {
        tavrel::DebugOutput(
            "C3DWindowColleague: no OpenGL 3.3 context, the 3D window stays empty.\n");
        auto* notice = new QLabel(tavrel::ui::Text(kNoOpenGL));
        notice->setAlignment(Qt::AlignCenter);
        notice->setWordWrap(true);
        notice_ = notice;
        frame_->setWidget(notice_);
    }
    mainFrame_->MdiArea()->addSubWindow(frame_);
    ApplyLayout(mainFrame_->ClientLayout().view3D);
    frame_->setWindowTitle(tavrel::ui::Text(kCaption));
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
    frame_->AllowClose();
    delete frame_;
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
    if (command == EditCommand::Undo) return tools_->Undo();
    if (command == EditCommand::Redo) return tools_->Redo();
    return false;  // the 3D window has no clipboard
}

bool C3DWindowColleague::CanEdit(EditCommand command) const {
    if (!tools_) return false;
    if (command == EditCommand::Undo) return tools_->CanUndo();
    if (command == EditCommand::Redo) return tools_->CanRedo();
    return false;
}

bool C3DWindowColleague::SelectCamera(int preset) {
    CRKSystem* system = view_ ? view_->System() : nullptr;
    if (!system || !system->PresetCamera(preset)) return false;
    Redraw();
    return true;
}

void C3DWindowColleague::ShowRing(bool shown) {
    CRKSystem* system = view_ ? view_->System() : nullptr;
    if (!system || !system->World()) return;
    if (CRKNode* ring = system->World()->Child("CircleLine")) ring->Show(shown);
    Redraw();
}

void C3DWindowColleague::ToggleManipulation() {
    if (manipulating_) {
        LeaveManipulation();
        return;
    }
    mediator_->LockMutex();
    manipulating_ = true;
    ShowRing(true);
}

void C3DWindowColleague::LeaveManipulation() {
    if (!manipulating_) return;
    manipulating_ = false;
    ShowRing(false);
    mediator_->UnlockMutex();
}

void C3DWindowColleague::Zoom(float amount) {
    if (tools_) {
        tools_->Zoom(amount);
    } else if (CRKSystem* system = view_ ? view_->System() : nullptr) {
        // No tools yet: move the eye along its line of sight, a share of its distance to the
        // avatar's root per notch.
        RKViewport& camera = system->Camera();
        const rkVector eye = camera.GetEye();
        const rkVector look = camera.GetDirection();
        float distance = 1000.0f;
        if (const rkNode* root = system->AvatarRoot()) {
            const float dx = root->world.m[12] - eye.x, dy = root->world.m[13] - eye.y,
                        dz = root->world.m[14] - eye.z;
            distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        }
        const float step = std::clamp(amount * kFallbackZoomStep, -0.9f, 0.9f) * distance;
        camera.SetEye(eye.x + look.x * step, eye.y + look.y * step, eye.z + look.z * step);
    }
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

// Until the frame display is hosted in the view, the avatar keeps its pose.
void C3DWindowColleague::ShowFrameSample(const tavrel::FrameSample&) {}
void C3DWindowColleague::ShowClip(const std::string&) {}
tavrel::CMotionManagerSide::PoseWriter C3DWindowColleague::PoseWriter() { return {}; }
