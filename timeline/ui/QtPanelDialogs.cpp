#include "timeline/ui/QtPanelDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "timeline/ui/TimelineStrings.h"

namespace tavrel {

std::vector<std::string> CQtPanelDialogs::AskOpenFiles(FileKind kind) {
    const int k = int(kind);
    const QString title = QString::fromStdString(strings_(strings::kOpenTitles[k]));
    const QString filter = QString::fromStdString(strings_(strings::kOpenFilters[k]));
    QStringList picked;
    if (kind == FileKind::kImages) {
        picked = QFileDialog::getOpenFileNames(parent_, title, lastFolder_[k], filter);
    } else {
        const QString one = QFileDialog::getOpenFileName(parent_, title, lastFolder_[k], filter);
        if (!one.isEmpty()) picked << one;
    }
    std::vector<std::string> files;
    for (const QString& file : picked) files.push_back(file.toStdString());
    if (!picked.isEmpty()) lastFolder_[k] = QFileInfo(picked.front()).absolutePath();
    return files;
}

void CQtPanelDialogs::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, QString(), QString::fromStdString(text));
}

void CQtPanelDialogs::OpenVolumeControl() {
    // The desktop's mixer, when one is installed.
    for (const char* program : {"pavucontrol", "pavucontrol-qt"}) {
        if (!QStandardPaths::findExecutable(program).isEmpty()) {
            QProcess::startDetached(program, {});
            return;
        }
    }
}

}  // namespace tavrel
