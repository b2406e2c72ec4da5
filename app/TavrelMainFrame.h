#pragma once
// The main window: a menu bar, toolbar and status bar built from the resource bundle around
// an MDI area that holds the three fixed child frames. Every command goes to the mediator.
#include <QMainWindow>
#include <QMap>

#include "app/MediatorFrameSeam.h"

class QAction;
class QMdiArea;
class QMenu;

namespace tavrel {

class CProjectFileCommands;
class CTavrelMediator;

class CTavrelMainFrame : public QMainWindow, public CMediatorFrameSeam {
    Q_OBJECT
public:
    static constexpr int kRecentFiles = 4;

    CTavrelMainFrame();
    ~CTavrelMainFrame() override;

    // Builds the menu and the toolbar from the bundle's menu.tsv and toolbar.tsv.
    void BuildCommands();
    // Places the window at (10, 10) with the screen's width - 20 and height - 95.
    void PlaceOnScreen();
    void SetMediator(CTavrelMediator* mediator) { mediator_ = mediator; }
    // Save, Save as, the exports and the autosave; the frame does not own it.
    void SetFileCommands(CProjectFileCommands* commands) { fileCommands_ = commands; }

    QMdiArea* MdiArea() const override { return mdiArea_; }
    CWindowLayout ClientLayout() const override;

    // Runs a command as a click on its menu item would.
    bool OnCommand(int id);
    QAction* Action(int id) const override { return actions_.value(id); }
    void ShowNotice(const QString& text, int timeoutMs) override;
    void InvertCheckMark(int id) override;
    // Enables each command's item and button as the mediator says.
    void UpdateCommandStates();

    void AddRecentFile(const QString& path) override;
    QStringList RecentFiles() const;
    QString Caption() const override { return windowTitle(); }
    void SetCaption(const QString& caption) override { setWindowTitle(caption); }
    QWidget* DialogParent() override { return this; }

    // Opens a file as the command line or the recent-file list names it; kept until the
    // mediator exists.
    void OpenDocumentByName(QString path);
    const QString& PendingFile() const { return pendingFile_; }

signals:
    void openRequested(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ActivateWindowOf(QWidget* previous, QWidget* focused);
    QAction* MakeAction(int id, int textId, const QString& shortcut, bool checkable);
    // A changed project is saved or given up as the user says; false keeps it.
    bool MayReplaceProject();
    void FillRecentMenu();

    QMdiArea* mdiArea_;
    CTavrelMediator* mediator_ = nullptr;
    CProjectFileCommands* fileCommands_ = nullptr;
    QMap<int, QAction*> actions_;
    QMenu* recentMenu_ = nullptr;
    QString pendingFile_;
};

}  // namespace tavrel
