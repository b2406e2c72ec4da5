#include "app/GalleryColleague.h"

#include <QMdiArea>
#include <QWidget>

#include "app/FixedChildFrame.h"
#include "base/DebugOutput.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {
constexpr int kCaption = 61223;
constexpr int kMinimumHeight = 150;
}  // namespace

CGalleryColleague::CGalleryColleague(CMediatorSeam* mediator, CMainFrameSeam* mainFrame)
    : CColleague(mediator), mainFrame_(mainFrame) {
    frame_ = new CFixedChildFrame(kMinimumHeight);
    frame_->setWidget(new QWidget);
    if (!mainFrame_->MdiArea()->addSubWindow(frame_)) {
        DebugOutput("CGalleryColleague create failed\n");
        return;
    }
    ApplyLayout(mainFrame_->ClientLayout().gallery);
    frame_->setWindowTitle(ui::Text(kCaption));
    frame_->show();
    created = 1;
    connect(frame_, &CFixedChildFrame::focusEntered, this, [this] { mediator_->GalleryFocused(); });
    connect(mainFrame_->MdiArea(), &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* active) {
                if (active == frame_) {
                    mediator_->SetActiveColleague(this);
                    mediator_->GalleryFocused();
                }
            });
}

void CGalleryColleague::SetPane(QWidget* pane, CGalleryOperations* operations) {
    QWidget* old = frame_->widget();
    frame_->setWidget(pane);
    delete old;
    operations_ = operations;
}

void CGalleryColleague::SetPane(QWidget* pane, std::unique_ptr<CGalleryOperations> operations) {
    SetPane(pane, operations.get());
    owned_ = std::move(operations);
}

void CGalleryColleague::ApplyLayout(const QRect& rect) {
    frame_->setGeometry(rect);
}

bool CGalleryColleague::Edit(EditCommand command) {
    if (!operations_) return false;
    switch (command) {
        case EditCommand::Copy:
            return operations_->Copy();
        case EditCommand::Cut:
            return operations_->Cut();
        case EditCommand::Paste:
            return operations_->Paste();
        case EditCommand::Delete:
            return operations_->Delete();
        default:
            return false;  // no undo in the gallery
    }
}

bool CGalleryColleague::CanEdit(EditCommand command) const {
    if (!operations_) return false;
    switch (command) {
        case EditCommand::Copy:
            return operations_->CanCopy();
        case EditCommand::Cut:
            return operations_->CanCut();
        case EditCommand::Paste:
            return operations_->CanPaste();
        case EditCommand::Delete:
            return operations_->CanDelete();
        default:
            return false;
    }
}

bool CGalleryColleague::Command(int id) {
    return operations_ && operations_->Command(id);
}

std::optional<bool> CGalleryColleague::Checked(int id) const {
    return operations_ ? operations_->Checked(id) : std::nullopt;
}

void CGalleryColleague::Refresh() {
    if (operations_) operations_->Refresh();
}

void CGalleryColleague::Shutdown() {
    if (operations_) operations_->Shutdown();
}

void CGalleryColleague::RebuildDisplay() {
    if (operations_) operations_->RebuildDisplay();
}

void CGalleryColleague::PauseThumbnails(bool paused) {
    if (operations_) operations_->PauseThumbnails(paused);
}

void CGalleryColleague::UpdateCommands() {
    if (operations_) operations_->UpdateCommands();
}

}  // namespace tavrel
