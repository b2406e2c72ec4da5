#pragma once
// Texts of the string table as Qt strings, and messages shown as message boxes. The table is
// the resource bundle's once the bundle is loaded; before that (and in tests) the copy built
// into the program from the same file.
#include <QMessageBox>
#include <QString>

#include "settings/Message.h"
#include "settings/StringTable.h"

namespace tavrel::ui {

// Makes the table the source of every text from now on.
void UseStringTable(CStringTable table);
const CStringTable& Strings();
StringLookup Lookup();

QString Text(int id);
// The message's text with its placeholders filled in.
QString MessageText(const Message& message);
QString ToQString(const std::string& text);
std::string ToStdString(const QString& text);

// Shows the message in a modal box over parent, titled with the program's name. Tests replace
// the box with a recorder (see SetMessageSink).
void ShowMessage(QWidget* parent, const Message& message,
                 QMessageBox::Icon icon = QMessageBox::Warning);

// Where shown messages go instead of a box while set; an empty sink restores the box.
using MessageSink = std::function<void(const Message&)>;
MessageSink SetMessageSink(MessageSink sink);

}  // namespace tavrel::ui
