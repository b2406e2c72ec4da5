#include "app/HelpWindow.h"

#include <QAction>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr int kHelpTitle = 62565;
constexpr int kBack = 62566;
constexpr int kForward = 62567;
constexpr int kContents = 62568;

}  // namespace

CHelpWindow::CHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
    setWindowTitle(ui::Text(kHelpTitle));
    browser_->setOpenExternalLinks(true);  // web links only: pages in the folder stay here
    auto* tools = new QToolBar(this);
    QAction* back = tools->addAction(ui::Text(kBack), browser_, &QTextBrowser::backward);
    QAction* forward = tools->addAction(ui::Text(kForward), browser_, &QTextBrowser::forward);
    tools->addAction(ui::Text(kContents), this, [this] { browser_->setSource(home_); });
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(browser_);
    resize(720, 600);
}

void CHelpWindow::Open(const QUrl& page) {
    home_ = page;
    browser_->setSource(page);
    show();
    raise();
    activateWindow();
}

QUrl CHelpWindow::Page() const {
    return browser_->source();
}

}  // namespace tavrel
