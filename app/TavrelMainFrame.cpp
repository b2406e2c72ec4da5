#include "app/TavrelMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "app/ProjectFileCommands.h"
#include "app/TavrelMediator.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr int kProgramTitle = 126;
constexpr int kReady = 62256;
constexpr int kCommandStateInterval = 300;  // ms, how often idle buttons follow the state
const char* const kRecentGroup = "Recent File List";

QStringList ResourceLines(const QString& name) {
    QFile file(name);
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly)) return lines;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith('#')) lines << line;
    }
    return lines;
}

}  // namespace

CTavrelMainFrame::CTavrelMainFrame() : mdiArea_(new QMdiArea) {
    setWindowTitle(ui::Text(kProgramTitle));
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(mdiArea_);
    mdiArea_->viewport()->installEventFilter(this);
    // The idle prompt comes back whenever a menu's hint has gone.
    statusBar()->showMessage(ui::Text(kReady));
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty()) statusBar()->showMessage(ui::Text(kReady));
    });
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &CTavrelMainFrame::UpdateCommandStates);
    idle->start(kCommandStateInterval);
    // A key finds its command's state as it is now, not as the last idle tick saw it.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &CTavrelMainFrame::ActivateWindowOf);
}

CTavrelMainFrame::~CTavrelMainFrame() {
    // The windows going with the frame hand the focus on: that is no news to a frame half gone.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
}

void CTavrelMainFrame::ActivateWindowOf(QWidget*, QWidget* focused) {
    // The window that takes the focus (a drop, a click into a control) is the one the edit
    // commands go to.
    for (QWidget* widget = focused; widget; widget = widget->parentWidget()) {
        auto* window = qobject_cast<QMdiSubWindow*>(widget);
        if (!window || window->mdiArea() != mdiArea_) continue;
        if (mdiArea_->activeSubWindow() != window) mdiArea_->setActiveSubWindow(window);
        return;
    }
}

QAction* CTavrelMainFrame::MakeAction(int id, int textId, const QString& shortcut, bool checkable) {
    auto* action = new QAction(ui::Text(textId), this);
    action->setData(id);
    if (!shortcut.isEmpty()) action->setShortcut(QKeySequence(shortcut));
    action->setCheckable(checkable);
    action->setChecked(checkable);
    const QString icon = QString(":/toolbar/%1.png").arg(id);
    if (QFile::exists(icon)) action->setIcon(QIcon(icon));
    connect(action, &QAction::triggered, this, [this, action, id] {
        // Qt has already flipped a checkable item; the command flips it itself.
        if (action->isCheckable()) action->setChecked(!action->isChecked());
        if (OnCommand(id) && id != command::kExit) UpdateCommandStates();
    });
    actions_.insert(id, action);
    return action;
}

void CTavrelMainFrame::BuildCommands() {
    QList<QMenu*> open;
    for (const QString& line : ResourceLines(":/menu.tsv")) {
        const QStringList f = line.split('\t');
        const QString kind = f.value(0);
        const int id = f.value(1).toInt();
        const int text = f.value(2).toInt();
        QMenu* parent = open.isEmpty() ? nullptr : open.last();
        if (kind == "popup") {
            QMenu* menu =
                parent ? parent->addMenu(ui::Text(text)) : menuBar()->addMenu(ui::Text(text));
            connect(menu, &QMenu::aboutToShow, this, &CTavrelMainFrame::UpdateCommandStates);
            open << menu;
        } else if (kind == "end" && !open.isEmpty()) {
            open.removeLast();
        } else if (kind == "separator" && parent) {
            parent->addSeparator();
        } else if (kind == "recent" && parent) {
            recentMenu_ = parent->addMenu(ui::Text(text));
            FillRecentMenu();
        } else if ((kind == "item" || kind == "check") && parent) {
            parent->addAction(MakeAction(id, text, f.value(3), kind == "check"));
        }
    }
    QToolBar* toolbar = addToolBar(ui::Text(kProgramTitle));
    toolbar->setObjectName("MainToolbar");
    toolbar->setMovable(false);
    for (const QString& line : ResourceLines(":/toolbar.tsv")) {
        if (line.trimmed() == "separator") {
            toolbar->addSeparator();
        } else if (QAction* action = actions_.value(line.trimmed().toInt())) {
            toolbar->addAction(action);
        }
    }
}

void CTavrelMainFrame::PlaceOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(800, 600);
    // The frame's outer rectangle; Qt places the client area inside the decorations.
    setGeometry(10, 10, size.width() - 20, size.height() - 95);
}

CWindowLayout CTavrelMainFrame::ClientLayout() const {
    const QSize client = mdiArea_->viewport()->size();
    return ComputeWindowLayout(client.width(), client.height(),
                               mediator_ ? mediator_->UpperFramesMinimumHeight() : 0,
                               mediator_ ? mediator_->TimelineExtraHeight() : 0);
}

bool CTavrelMainFrame::OnCommand(int id) {
    if (id == command::kExit) return close();
    const bool replacesProject = id == command::kNewProject || id == command::kOpenProject;
    if (replacesProject && mediator_ && mediator_->IsCommandEnabled(id) && !MayReplaceProject())
        return false;
    if (fileCommands_ && fileCommands_->Handles(id)) return fileCommands_->Run(id);
    return mediator_ && mediator_->OnCommand(id);
}

void CTavrelMainFrame::InvertCheckMark(int id) {
    if (QAction* action = actions_.value(id)) action->setChecked(!action->isChecked());
}

void CTavrelMainFrame::UpdateCommandStates() {
    if (!mediator_) return;
    mediator_->UpdateTitle();
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        const int id = it.key();
        it.value()->setEnabled(fileCommands_ && fileCommands_->Handles(id)
                                   ? fileCommands_->IsEnabled(id)
                                   : mediator_->IsCommandEnabled(id));
        if (const auto checked = mediator_->CommandChecked(id)) it.value()->setChecked(*checked);
    }
}

QStringList CTavrelMainFrame::RecentFiles() const {
    QSettings settings;
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString file =
            settings.value(QString("%1/File%2").arg(kRecentGroup).arg(i)).toString();
        if (!file.isEmpty()) files << file;
    }
    return files;
}

void CTavrelMainFrame::AddRecentFile(const QString& path) {
    if (recentMenu_) QTimer::singleShot(0, this, &CTavrelMainFrame::FillRecentMenu);
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    QSettings settings;
    settings.remove(kRecentGroup);
    for (int i = 0; i < files.size() && i < kRecentFiles; ++i) {
        settings.setValue(QString("%1/File%2").arg(kRecentGroup).arg(i + 1), files[i]);
    }
}

void CTavrelMainFrame::FillRecentMenu() {
    recentMenu_->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        QAction* action = recentMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(file));
        connect(action, &QAction::triggered, this, [this, file] { OpenDocumentByName(file); });
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

// By value: the pending file itself may be what is passed, and it is cleared here.
void CTavrelMainFrame::OpenDocumentByName(QString path) {
    if (!mediator_) {
        pendingFile_ = path;
        return;
    }
    pendingFile_.clear();
    if (MayReplaceProject()) mediator_->OpenFile(path.toStdString());
}

bool CTavrelMainFrame::MayReplaceProject() {
    return !fileCommands_ || fileCommands_->MayDiscardChanges();
}

// The frames keep their proportions whenever the client area changes size.
bool CTavrelMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && isActiveWindow()) UpdateCommandStates();
    if (watched == mdiArea_->viewport() && event->type() == QEvent::Resize && mediator_) {
        mediator_->ArrangeWindows();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CTavrelMainFrame::closeEvent(QCloseEvent* event) {
    // Asked first: winding up shuts the 3D window and the gallery down.
    if (!MayReplaceProject() || (mediator_ && !mediator_->CanClose())) {
        event->ignore();
        return;
    }
    if (fileCommands_) fileCommands_->MarkCleanExit();
    event->accept();
}

void CTavrelMainFrame::ShowNotice(const QString& text, int timeoutMs) {
    statusBar()->showMessage(text, timeoutMs);
}

}  // namespace tavrel
