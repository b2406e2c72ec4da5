#pragma once
// The folders of the motion library as a tree: the library folder is the one root item, the
// children of a folder are read when it is first expanded, and the tree follows folders that
// appear or vanish outside the program. Folders are made, renamed and moved to the trash here;
// motion files dragged from the thumbnails drop onto a folder (moved, or copied with Ctrl).
#include <QBasicTimer>
#include <QFileSystemWatcher>
#include <QTreeWidget>

#include "browse/LabelEditView.h"

namespace tavrel {

class CGalleryServices;
class CThumbnailCtrl;

class CFileTreeCtrl : public CLabelEditView<QTreeWidget> {
    Q_OBJECT

public:
    explicit CFileTreeCtrl(CGalleryServices& services, QWidget* parent = nullptr);

    void SetThumbnailView(CThumbnailCtrl* thumbnails) { thumbnails_ = thumbnails; }
    // Shows the folder as the single root; an empty folder shows the file system's root as a
    // drive, which cannot be renamed or deleted.
    void Initialise(const QString& rootFolder);
    // Reads the root's children again and selects the folder selected before (or the nearest
    // one still there). While a label is edited or a folder deleted, it waits until that ends.
    void Refresh();
    // Expands the items along the path and selects the last existing folder on it.
    void SelectPath(const QString& path);
    QString CurrentFolder() const;
    QString RootFolder() const { return root_; }
    QTreeWidgetItem* RootItem() const { return rootItem_; }
    QTreeWidgetItem* FindItem(const QString& path) const;
    QString PathOf(const QTreeWidgetItem* item) const;

    void SetEditable(bool editable) { editable_ = editable; }
    bool CanChange() const;  // rename and delete apply to the selected folder
    bool CanCreate() const;

    // Commands.
    void NewFolder();
    void RenameFolder();
    void DeleteFolder();
    // Ends a label edit: makes the new folder or renames the existing one.
    bool FinishEdit(QTreeWidgetItem* item, const QString& text);

signals:
    void FolderSelected(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* MakeItem(const QString& text, const QString& path);
    void Expand(QTreeWidgetItem* item);
    void Rebuild(QTreeWidgetItem* item);
    void OnFolderChanged(const QString& path);
    void WatchShownFolder();
    void OnSelectionChanged();
    void SetDropHighlight(QTreeWidgetItem* item);
    bool Busy() const;
    bool MayRebuild() const;
    void RefreshIfPending();
    void TellAfterEdit(const QString& text);
    void ShowLater(const QString& text);
    void ShowAfterEdit(const QString& text);
    void EditAgain(const QString& path);
    void MakeActions();
    void UpdateActions();

    CGalleryServices& services_;
    CThumbnailCtrl* thumbnails_ = nullptr;
    QString root_;
    QTreeWidgetItem* rootItem_ = nullptr;
    QTreeWidgetItem* newItem_ = nullptr;  // the folder being named, not yet on disk
    QTreeWidgetItem* dropItem_ = nullptr;
    QString pendingSelect_;  // selected once the label editor has closed
    QFileSystemWatcher watcher_;
    QBasicTimer scrollTimer_;
    int scrollStep_ = 0;
    int hoverTicks_ = 0;
    bool filling_ = false;
    bool creating_ = false;
    bool deleting_ = false;
    bool selecting_ = false;  // the thumbnails follow a new selection
    bool editable_ = true;
    bool refreshPending_ = false;
    void AfterEditorClosed() override;
    bool editAgain_ = false;  // a refused name is typed again after its message
    QString editAgainPath_;
    QString afterEdit_;  // a message shown once the editor has closed
    bool drive_ = false;
    QAction* newFolder_ = nullptr;
    QAction* rename_ = nullptr;
    QAction* delete_ = nullptr;
    QAction* refresh_ = nullptr;
};

}  // namespace tavrel
