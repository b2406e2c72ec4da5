#include "browse/GalleryServices.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStandardPaths>
#include <QWidget>

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

QAction* AddWindowCommand(QWidget* window, int id, const QKeySequence& key,
                          std::function<void()> run) {
    auto* action = new QAction(GalleryText(id), window);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(action, &QAction::triggered, window, std::move(run));
    window->addAction(action);
    return action;
}

QString GalleryText(int id) {
    return QString::fromStdString(CStringTable::BuiltIn().Get(id));
}

QString GalleryText(const Message& message) {
    return QString::fromStdString(message.Text(CStringTable::BuiltIn().Lookup()));
}

}  // namespace tavrel
