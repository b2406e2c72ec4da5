#include "app/TimelineColleague.h"

#include <QMdiArea>
#include <QWidget>
#include <algorithm>

#include "app/FixedChildFrame.h"
#include "timeline/ui/TimeLineView.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {
constexpr int kCaption = 61222;
}  // namespace

CTimelineColleague::CTimelineColleague(CMediatorSeam* mediator, CMainFrameSeam* mainFrame)
    : CColleague(mediator), mainFrame_(mainFrame) {
    frame_ = new CFixedChildFrame(CTimeLineView::kFrameMinHeight);
    // Dragged taller, the frame would cover the 3D window above it.
    frame_->setMaximumHeight(CTimeLineView::kFrameMaxHeight);
    frame_->setWidget(new QWidget);
    mainFrame_->MdiArea()->addSubWindow(frame_);
    ApplyLayout(mainFrame_->ClientLayout().timeline);
    frame_->setWindowTitle(ui::Text(kCaption));
    frame_->show();
    connect(mainFrame_->MdiArea(), &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* active) {
                if (active == frame_) mediator_->SetActiveColleague(this);
            });
}

void CTimelineColleague::SetPanel(QWidget* panel, CTimelineOperations* operations) {
    QWidget* old = frame_->widget();
    frame_->setWidget(panel);
    delete old;
    operations_ = operations;
}

void CTimelineColleague::SetPanel(QWidget* panel, std::unique_ptr<CTimelineOperations> operations) {
    SetPanel(panel, operations.get());
    owned_ = std::move(operations);
}

void CTimelineColleague::ApplyLayout(const QRect& rect) {
    // The strip is as high as its rows need, and no higher: layers raise that.
    frame_->setMaximumHeight(std::max(int(CTimeLineView::kFrameMaxHeight), rect.height()));
    frame_->setGeometry(rect);
}

bool CTimelineColleague::Edit(EditCommand command) {
    if (!operations_) return false;
    switch (command) {
        case EditCommand::Undo:
            return operations_->Undo();
        case EditCommand::Redo:
            return operations_->Redo();
        case EditCommand::Copy:
            return operations_->Copy();
        case EditCommand::Cut: {
            // Copy, then delete; a clip whose copy failed is kept, or the cut would lose it.
            return operations_->Copy() && operations_->Delete();
        }
        case EditCommand::Paste:
            return operations_->Paste();
        case EditCommand::Delete:
            return operations_->Delete();
        case EditCommand::SelectAll:
            return false;
    }
    return false;
}

bool CTimelineColleague::CanEdit(EditCommand command) const {
    if (!operations_) return false;
    switch (command) {
        case EditCommand::Undo:
            return operations_->CanUndo();
        case EditCommand::Redo:
            return operations_->CanRedo();
        case EditCommand::Copy:
            return operations_->CanCopy();
        case EditCommand::Cut:
            return operations_->CanCopy() && operations_->CanDelete();
        case EditCommand::Paste:
            return operations_->CanPaste();
        case EditCommand::Delete:
            return operations_->CanDelete();
        case EditCommand::SelectAll:
            return false;
    }
    return false;
}

bool CTimelineColleague::IsBusy() const {
    return operations_ && operations_->IsBusy();
}
bool CTimelineColleague::NewProject() {
    return operations_ && operations_->NewProject();
}
bool CTimelineColleague::OpenProject(const std::string& path) {
    return operations_ && operations_->OpenProject(path);
}
// Without a panel there is no project to keep: the program may close.
bool CTimelineColleague::WindUp() {
    return !operations_ || operations_->WindUp();
}
bool CTimelineColleague::CloseProject() {
    return operations_ && operations_->CloseProject();
}
bool CTimelineColleague::Command(int id) {
    return operations_ && operations_->Command(id);
}
void CTimelineColleague::RefreshFrame() {
    if (operations_) operations_->RefreshFrame();
}
bool CTimelineColleague::SegmentTurned(const std::string& segment, const Quat& turn) {
    return operations_ && operations_->SegmentTurned(segment, turn);
}

}  // namespace tavrel
