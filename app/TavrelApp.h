#pragma once
// The application: the start-up sequence that ends with the main window standing with its
// three fixed child frames, and the end of the program.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/ResourceBundle.h"

namespace tavrel {

class CProjectFileCommands;
class CSingleInstance;
class CTavrelMainFrame;
class CTavrelMediator;

struct CStartOptions {
    QString bundlePath;     // Vesk.rcc; empty: share/tavrel/Vesk.rcc beside the program
    QString programFolder;  // share/tavrel; empty: beside the program
    QString instanceName;   // the single-instance socket; empty: the user's default
    bool withGL = true;
    // Called once the mediator and its three frames exist, before a file named on the command
    // line is opened: where the gallery, the timeline and the 3D window's tools are set on
    // their colleagues.
    std::function<void(CTavrelMediator*)> connectWindows;
};

class CTavrelApp : public QObject {
    Q_OBJECT
public:
    enum class StartResult {
        Running,
        AnotherInstance,
        DisplayRefused,
        NoBundle,
        NoDataFolder,
        NoMediator
    };

    CTavrelApp();
    ~CTavrelApp() override;

    // Runs start-up; arguments are the command line without the program name: at most one
    // file name is used.
    StartResult Start(const QStringList& arguments, const CStartOptions& options = {});

    CTavrelMainFrame* MainFrame() const { return mainFrame_.get(); }
    CTavrelMediator* Mediator() const { return mediator_.get(); }
    // The File menu's save and export commands (owned by the main frame); made before
    // connectWindows runs, so that it can give them the timeline.
    CProjectFileCommands* FileCommands() const { return fileCommands_; }

    // share/tavrel beside bin/ of the running program.
    static QString DefaultProgramFolder();
    // Gives a user without a settings file (Tavrel.ini) the one that comes with the program;
    // an existing file is the user's own and stays as it is. True when the user has one.
    static bool CopySettingsFile(const QString& programFolder, const QString& dataFolder);

private:
    void BringToFront();
    void FillMotionLibrary(const QString& programFolder);

    CResourceBundle bundle_;
    std::unique_ptr<CSingleInstance> instance_;
    std::unique_ptr<CTavrelMainFrame> mainFrame_;
    std::unique_ptr<CTavrelMediator> mediator_;
    CProjectFileCommands* fileCommands_ = nullptr;
};

}  // namespace tavrel
