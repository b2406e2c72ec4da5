// The overlap question and the paste name, answered by clicking the dialogs as a user would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "settings/StringTable.h"
#include "timeline/ui/DialogDecisions.h"
#include "timeline/ui/TimelineStrings.h"

namespace tavrel {
namespace {

// Once the dialog is up, does what the user would.
void WhenShown(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog) act(dialog);
    });
}

void ClickButton(QWidget* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->text().remove('&') == text) return b->click();
    }
    ADD_FAILURE() << "no button " << text.toStdString();
}

class DialogDecisionsTest : public ::testing::Test {
protected:
    StringLookup strings = CStringTable::BuiltIn().Lookup();
    CDialogDecisions decisions{nullptr, strings};
    QString Text(int id) { return QString::fromStdString(strings(id)); }
};

TEST_F(DialogDecisionsTest, EachOverlapButtonGivesItsChoice) {
    QString shown;
    WhenShown([&](QWidget* d) {
        shown = static_cast<QMessageBox*>(d)->text();
        ClickButton(d, Text(strings::kShiftButton));
    });
    EXPECT_EQ(decisions.AskOverlap(61217), OverlapChoice::kShift);
    EXPECT_EQ(shown, Text(61217));
    WhenShown([&](QWidget* d) { ClickButton(d, Text(strings::kReplaceButton)); });
    EXPECT_EQ(decisions.AskOverlap(61218), OverlapChoice::kReplace);
    WhenShown([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    EXPECT_EQ(decisions.AskOverlap(61217), OverlapChoice::kCancel);
}

TEST_F(DialogDecisionsTest, ThePasteNameIsProposedAndCanBeChangedOrCancelled) {
    WhenShown([](QWidget* d) {
        auto* input = static_cast<QInputDialog*>(d);
        EXPECT_EQ(input->textValue(), "walk_1");
        input->setTextValue("my walk");
        input->accept();
    });
    EXPECT_EQ(decisions.AskPasteName(61225, "walk_1"), std::optional<std::string>("my walk"));
    WhenShown([](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    EXPECT_EQ(decisions.AskPasteName(61225, "walk_1"), std::nullopt);
}

}  // namespace
}  // namespace tavrel
