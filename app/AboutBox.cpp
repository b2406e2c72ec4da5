#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/AppVersion.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {
constexpr int kCaption = 62270;
constexpr int kFirstLine = 61375;
constexpr int kLineCount = 5;
}  // namespace

QStringList CAboutBox::Lines() {
    QStringList lines;
    for (int id = kFirstLine; id < kFirstLine + kLineCount; ++id) {
        lines << ui::MessageText(MakeMessage(id, {{"%ProductVersion", TAVREL_VERSION},
                                                  {"%FileVersion", TAVREL_FILE_VERSION},
                                                  {"%ProductBuild", TAVREL_BUILD}}));
    }
    return lines;
}

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(ui::Text(kCaption));
    auto* icon = new QLabel;
    icon->setPixmap(QPixmap(":/icons/112.png"));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QVBoxLayout;
    for (const QString& line : Lines()) text->addWidget(new QLabel(line));
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addLayout(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

}  // namespace tavrel
