#include "uikit/UiText.h"

#include <optional>

namespace tavrel::ui {
namespace {

constexpr int kProgramTitle = 126;

std::optional<CStringTable>& LoadedTable() {
    static std::optional<CStringTable> table;
    return table;
}

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

void UseStringTable(CStringTable table) {
    LoadedTable() = std::move(table);
}

const CStringTable& Strings() {
    return LoadedTable() ? *LoadedTable() : CStringTable::BuiltIn();
}

StringLookup Lookup() {
    return [](int id) { return Strings().Get(id); };
}

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}
std::string ToStdString(const QString& text) {
    return text.toStdString();
}

QString Text(int id) {
    return ToQString(Strings().Get(id));
}

QString MessageText(const Message& message) {
    return ToQString(message.Text(Lookup()));
}

void ShowMessage(QWidget* parent, const Message& message, QMessageBox::Icon icon) {
    if (!message) return;
    if (Sink()) {
        Sink()(message);
        return;
    }
    QMessageBox box(icon, Text(kProgramTitle), MessageText(message), QMessageBox::Ok, parent);
    box.exec();
}

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

}  // namespace tavrel::ui
