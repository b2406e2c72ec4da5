// The gallery's file commands on the thumbnails: copy, cut, paste, delete, rename and refresh,
// with their actions and context menu.
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <utility>

#include "browse/GalleryCommandIds.h"
#include "browse/GalleryServices.h"
#include "browse/LabelEditDelegate.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/LibraryFolders.h"
#include "browse/core/MotionFolder.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {
namespace {

std::vector<std::string> ToStd(const QStringList& list) {
    std::vector<std::string> paths;
    for (const QString& p : list) paths.push_back(p.toStdString());
    return paths;
}

}  // namespace

bool CThumbnailCtrl::CanCopy() const {
    return !Busy() && !selectedItems().isEmpty();
}

bool CThumbnailCtrl::CanPaste() const {
    return !Busy() && !clipboard_.IsEmpty() && !folder_.empty();
}

void CThumbnailCtrl::CopyFiles() {
    if (CanCopy()) clipboard_.Copy(ToStd(SelectedPaths()));
    UpdateActions();
}

void CThumbnailCtrl::CutFiles() {
    if (CanCopy()) clipboard_.Cut(ToStd(SelectedPaths()));
    UpdateActions();
}

NameClashQuestion CThumbnailCtrl::AskName() {
    return [this](const Message& message, const std::string&) {
        return services_.Ask(GalleryText(message));
    };
}

void CThumbnailCtrl::PasteFiles() {
    if (!CanPaste()) return;
    StopWorker();
    const TransferResult result = clipboard_.Paste(folder_, AskName());
    if (!result.failed.empty()) {
        services_.Tell(GalleryText(FilesMessage(strings::kFilesNotPasted, result.failed)));
    }
    Refill();
    UpdateActions();
}

bool CThumbnailCtrl::TransferInto(const QStringList& files, const QString& folder, bool copy) {
    if (Busy() || files.isEmpty()) return false;
    StopWorker();
    const TransferResult result =
        TransferFiles(ToStd(files), folder.toStdString(),
                      copy ? FileTransfer::kCopy : FileTransfer::kMove, AskName());
    if (!result.failed.empty()) {
        services_.Tell(GalleryText(FilesMessage(strings::kFilesNotPasted, result.failed)));
    }
    Refill();
    return !result.done.empty();
}

void CThumbnailCtrl::DeleteFiles() {
    const QStringList paths = SelectedPaths();
    if (Busy() || paths.isEmpty()) return;
    const int question =
        paths.size() == 1 ? strings::kDeleteFileQuestion : strings::kDeleteFilesQuestion;
    if (!services_.Ask(GalleryText(question))) return;
    StopWorker();
    std::vector<std::string> failed;
    for (const QString& path : paths) {
        if (!services_.MoveToTrash(path)) failed.push_back(path.toStdString());
    }
    if (!failed.empty()) {
        services_.Tell(GalleryText(FilesMessage(strings::kFilesNotTrashed, failed)));
    }
    Refill();
}

void CThumbnailCtrl::RenameFile() {
    const QList<QListWidgetItem*> selected = selectedItems();
    if (Busy() || selected.size() != 1) return;
    HoverOver(-1);
    editItem(selected.front());
}

bool CThumbnailCtrl::FinishRename(QListWidgetItem* entry, const QString& newName) {
    const int row = entry ? this->row(entry) : -1;
    if (row < 0 || Busy()) return false;
    const std::string old = NameOf(row);
    const std::string name = NameKeepingExtension(old, newName.toStdString());
    if (name == old) return true;
    if (const Message refusal = CheckUserName(name, true)) {
        TellAfterEdit(GalleryText(refusal), old);  // and edit on
        return false;
    }
    // A motion file renamed to what the gallery does not list would drop out of it unseen.
    if (HasAcceptedExtension(old, extensions_) && !HasAcceptedExtension(name, extensions_)) {
        const Message question =
            MakeMessage(strings::kRenameUnlistedQuestion, {{std::string(kFileNameToken), name}});
        afterEdit_ = {GalleryText(question), old, name};
        if (state() != QAbstractItemView::EditingState) ShowLater(std::exchange(afterEdit_, {}));
        return false;
    }
    return RenameNow(old, name);
}

bool CThumbnailCtrl::RenameNow(const std::string& old, const std::string& name) {
    StopWorker();
    std::string renamed;
    if (!RenameEntry(JoinPath(folder_, old), name, &renamed)) {
        TellAfterEdit(GalleryText(strings::kFileNotRenamed), {});
        StartWorker();
        return false;
    }
    Refill();
    return true;
}

bool CThumbnailCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!CLabelEditView::edit(index, trigger, event)) return false;
    // Qt has selected the whole name by now; the extension is kept unless typed over.
    const auto* delegate = static_cast<CLabelEditDelegate*>(itemDelegate());
    if (auto* line = qobject_cast<QLineEdit*>(delegate->LatestEditor()))
        line->setSelection(0, int(StemLength(line->text().toStdString())));
    return true;
}

// A message box runs an event loop: shown inside the delegate's commit, a refill meanwhile
// would free the row under the editor. It waits until the editor has closed, and the row to
// edit on is found again by its name.
void CThumbnailCtrl::TellAfterEdit(const QString& text, const std::string& editAgain) {
    if (state() == QAbstractItemView::EditingState) {
        afterEdit_ = {text, editAgain, {}};  // closeEditor passes it on
    } else {
        ShowLater({text, editAgain, {}});
    }
}

void CThumbnailCtrl::ShowLater(AfterEdit after) {
    QTimer::singleShot(0, this, [this, after] { ShowAfterEdit(after); });
}

void CThumbnailCtrl::ShowAfterEdit(const AfterEdit& after) {
    if (!after.renameTo.empty()) {
        if (services_.Ask(after.message) && RowOf(after.editAgain) >= 0) {
            RenameNow(after.editAgain, after.renameTo);
            return;
        }
    } else {
        services_.Tell(after.message);
    }
    const int row = after.editAgain.empty() ? -1 : RowOf(after.editAgain);
    if (row < 0) return;
    // Rows made meanwhile are placed first: an editor over a row not laid out yet is hidden.
    executeDelayedItemsLayout();
    setCurrentItem(item(row));
    scrollToItem(item(row));
    editItem(item(row));
}

void CThumbnailCtrl::AfterEditorClosed() {
    if (refillPending_) Refill();
    if (!afterEdit_.message.isEmpty()) ShowLater(std::exchange(afterEdit_, {}));
}

void CThumbnailCtrl::RefreshPictures() {
    if (folder_.empty()) return;
    StopWorker();
    for (const std::string& name : entries_) cache_.Forget(JoinPath(folder_, name), size_, size_);
    cache_.Clear();
    Fill();
}

void CThumbnailCtrl::keyPressEvent(QKeyEvent* event) {
    // Keys the label editor leaves come here: no command runs under an open editor.
    if (state() == QAbstractItemView::EditingState || !TriggerShortcut(event, actions())) {
        QListWidget::keyPressEvent(event);
    }
}

void CThumbnailCtrl::MakeActions() {
    auto make = [this](int id, QKeySequence key, void (CThumbnailCtrl::*run)()) {
        return AddWindowCommand(this, id, key, [this, run] { (this->*run)(); });
    };
    copy_ = make(gallery_command::kCopy, QKeySequence::Copy, &CThumbnailCtrl::CopyFiles);
    cut_ = make(gallery_command::kCut, QKeySequence::Cut, &CThumbnailCtrl::CutFiles);
    paste_ = make(gallery_command::kPaste, QKeySequence::Paste, &CThumbnailCtrl::PasteFiles);
    delete_ = make(gallery_command::kDelete, QKeySequence::Delete, &CThumbnailCtrl::DeleteFiles);
    rename_ = make(gallery_command::kRename, QKeySequence(Qt::Key_F2), &CThumbnailCtrl::RenameFile);
    refresh_ =
        make(gallery_command::kRefresh, QKeySequence::Refresh, &CThumbnailCtrl::RefreshPictures);
    UpdateActions();
}

void CThumbnailCtrl::UpdateActions() {
    const bool busy = Busy();
    copy_->setEnabled(CanCopy());
    cut_->setEnabled(CanCopy());
    paste_->setEnabled(CanPaste());
    delete_->setEnabled(CanCopy());
    rename_->setEnabled(!busy && selectedItems().size() == 1);
    refresh_->setEnabled(!busy && !folder_.empty());
}

void CThumbnailCtrl::contextMenuEvent(QContextMenuEvent* event) {
    UpdateActions();
    QMenu menu(this);
    menu.addActions({copy_, cut_, paste_});
    menu.addSeparator();
    menu.addActions({delete_, rename_});
    menu.addSeparator();
    menu.addAction(refresh_);
    menu.exec(event->globalPos());
}

}  // namespace tavrel
