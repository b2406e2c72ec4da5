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

namespace {
const char* const kKeyProperty = "windowKey";
}

bool TriggerShortcut(const QKeyEvent* event, const QList<QAction*>& actions) {
    const QKeySequence key(event->keyCombination());
    for (QAction* action : actions) {
        if (action->isEnabled() && !WindowCommandKey(action).isEmpty() &&
            WindowCommandKey(action) == key) {
            action->trigger();
            return true;
        }
    }
    return false;
}

QKeySequence WindowCommandKey(const QAction* action) {
    return action->property(kKeyProperty).value<QKeySequence>();
}

QAction* AddWindowCommand(QWidget* window, int id, const QKeySequence& key,
                          std::function<void()> run) {
    // A menu shows what follows a tab as the item's key.
    auto* action = new QAction(GalleryText(id) + '\t' + key.toString(QKeySequence::NativeText),
                               window);
    action->setProperty(kKeyProperty, QVariant::fromValue(key));
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
