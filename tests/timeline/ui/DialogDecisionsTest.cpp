// The overlap question and the paste name, answered by clicking the dialogs as a user would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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

bool HasButton(QWidget* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (b->text().remove('&') == text) return true;
    }
    return false;
}

TEST_F(DialogDecisionsTest, EachOverlapButtonGivesItsChoice) {
    struct Case {
        int message;
        bool offerBlend;
        int button;  // 0: the dialog is closed
        OverlapChoice expected;
    };
    const Case cases[] = {
        {61217, false, strings::kShiftButton, OverlapChoice::kShift},
        {61218, false, strings::kReplaceButton, OverlapChoice::kReplace},
        {61217, false, 0, OverlapChoice::kCancel},
        {61219, true, strings::kBlendButton, OverlapChoice::kBlend},
        {61219, true, strings::kReplaceButton, OverlapChoice::kReplace},
        {61219, true, 0, OverlapChoice::kCancel},
    };
    for (const Case& c : cases) {
        QString shown;
        bool blendShown = false;
        QString defaultButton;
        WhenShown([&](QWidget* d) {
            auto* box = static_cast<QMessageBox*>(d);
            shown = box->text();
            blendShown = HasButton(d, Text(strings::kBlendButton));
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            if (c.button) {
                ClickButton(d, Text(c.button));
            } else {
                box->reject();
            }
        });
        EXPECT_EQ(decisions.AskOverlap(c.message, c.offerBlend), c.expected) << c.message;
        EXPECT_EQ(shown, Text(c.message));
        EXPECT_EQ(blendShown, c.offerBlend);
        // Enter takes the blend where it is offered.
        EXPECT_EQ(defaultButton,
                  Text(c.offerBlend ? strings::kBlendButton : strings::kShiftButton));
    }
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
