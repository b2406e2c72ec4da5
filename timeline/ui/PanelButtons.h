#pragma once
// The timeline panel's row of command buttons: the transport buttons with the style's icons,
// the others with captions, each with its command's text as tooltip. Buttons that do not fit
// the row (a narrow display) go to an overflow menu at its end, so every command stays
// reachable.
#include <QString>
#include <functional>
#include <map>

class QToolButton;
class QWidget;

namespace tavrel {

class CPanelButtons {
public:
    struct Commands {
        std::function<bool(int)> enabled;
        std::function<bool(int)> checked;
        std::function<void(int)> run;
    };
    using Texts = std::function<QString(int id)>;

    // The buttons are children of the panel.
    CPanelButtons(QWidget& panel, Texts texts, Commands commands);

    QToolButton* Button(int command) const;
    QToolButton* OverflowButton() const { return more_; }
    // Places the row at the panel's top, from x = left to at most x = right.
    void Layout(int left, int right);
    // Enabled and checked as the commands are now.
    void Update();

    static constexpr int kTop = 5, kHeight = 24;

private:
    void FillOverflowMenu();

    QWidget& panel_;
    Commands commands_;
    std::map<int, QToolButton*> buttons_;
    QToolButton* more_ = nullptr;
};

}  // namespace tavrel
