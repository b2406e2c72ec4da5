#include "timeline/ui/DialogDecisions.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "timeline/ui/TimelineStrings.h"

namespace tavrel {

OverlapChoice CDialogDecisions::AskOverlap(int messageId, bool offerBlend) {
    QMessageBox box(QMessageBox::Question, QString(), QString::fromStdString(strings_(messageId)),
                    QMessageBox::NoButton, parent_);
    // A clip dropped over another's end is most often meant to flow into it: blending comes first.
    QPushButton* blend =
        offerBlend ? box.addButton(QString::fromStdString(strings_(strings::kBlendButton)),
                                   QMessageBox::AcceptRole)
                   : nullptr;
    QPushButton* replace = box.addButton(QString::fromStdString(strings_(strings::kReplaceButton)),
                                         QMessageBox::AcceptRole);
    QPushButton* shift = box.addButton(QString::fromStdString(strings_(strings::kShiftButton)),
                                       QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(blend ? blend : shift);
    box.exec();
    if (blend && box.clickedButton() == blend) return OverlapChoice::kBlend;
    if (box.clickedButton() == replace) return OverlapChoice::kReplace;
    if (box.clickedButton() == shift) return OverlapChoice::kShift;
    return OverlapChoice::kCancel;
}

std::optional<std::string> CDialogDecisions::AskPasteName(int messageId,
                                                          const std::string& proposed) {
    bool ok = false;
    const QString name =
        QInputDialog::getText(parent_, QString(), QString::fromStdString(strings_(messageId)),
                              QLineEdit::Normal, QString::fromStdString(proposed), &ok);
    if (!ok) return std::nullopt;
    return name.toStdString();
}

std::optional<std::string> CDialogDecisions::AskTake(int messageId,
                                                     const std::vector<std::string>& takes) {
    QStringList names;
    for (const std::string& take : takes) names << QString::fromStdString(take);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(
        parent_, QString(), QString::fromStdString(strings_(messageId)), names, 0, false, &ok);
    if (!ok) return std::nullopt;
    return chosen.toStdString();
}

}  // namespace tavrel
