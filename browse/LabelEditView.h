#pragma once
// A gallery view whose labels are edited in place (the folder tree, the thumbnails). An edit
// that ends because the current item moved on (an arrow key, a click elsewhere) closes its
// editor while Qt still uses the item it left, so what the view does after an edit (rebuilding
// its items, showing a message) waits until Qt is done with that item.
#include <QAbstractItemView>
#include <QTimer>
#include <utility>

#include "browse/LabelEditDelegate.h"

namespace tavrel {

template <class View>
class CLabelEditView : public View {
public:
    using View::View;

protected:
    virtual void AfterEditorClosed() = 0;

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        if (static_cast<CLabelEditDelegate*>(this->itemDelegate())->IsStale(editor)) return;
        View::closeEditor(editor, hint);
        if (changingCurrent_) {
            QTimer::singleShot(0, this, [this] { AfterEditorClosed(); });
        } else {
            AfterEditorClosed();
        }
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        const bool outer = !std::exchange(changingCurrent_, true);
        View::currentChanged(current, previous);
        if (outer) changingCurrent_ = false;
    }

private:
    bool changingCurrent_ = false;
};

}  // namespace tavrel
