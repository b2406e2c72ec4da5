#include "timeline/ui/QtPanelDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>

#include "timeline/ui/TimelineStrings.h"

namespace tavrel {
namespace {

// Motion and pose folders outlive the run; the others are kept for the run only.
bool IsRemembered(FileKind kind) {
    return kind == FileKind::kMotion || kind == FileKind::kPose;
}

}  // namespace

QString CQtPanelDialogs::StartFolder(FileKind kind) const {
    if (!IsRemembered(kind) || !lastFolder_[int(kind)].isEmpty()) return lastFolder_[int(kind)];
    const std::string kept = memory_.read ? memory_.read(kind) : std::string();
    return QString::fromStdString(kept.empty() ? library_ : kept);
}

void CQtPanelDialogs::KeepFolder(FileKind kind, const QString& folder) {
    lastFolder_[int(kind)] = folder;
    if (IsRemembered(kind) && memory_.write) memory_.write(kind, folder.toStdString());
}

std::vector<std::string> CQtPanelDialogs::AskOpenFiles(FileKind kind) {
    const int k = int(kind);
    const QString title = QString::fromStdString(strings_(strings::kOpenTitles[k]));
    const QString filter = QString::fromStdString(strings_(strings::kOpenFilters[k]));
    QStringList picked;
    if (kind == FileKind::kImages) {
        picked = QFileDialog::getOpenFileNames(parent_, title, StartFolder(kind), filter);
    } else {
        const QString one = QFileDialog::getOpenFileName(parent_, title, StartFolder(kind), filter);
        if (!one.isEmpty()) picked << one;
    }
    std::vector<std::string> files;
    for (const QString& file : picked) files.push_back(file.toStdString());
    if (!picked.isEmpty()) KeepFolder(kind, QFileInfo(picked.front()).absolutePath());
    return files;
}

void CQtPanelDialogs::ShowMessage(const std::string& text) {
    QMessageBox::information(parent_, QString(), QString::fromStdString(text));
}

int CQtPanelDialogs::AskNumber(const std::string& question, int least, int most, int start) {
    bool ok = false;
    const int number = QInputDialog::getInt(parent_, QString(), QString::fromStdString(question),
                                            std::clamp(start, least, most), least, most, 1, &ok);
    return ok ? number : 0;
}

bool CQtPanelDialogs::OpenVolumeControl() {
    for (const char* program : {"pavucontrol", "pavucontrol-qt"}) {
        if (!QStandardPaths::findExecutable(program).isEmpty() &&
            QProcess::startDetached(program, {}))
            return true;
    }
    return false;
}

}  // namespace tavrel
