#include "timeline/ui/PanelButtons.h"

#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QWidget>
#include <algorithm>

#include "timeline/TimelineCommands.h"
#include "timeline/ui/TimelineStrings.h"

namespace tavrel {
namespace {

using namespace commands;

constexpr int kMaxTooltip = 80;

struct ButtonDef {
    int command;
    int icon;  // a QStyle::StandardPixmap, or -1 for a caption from the string table
    bool checkable;
};

// The transport buttons carry the style's icons; the others captions.
constexpr ButtonDef kButtons[] = {
    {kPlayAll, QStyle::SP_MediaPlay, false},
    {kPlayRange, QStyle::SP_MediaSeekForward, false},
    {kStop, QStyle::SP_MediaStop, false},
    {kStopToStart, QStyle::SP_MediaSkipBackward, false},
    {kGoFirst, QStyle::SP_ArrowUp, false},
    {kFrameBack, QStyle::SP_ArrowLeft, false},
    {kFrameForward, QStyle::SP_ArrowRight, false},
    {kGoLast, QStyle::SP_ArrowDown, false},
    {kZoomIn, -1, false},
    {kZoomOut, -1, false},
    {kZoomReset, -1, false},
    {kLoop, -1, true},
    {kOverview, -1, true},
    {kCollapse, -1, true},
    {kAddImages, -1, false},
    {kAddVideo, -1, false},
    {kLoadSound, -1, false},
    {kVolume, -1, false},
    {kSplit, -1, false},
    {kCrop, -1, false},
    {kAlign, -1, false},
    {kAddMotion, -1, false},
    {kAddPose, -1, false},
    {kAddInitialPose, -1, false},
    {kAddCurrentPose, -1, false},
    {kColleagueRequest, -1, false},
    {kCheckFiles, -1, false},
};

int WidthOf(QToolButton* button) {
    return std::max(24, button->sizeHint().width());
}

}  // namespace

CPanelButtons::CPanelButtons(QWidget& panel, Texts texts, Commands commands)
    : panel_(panel), commands_(std::move(commands)) {
    int caption = strings::kButtonCaptions;
    for (const ButtonDef& def : kButtons) {
        auto* button = new QToolButton(&panel);
        if (def.icon >= 0) {
            button->setIcon(panel.style()->standardIcon(QStyle::StandardPixmap(def.icon)));
        } else {
            button->setText(texts(caption++));
        }
        button->setToolTip(texts(def.command).left(kMaxTooltip));
        button->setCheckable(def.checkable);
        button->setProperty("command", def.command);
        button->setAutoRaise(true);
        // Keys belong to the panel: a focused button would take Space.
        button->setFocusPolicy(Qt::NoFocus);
        const int command = def.command;
        QObject::connect(button, &QToolButton::clicked, &panel,
                         [this, command] { commands_.run(command); });
        buttons_[def.command] = button;
    }
    more_ = new QToolButton(&panel);
    more_->setText(QStringLiteral("\u00BB"));
    more_->setAutoRaise(true);
    more_->setFocusPolicy(Qt::NoFocus);
    more_->setPopupMode(QToolButton::InstantPopup);
    more_->setMenu(new QMenu(more_));
    QObject::connect(more_->menu(), &QMenu::aboutToShow, &panel, [this] { FillOverflowMenu(); });
}

QToolButton* CPanelButtons::Button(int command) const {
    const auto it = buttons_.find(command);
    return it == buttons_.end() ? nullptr : it->second;
}

// One row; on a panel too narrow for all of them, those from the first that does not fit on
// go to the overflow menu at the row's end.
void CPanelButtons::Layout(int left, int right) {
    int all = left;
    for (const ButtonDef& def : kButtons) all += WidthOf(buttons_[def.command]);
    const bool overflow = all > right;
    const int limit = overflow ? right - WidthOf(more_) : right;
    int x = left;
    bool fits = true;
    for (const ButtonDef& def : kButtons) {
        QToolButton* button = buttons_[def.command];
        const int w = WidthOf(button);
        fits = fits && x + w <= limit;
        button->setVisible(fits);
        if (!fits) continue;
        button->setGeometry(x, kTop, w, kHeight);
        x += w;
    }
    more_->setVisible(overflow);
    more_->setGeometry(x, kTop, WidthOf(more_), kHeight);
}

void CPanelButtons::Update() {
    for (const auto& [command, button] : buttons_) {
        button->setEnabled(commands_.enabled(command));
        if (button->isCheckable()) button->setChecked(commands_.checked(command));
    }
}

// The commands of the hidden buttons, in the buttons' order, as they stand now.
void CPanelButtons::FillOverflowMenu() {
    QMenu* menu = more_->menu();
    menu->clear();
    for (const ButtonDef& def : kButtons) {
        QToolButton* button = buttons_[def.command];
        if (button->isVisibleTo(&panel_)) continue;
        QAction* action = menu->addAction(
            button->icon(), button->text().isEmpty() ? button->toolTip() : button->text());
        action->setData(def.command);
        action->setEnabled(commands_.enabled(def.command));
        action->setCheckable(def.checkable);
        action->setChecked(def.checkable && commands_.checked(def.command));
        const int command = def.command;
        QObject::connect(action, &QAction::triggered, &panel_,
                         [this, command] { commands_.run(command); });
    }
}

}  // namespace tavrel
