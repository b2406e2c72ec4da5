#pragma once
// Label edits of the gallery's views (folder names in the tree, file names in the thumbnails):
// the typed name goes to the view's commit function when the edit is submitted.
#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

namespace tavrel {

class CLabelEditDelegate : public QStyledItemDelegate {
public:
    using Commit = std::function<void(const QModelIndex& index, const QString& text)>;
    CLabelEditDelegate(QObject* parent, Commit commit);

    // Fills the editor once: later changes of the item (a picture arriving from the worker, a
    // frame of hover play) would otherwise put the old name back over what is being typed.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // A close that arrives late for an editor already closed, while a newer one is open: Qt
    // would end the newer one's edit state under it.
    bool IsStale(const QWidget* editor) const { return latest_ && editor != latest_; }
    // The editor made last (null once it is gone).
    QWidget* LatestEditor() const { return latest_; }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    Commit commit_;
    mutable QPointer<QWidget> latest_;
};

}  // namespace tavrel
