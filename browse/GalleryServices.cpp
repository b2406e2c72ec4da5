#include "browse/GalleryServices.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

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
    return QFile::moveToTrash(path);
}

QString GalleryText(int id) {
    return QString::fromStdString(CStringTable::BuiltIn().Get(id));
}

QString GalleryText(const Message& message) {
    return QString::fromStdString(message.Text(CStringTable::BuiltIn().Lookup()));
}

}  // namespace tavrel
