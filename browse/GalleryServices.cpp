#include "browse/GalleryServices.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>

#include "browse/core/DesktopTrash.h"
#include "settings/StringTable.h"

namespace tavrel {

bool CGalleryServices::Ask(const QString& text) {
    return QMessageBox::question(QApplication::activeWindow(),
                                 QApplication::applicationDisplayName(), text) == QMessageBox::Yes;
}

void CGalleryServices::Tell(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                             text);
}

bool CGalleryServices::MoveToTrash(const QString& path) {
    // Our own mover: when the data folder does not exist yet (a new account), QFile::moveToTrash
    // of Qt 6.4 reports success but puts the file in ./files of the current folder.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return MoveToDesktopTrash(path.toStdString(), data.toStdString());
}

bool TriggerShortcut(const QKeyEvent* event, const QList<QAction*>& actions) {
    const QKeySequence key(event->keyCombination());
    for (QAction* action : actions) {
        if (!action->shortcut().isEmpty() && action->shortcut() == key) {
            action->trigger();
            return true;
        }
    }
    return false;
}

QString GalleryText(int id) {
    return QString::fromStdString(CStringTable::BuiltIn().Get(id));
}

QString GalleryText(const Message& message) {
    return QString::fromStdString(message.Text(CStringTable::BuiltIn().Lookup()));
}

}  // namespace tavrel
