#include "browse/LabelEditDelegate.h"

#include <QLineEdit>

namespace tavrel {

namespace {
const char* const kFilledProperty = "labelFilled";
}

CLabelEditDelegate::CLabelEditDelegate(QObject* parent, Commit commit)
    : QStyledItemDelegate(parent), commit_(std::move(commit)) {}

void CLabelEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (editor->property(kFilledProperty).toBool()) return;
    editor->setProperty(kFilledProperty, true);
    QStyledItemDelegate::setEditorData(editor, index);
}

QWidget* CLabelEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    latest_ = QStyledItemDelegate::createEditor(parent, option, index);
    return latest_;
}

void CLabelEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                      const QModelIndex& index) const {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) commit_(index, line->text());
}

}  // namespace tavrel
