#include "browse/FileTreeCtrl.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragMoveEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTimer>
#include <utility>

#include "browse/GalleryServices.h"
#include "browse/LabelEditDelegate.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/LibraryFolders.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kBuiltRole = Qt::UserRole + 1;
constexpr int kScrollMargin = 16;
constexpr int kScrollInterval = 50;
constexpr int kExpandAfterTicks = 14;  // hovering this many scroll ticks opens the folder

QString Joined(const QString& folder, const QString& name) {
    return QString::fromStdString(JoinPath(folder.toStdString(), name.toStdString()));
}

bool IsInside(const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

}  // namespace

CFileTreeCtrl::CFileTreeCtrl(CGalleryServices& services, QWidget* parent)
    : CLabelEditView(parent), services_(services) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setItemDelegate(
        new CLabelEditDelegate(this, [this](const QModelIndex& index, const QString& text) {
            FinishEdit(itemFromIndex(index), text);
        }));
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!item->data(0, kBuiltRole).toBool()) Expand(item);
    });
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CFileTreeCtrl::OnSelectionChanged);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            &CFileTreeCtrl::OnFolderChanged);
    MakeActions();
}

QTreeWidgetItem* CFileTreeCtrl::MakeItem(const QString& text, const QString& path) {
    static QFileIconProvider icons;
    auto* item = new QTreeWidgetItem(QStringList(text));
    item->setData(0, kPathRole, path);
    item->setIcon(0, icons.icon(QFileInfo(path)));
    item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsDropEnabled);
    item->setChildIndicatorPolicy(HasSubfolder(path.toStdString())
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return item;
}

void CFileTreeCtrl::Initialise(const QString& rootFolder) {
    clear();
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    drive_ = rootFolder.isEmpty();
    root_ = drive_ ? QDir::rootPath() : rootFolder;
    // The library goes by its folder's name; the whole path is in the tooltip.
    const QString name = QFileInfo(root_).fileName();
    rootItem_ = MakeItem(drive_ || name.isEmpty() ? root_ : name, root_);
    rootItem_->setToolTip(0, root_);
    addTopLevelItem(rootItem_);
    Expand(rootItem_);
    rootItem_->setExpanded(true);
    setCurrentItem(rootItem_);
}

QString CFileTreeCtrl::PathOf(const QTreeWidgetItem* item) const {
    return item ? item->data(0, kPathRole).toString() : QString();
}

QString CFileTreeCtrl::CurrentFolder() const {
    return PathOf(currentItem());
}

void CFileTreeCtrl::Expand(QTreeWidgetItem* item) {
    if (filling_ || !item) return;
    filling_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Rebuild(item);
    QApplication::restoreOverrideCursor();
    filling_ = false;
}

void CFileTreeCtrl::Rebuild(QTreeWidgetItem* item) {
    if (newItem_ && item == newItem_->parent()) newItem_ = nullptr;
    // A drop target among the items that go is forgotten; one that stays (the folder read
    // again, opened by hovering over it) keeps its mark and is cleared with it.
    for (QTreeWidgetItem* up = dropItem_; up; up = up->parent()) {
        if (up->parent() == item) {
            dropItem_ = nullptr;
            break;
        }
    }
    qDeleteAll(item->takeChildren());
    const QString folder = PathOf(item);
    for (const std::string& name : ListSubfolders(folder.toStdString())) {
        const QString text = QString::fromStdString(name);
        item->addChild(MakeItem(text, Joined(folder, text)));
    }
    item->setData(0, kBuiltRole, true);
    item->setChildIndicatorPolicy(item->childCount() ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
    if (QFileInfo(folder).isDir()) watcher_.addPath(folder);
}

QTreeWidgetItem* CFileTreeCtrl::FindItem(const QString& path) const {
    QTreeWidgetItem* item = rootItem_;
    if (!item || !IsInside(path, root_)) return nullptr;
    const QStringList parts = path.mid(root_.size()).split('/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i) {
            if (item->child(i)->text(0) == part) next = item->child(i);
        }
        if (!next) return nullptr;
        item = next;
    }
    return item;
}

void CFileTreeCtrl::SelectPath(const QString& path) {
    if (!rootItem_) return;
    QTreeWidgetItem* item = rootItem_;
    const QStringList parts = IsInside(path, root_)
                                  ? path.mid(root_.size()).split('/', Qt::SkipEmptyParts)
                                  : QStringList();
    for (const QString& part : parts) {
        if (!item->data(0, kBuiltRole).toBool()) Expand(item);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i) {
            if (item->child(i)->text(0) == part) next = item->child(i);
        }
        if (!next) break;
        item->setExpanded(true);
        item = next;
    }
    setCurrentItem(item);
}

bool CFileTreeCtrl::MayRebuild() const {
    // An open label editor, a folder being named (also while its refusal is read) and a delete
    // hold items that a rebuild would free under them.
    // A selection being handled is inside the view's own mouse or key handling, which goes on
    // with the items it had.
    return state() != QAbstractItemView::EditingState && !creating_ && !deleting_ &&
           !editAgain_ && !selecting_;
}

void CFileTreeCtrl::RefreshIfPending() {
    if (refreshPending_) Refresh();
}

void CFileTreeCtrl::Refresh() {
    if (!rootItem_) return;
    if (!MayRebuild()) {
        refreshPending_ = true;
        return;
    }
    refreshPending_ = false;
    const QString selected = CurrentFolder();
    QStringList expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->isExpanded()) expanded << PathOf(*it);
    }
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    QSignalBlocker quiet(this);  // no refill for the passing selections
    Expand(rootItem_);
    for (const QString& path : expanded) {
        SelectPath(path);
        QTreeWidgetItem* item = FindItem(path);
        if (item && !item->data(0, kBuiltRole).toBool()) Expand(item);
        if (item) item->setExpanded(true);
    }
    SelectPath(selected);
    quiet.unblock();
    if (CurrentFolder() != selected) OnSelectionChanged();
    WatchShownFolder();
}

void CFileTreeCtrl::WatchShownFolder() {
    // A folder that was never expanded (a leaf, say) is watched while its files are shown.
    const QString folder = CurrentFolder();
    if (!folder.isEmpty() && QFileInfo(folder).isDir() && !watcher_.directories().contains(folder))
        watcher_.addPath(folder);
}

void CFileTreeCtrl::OnFolderChanged(const QString& path) {
    if (!FindItem(path)) return;
    Refresh();
    if (thumbnails_ && thumbnails_->CurrentFolder() == path) thumbnails_->Refill();
}

void CFileTreeCtrl::OnSelectionChanged() {
    const QString folder = CurrentFolder();
    if (filling_ || folder.isEmpty() || currentItem() == newItem_) return;
    selecting_ = true;
    if (thumbnails_) thumbnails_->ShowFolder(folder);
    WatchShownFolder();
    emit FolderSelected(folder);
    selecting_ = false;
    UpdateActions();
    if (refreshPending_) QTimer::singleShot(0, this, &CFileTreeCtrl::RefreshIfPending);
}

bool CFileTreeCtrl::Busy() const {
    return services_.IsTimelineBusy();
}

bool CFileTreeCtrl::CanCreate() const {
    // Under an open label editor a command would close it, and with it the item it edits.
    return !creating_ && !deleting_ && !Busy() && currentItem() &&
           state() != QAbstractItemView::EditingState;
}

bool CFileTreeCtrl::CanChange() const {
    // The library's root is where the library is: neither renamed nor deleted from here.
    return CanCreate() && currentItem() != rootItem_;
}

void CFileTreeCtrl::NewFolder() {
    if (!CanCreate()) return;
    creating_ = true;
    QTreeWidgetItem* parent = currentItem();
    Expand(parent);
    parent->setExpanded(true);
    const std::string path = MakeNewFolderPath(PathOf(parent).toStdString(),
                                               GalleryText(strings::kNewFolderBase).toStdString());
    const QString name = QFileInfo(QString::fromStdString(path)).fileName();
    newItem_ = MakeItem(name, QString());
    parent->addChild(newItem_);
    setCurrentItem(newItem_);
    editItem(newItem_);
}

void CFileTreeCtrl::RenameFolder() {
    if (!CanChange() || !editable_) return;
    if (thumbnails_ && !thumbnails_->CanReleaseFolder()) {
        services_.Tell(GalleryText(strings::kFolderInUse));
        return;
    }
    editItem(currentItem());
}

bool CFileTreeCtrl::FinishEdit(QTreeWidgetItem* item, const QString& text) {
    if (!item) return false;
    const bool isNew = item == newItem_;
    if (text.isEmpty() || (!isNew && text == item->text(0))) return false;  // nothing changes
    if (const Message refusal = CheckUserName(text.toStdString(), false)) {
        editAgain_ = true;
        editAgainPath_ = isNew ? QString() : PathOf(item);
        TellAfterEdit(GalleryText(refusal));
        return false;
    }
    const QString parent = PathOf(item->parent());
    const QString target = Joined(parent, text);
    if (isNew) {
        newItem_ = nullptr;
        creating_ = false;
        if (!CreateFolder(target.toStdString())) {
            TellAfterEdit(GalleryText(strings::kFolderNotCreated));
            pendingSelect_ = parent;  // the item goes with the refresh
            return false;
        }
        pendingSelect_ = target;
        return true;
    }
    const QString old = PathOf(item);
    if (thumbnails_ && IsInside(thumbnails_->CurrentFolder(), old)) thumbnails_->StopWorker();
    std::string renamed;
    if (!RenameEntry(old.toStdString(), text.toStdString(), &renamed)) {
        TellAfterEdit(GalleryText(strings::kFolderNotRenamed));
        return false;
    }
    pendingSelect_ = QString::fromStdString(renamed);
    return true;
}

// A message box runs an event loop: shown inside the delegate's commit, a folder changing
// meanwhile would rebuild the items under the editor. It waits until the editor has closed.
void CFileTreeCtrl::TellAfterEdit(const QString& text) {
    if (state() == QAbstractItemView::EditingState) {
        afterEdit_ = text;  // closeEditor passes it on
    } else {
        ShowLater(text);
    }
}

void CFileTreeCtrl::ShowLater(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { ShowAfterEdit(text); });
}

void CFileTreeCtrl::ShowAfterEdit(const QString& text) {
    services_.Tell(text);
    if (std::exchange(editAgain_, false)) EditAgain(std::exchange(editAgainPath_, {}));
    RefreshIfPending();
}

// The refused name is typed again; the item is found anew, the tree may have been read again.
void CFileTreeCtrl::EditAgain(const QString& path) {
    QTreeWidgetItem* item = creating_ ? newItem_ : FindItem(path);
    if (!item) return;
    executeDelayedItemsLayout();  // an editor over an item not laid out yet is hidden
    setCurrentItem(item);
    scrollToItem(item);
    editItem(item);
}

void CFileTreeCtrl::AfterEditorClosed() {
    if (!afterEdit_.isEmpty()) ShowLater(std::exchange(afterEdit_, {}));
    if (editAgain_) return;  // the name was refused: editing goes on once the user has read why
    // The items are rebuilt only now that the editor no longer refers to one of them.
    if (!pendingSelect_.isEmpty()) {
        const QString path = pendingSelect_;
        pendingSelect_.clear();
        Refresh();
        {
            QSignalBlocker quiet(this);
            SelectPath(path);
        }
        OnSelectionChanged();
    }
    if (creating_ && newItem_) {  // ended without a name: the new folder is not made
        QTreeWidgetItem* parent = newItem_->parent();
        delete newItem_;
        newItem_ = nullptr;
        creating_ = false;
        setCurrentItem(parent);
    }
    RefreshIfPending();
}

void CFileTreeCtrl::DeleteFolder() {
    if (!CanChange()) return;
    const QString path = CurrentFolder();
    // The question runs an event loop: the tree is not read again until the delete is over.
    deleting_ = true;
    const bool agreed = services_.Ask(GalleryText(strings::kDeleteFolderQuestion));
    if (agreed && thumbnails_ && IsInside(thumbnails_->CurrentFolder(), path)) {
        thumbnails_->StopWorker();
    }
    const bool trashed = agreed && services_.MoveToTrash(path);
    deleting_ = false;
    if (agreed && !trashed) services_.Tell(GalleryText(strings::kFolderNotTrashed));
    // Read again from the disk, the folder's item goes and its parent is selected.
    if (trashed) refreshPending_ = true;
    RefreshIfPending();
}

void CFileTreeCtrl::SetDropHighlight(QTreeWidgetItem* item) {
    if (item == dropItem_) return;
    if (dropItem_) dropItem_->setBackground(0, QBrush());
    dropItem_ = item;
    hoverTicks_ = 0;
    if (dropItem_) dropItem_->setBackground(0, palette().highlight());
    scrollStep_ = 0;
}

void CFileTreeCtrl::dragEnterEvent(QDragEnterEvent* event) {
    if (Busy() || !event->mimeData()->hasFormat(CThumbnailCtrl::kMotionFilesMime)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    scrollTimer_.start(kScrollInterval, this);
}

void CFileTreeCtrl::dragMoveEvent(QDragMoveEvent* event) {
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = itemAt(pos);
    SetDropHighlight(item);
    const int y = pos.y() - viewport()->y();
    scrollStep_ = y < kScrollMargin ? -1 : y > viewport()->height() - kScrollMargin ? 1 : 0;
    if (!item) {
        event->ignore();
        return;
    }
    event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction
                                                                  : Qt::MoveAction);
    event->accept();
}

void CFileTreeCtrl::dragLeaveEvent(QDragLeaveEvent* event) {
    SetDropHighlight(nullptr);
    scrollTimer_.stop();
    event->accept();
}

void CFileTreeCtrl::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    SetDropHighlight(nullptr);
    scrollTimer_.stop();
    if (!item || !thumbnails_ || Busy()) return;
    const QStringList files =
        QString::fromUtf8(event->mimeData()->data(CThumbnailCtrl::kMotionFilesMime))
            .split('\n', Qt::SkipEmptyParts);
    const bool copy = event->modifiers() & Qt::ControlModifier;
    const bool done = thumbnails_->TransferInto(files, PathOf(item), copy);
    // A drop that moved nothing says so to the drag's source.
    event->setDropAction(!done ? Qt::IgnoreAction : copy ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
}

void CFileTreeCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() != scrollTimer_.timerId()) return QTreeWidget::timerEvent(event);
    QScrollBar* bar = verticalScrollBar();
    if (scrollStep_) bar->setValue(bar->value() + scrollStep_ * bar->singleStep());
    // Hovering over a closed folder opens it.
    if (dropItem_ && !dropItem_->isExpanded() && ++hoverTicks_ >= kExpandAfterTicks) {
        dropItem_->setExpanded(true);
        hoverTicks_ = 0;
    }
}

void CFileTreeCtrl::keyPressEvent(QKeyEvent* event) {
    // Keys the label editor leaves come here: no command runs under an open editor.
    if (state() == QAbstractItemView::EditingState || !TriggerShortcut(event, actions())) {
        QTreeWidget::keyPressEvent(event);
    }
}

void CFileTreeCtrl::MakeActions() {
    auto make = [this](int id, QKeySequence key, void (CFileTreeCtrl::*run)()) {
        return AddWindowCommand(this, id, key, [this, run] { (this->*run)(); });
    };
    newFolder_ =
        make(32910, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), &CFileTreeCtrl::NewFolder);
    rename_ = make(32901, QKeySequence(Qt::Key_F2), &CFileTreeCtrl::RenameFolder);
    delete_ = make(32902, QKeySequence::Delete, &CFileTreeCtrl::DeleteFolder);
    refresh_ = make(40033, QKeySequence::Refresh, &CFileTreeCtrl::Refresh);
}

void CFileTreeCtrl::UpdateActions() {
    newFolder_->setEnabled(CanCreate());
    rename_->setEnabled(CanChange() && editable_);
    delete_->setEnabled(CanChange());
    refresh_->setEnabled(!creating_ && !deleting_);
}

void CFileTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? viewport()->mapFrom(this, event->pos())
                          : visualItemRect(currentItem()).center();
    if (QTreeWidgetItem* item = itemAt(at)) setCurrentItem(item);
    UpdateActions();
    QMenu menu(this);
    menu.addActions({newFolder_, rename_, delete_});
    menu.addSeparator();
    menu.addAction(refresh_);
    menu.exec(event->globalPos());
}

}  // namespace tavrel
