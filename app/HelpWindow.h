#pragma once
// The help pages in a window of the program's own: no browser needed. Links between the pages
// stay in the window; links to the web go to the desktop.
#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace tavrel {

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent);

    // Shows the page (a local file) and brings the window to the front.
    void Open(const QUrl& page);
    QUrl Page() const;
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QUrl home_;
};

}  // namespace tavrel
