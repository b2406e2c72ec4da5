#include "app/TavrelApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <filesystem>

#include "app/DisplayCheck.h"
#include "app/ProjectFileCommands.h"
#include "app/SingleInstance.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "base/DebugOutput.h"
#include "settings/SystemSettings.h"
#include "settings/UserDataFolder.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr int kDisplayRefused = 61257;
constexpr int kDataFolderUnwritable = 62261;

}  // namespace

CTavrelApp::CTavrelApp() = default;

// The mediator (and with it the colleagues and frames) goes before the main window, the
// bundle after both.
CTavrelApp::~CTavrelApp() {
    mediator_.reset();
    mainFrame_.reset();
    instance_.reset();
    bundle_.Unload();
}

QString CTavrelApp::DefaultProgramFolder() {
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath("../share/tavrel");
}

CTavrelApp::StartResult CTavrelApp::Start(const QStringList& arguments,
                                          const CStartOptions& options) {
    QCoreApplication::setApplicationName("Tavrel");
    QCoreApplication::setOrganizationName("Corvane");
    const QString file = arguments.isEmpty() ? QString() : arguments.first();
    const QString absoluteFile = file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();

    instance_ = std::make_unique<CSingleInstance>(
        options.instanceName.isEmpty() ? CSingleInstance::DefaultName() : options.instanceName);
    if (!instance_->Acquire(absoluteFile)) return StartResult::AnotherInstance;

    const QString programFolder =
        options.programFolder.isEmpty() ? DefaultProgramFolder() : options.programFolder;
    const QString bundlePath = options.bundlePath.isEmpty()
                                   ? QDir(programFolder).filePath("Vesk.rcc")
                                   : options.bundlePath;
    if (!CheckDisplay()) {
        bundle_.Load(bundlePath);
        ui::ShowMessage(nullptr, MakeMessage(kDisplayRefused));
        return StartResult::DisplayRefused;
    }
    // Without the bundle there are no texts to say anything with.
    if (!bundle_.Load(bundlePath)) return StartResult::NoBundle;

    const QString dataFolder = QString::fromStdString(UserDataFolder());
    switch (CResourceBundle::ExtractBinaryResources(dataFolder)) {
        case CResourceBundle::Extraction::Written:
            break;
        case CResourceBundle::Extraction::BundleIncomplete:  // a broken bundle: as if missing
            bundle_.Unload();
            return StartResult::NoBundle;
        case CResourceBundle::Extraction::FolderNotWritable:
            ui::ShowMessage(nullptr, MakeMessage(kDataFolderUnwritable,
                                                 {{"%DataFolder", dataFolder.toStdString()}}));
            bundle_.Unload();
            return StartResult::NoDataFolder;
    }
    FillMotionLibrary(programFolder);
    CopySettingsFile(programFolder, dataFolder);
    QGuiApplication::setWindowIcon(QIcon(":/icons/126.png"));

    mainFrame_ = std::make_unique<CTavrelMainFrame>();
    mainFrame_->BuildCommands();
    mainFrame_->PlaceOnScreen();
    if (!absoluteFile.isEmpty()) mainFrame_->OpenDocumentByName(absoluteFile);  // kept for now

    mainFrame_->show();
    CShellOptions shell{dataFolder.toStdString(), programFolder.toStdString(), options.withGL};
    mediator_ = std::make_unique<CTavrelMediator>(mainFrame_.get(), shell);
    if (!mediator_->IsCreated()) {
        mainFrame_->showMinimized();
        ui::ShowMessage(mainFrame_.get(), MakeMessage(kDisplayRefused));
        mediator_.reset();
        return StartResult::NoMediator;
    }
    mainFrame_->SetMediator(mediator_.get());
    fileCommands_ = new CProjectFileCommands(mainFrame_.get(), dataFolder.toStdString());
    fileCommands_->saved = [frame = mainFrame_.get(), mediator = mediator_.get()](const QString& path) {
        frame->AddRecentFile(path);
        mediator->SetProjectTitle(path.toStdString());
    };
    mainFrame_->SetFileCommands(fileCommands_);
    mediator_->ArrangeWindows();
    if (options.connectWindows) options.connectWindows(mediator_.get());
    // Work left by a crash is offered back once the window stands.
    // It is in no file of the user's yet: the title names none.
    QTimer::singleShot(0, fileCommands_, [commands = fileCommands_, mediator = mediator_.get()] {
        if (commands->OfferRestore()) mediator->SetProjectTitle({});
    });

    connect(instance_.get(), &CSingleInstance::raiseRequested, this, &CTavrelApp::BringToFront);
    connect(instance_.get(), &CSingleInstance::openRequested, mainFrame_.get(),
            &CTavrelMainFrame::OpenDocumentByName);
    for (QScreen* screen : QGuiApplication::screens()) {
        connect(screen, &QScreen::geometryChanged, this,
                [this] { mediator_->DisplayChanged(CheckDisplay()); });
    }

    if (!mainFrame_->PendingFile().isEmpty())
        mainFrame_->OpenDocumentByName(mainFrame_->PendingFile());
    return StartResult::Running;
}

void CTavrelApp::BringToFront() {
    if (!mainFrame_) return;
    if (mainFrame_->isMinimized()) mainFrame_->showNormal();
    mainFrame_->raise();
    mainFrame_->activateWindow();
}

bool CTavrelApp::CopySettingsFile(const QString& programFolder, const QString& dataFolder) {
    const QString name = "Tavrel.ini";
    const QString target = QDir(dataFolder).filePath(name);
    if (QFileInfo::exists(target)) return true;
    if (QFile::copy(QDir(programFolder).filePath(name), target)) {
        // The shipped file may be read-only; the user's copy is theirs to change.
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
        return true;
    }
    DebugOutput("CTavrelApp: no settings file copied into " + dataFolder.toStdString() + "\n");
    return false;
}

// A new user gets the sample library as their motion library, so motions show at once.
void CTavrelApp::FillMotionLibrary(const QString& programFolder) {
    const CSystemSettings settings;
    if (!GetMotionFolder(settings, ui::Lookup()).empty()) return;  // configured
    const std::string library = GetMotionLibraryFolder(settings, ui::Lookup());
    const std::filesystem::path sample = QDir(programFolder).filePath("Motion").toStdString();
    std::error_code error;
    if (library.empty() || std::filesystem::exists(library, error) ||
        !std::filesystem::is_directory(sample, error))
        return;
    std::filesystem::copy(sample, library, std::filesystem::copy_options::recursive, error);
    if (error)
        DebugOutput("CTavrelApp: the sample library was not copied: " + error.message() + "\n");
}

}  // namespace tavrel
