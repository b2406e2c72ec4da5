// The whole editor, as main() assembles it, under random input for a while: it must neither
// crash (AddressSanitizer reports any memory fault in `make monkey`) nor let its window thread
// stand still for more than 2 s. TAVREL_MONKEY_SEED picks the run (printed, to replay it),
// TAVREL_MONKEY_SECONDS its length.
#include <gtest/gtest.h>

#include <QAction>
#include <QDesktopServices>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/APSystemColleague.h"
#include "app/EditorWindows.h"
#include "app/ProjectFileCommands.h"
#include "app/SingleInstance.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "browse/ThumbnailCtrl.h"
#include "tests/monkey/EditorMonkey.h"
#include "tests/monkey/StallWatchdog.h"
#include "tests/support/TempFolder.h"

using namespace tavrel;

namespace {

using tavrel::testing::TempFolder;

long Setting(const char* name, long fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtol(value, nullptr, 10) : fallback;
}

// Links and documents would start other programs: they are taken here instead.
class UrlSink : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl&) {}
};

// The window system's plugin says this at every resize of a frame: it would bury the report.
void QuietResizeNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains("propagateSizeHints"))
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// Commands that leave the editor or start other programs are not the monkey's to give.
void HideCommandsThatLeave(CTavrelMainFrame& frame) {
    for (int id : {command::kExit, command::kHelp, command::kDocument1, command::kDocument2,
                   command::kDocument3, command::kUpdateCheck}) {
        if (QAction* action = frame.Action(id)) action->setVisible(false);
    }
}

// Files a second start hands to the running editor: a project, the same project with its clip
// gone (a box says so), a damaged project, a motion file, and a file that is not there.
std::vector<std::filesystem::path> FilesToHandOver(const TempFolder& home) {
    const std::string walk = std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha";
    const std::string project =
        "D,Monkey\n1\nM,0,29,0,0,0,0,walk.cha,0,29,0,0,0,*\n0\nS,none\nI,0\n";
    home.Write("projects/walk.cha", "");
    std::filesystem::copy_file(walk, home / "projects/walk.cha",
                               std::filesystem::copy_options::overwrite_existing);
    return {home.Write("projects/dance.tvp", project),
            home.Write("projects/gone/dance.tvp", project),
            home.Write("projects/damaged.tvp", "D,Monkey\n7\nM,zz\n\x01\x02"),
            home / "projects/walk.cha", home / "projects/missing.tvp"};
}

TEST(Monkey, RandomInputNeitherBreaksTheEditorNorStallsItsWindowThread) {
    const auto seed = static_cast<std::uint32_t>(Setting("TAVREL_MONKEY_SEED", 1));
    const long seconds = Setting("TAVREL_MONKEY_SECONDS", 10);
    const std::string replay = "Replay: make monkey SEED=" + std::to_string(seed) +
                               " MONKEY_SECONDS=" + std::to_string(seconds);
    std::printf("monkey: seed %u, %ld s (%s)\n", seed, seconds, replay.c_str());

    TempFolder home;
    ::setenv("TAVREL_HOME", (home / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    std::filesystem::create_directories(home / "tmp");
    ::setenv("TMPDIR", (home / "tmp").c_str(), 1);  // the working folder
    qInstallMessageHandler(QuietResizeNotes);
    UrlSink urls;
    for (const char* scheme : {"file", "http", "https", "mailto"})
        QDesktopServices::setUrlHandler(scheme, &urls, "open");

    CTavrelApp app;
    CStartOptions start;
    start.bundlePath = TAVREL_VESK_RCC;
    start.programFolder = TAVREL_SHARE_DIR;
    start.instanceName = QString::fromStdString(home / "instance");
    start.connectWindows = [&app](CTavrelMediator* mediator) {
        ConnectEditorWindows(mediator);
        if (app.FileCommands()) app.FileCommands()->SetTimeline(mediator->Timeline()->Operations());
    };
    ASSERT_EQ(app.Start({}, start), CTavrelApp::StartResult::Running);
    app.Mediator()->System()->SetUrlOpener([](const QUrl&) { return true; });
    HideCommandsThatLeave(*app.MainFrame());

    CEditorMonkey::Options options;
    options.seed = seed;
    options.duration = std::chrono::seconds(seconds);
    options.library = home / "data/Motion";
    options.sampleMotion = std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha";
    options.shownFolder = [frame = app.MainFrame()]() -> std::filesystem::path {
        auto* thumbnails = frame->findChild<tavrel::CThumbnailCtrl*>();
        return thumbnails ? thumbnails->CurrentFolder().toStdString() : std::string();
    };
    options.handedFiles = FilesToHandOver(home);
    options.handOver = [name = start.instanceName](const std::filesystem::path& file) {
        CSingleInstance second(name);
        second.Acquire(QString::fromStdString(file.string()));
    };
    ASSERT_TRUE(std::filesystem::is_directory(options.library));
    CEditorMonkey monkey(app.MainFrame(), options);
    CStallWatchdog watchdog(std::chrono::seconds(2), replay);
    const int actions = monkey.Run();

    std::printf("monkey: %d actions, longest pause of the window thread %lld ms\n", actions,
                static_cast<long long>(watchdog.LongestPause().count()));
    for (const char* scheme : {"file", "http", "https", "mailto"})
        QDesktopServices::unsetUrlHandler(scheme);
    for (const auto& [kind, count] : monkey.Counts())
        std::printf("  %-24s %d\n", kind.c_str(), count);
    EXPECT_GT(monkey.Counts().count("click"), 0u) << replay;
    EXPECT_TRUE(app.MainFrame()->isVisible()) << replay;
    EXPECT_TRUE(app.Mediator()->IsCreated()) << replay;
}

}  // namespace

// Not static: the stall report can name it only when the symbol is exported.
void HoldTheWindowThread(std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
}

TEST(StallWatchdog, AWindowThreadThatStandsStillEndsTheRunWithItsStack) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            CStallWatchdog watchdog(std::chrono::milliseconds(200), "replay note");
            HoldTheWindowThread(std::chrono::seconds(5));
        },
        ::testing::ExitedWithCode(3),
        "has not turned for [0-9]+ ms. replay note(.|\n)*stack(.|\n)*HoldTheWindowThread");
    // A loop that turns is left alone.
    CStallWatchdog watchdog(std::chrono::milliseconds(200), "");
    QEventLoop loop;
    QTimer::singleShot(600, &loop, &QEventLoop::quit);
    loop.exec();
}

#include "MonkeyTest.moc"
