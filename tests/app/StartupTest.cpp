#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "app/APSystemColleague.h"
#include "app/SingleInstance.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "base/DebugOutput.h"
#include "tests/app/ShellFakes.h"
#include "tests/support/TempFolder.h"
#include "uikit/UiText.h"

namespace tavrel::testing {
namespace {

bool NoWindowShown() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) return false;
    }
    return true;
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TAVREL_HOME", (home / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (home / "etc").c_str(), 1);
        options.programFolder = QString::fromStdString(home / "program");
        options.bundlePath = TAVREL_VESK_RCC;
        options.instanceName = QString::fromStdString(home / "instance");
        options.withGL = false;
        previous = ui::SetMessageSink([this](const Message& m) { messages.push_back(m); });
    }
    void TearDown() override { ui::SetMessageSink(previous); }

    TempFolder home;
    CStartOptions options;
    std::vector<Message> messages;
    ui::MessageSink previous;
};

TEST_F(StartupTest, BuildsTheShellInOrderAndOpensTheFileLast) {
    const std::string project = home.Write("dance.tvp", "x");
    CallLog log;
    FakeTimeline timeline(log);
    bool framesExistedAtOpen = false;
    options.connectWindows = [&](CTavrelMediator* mediator) {
        mediator->Timeline()->SetPanel(new QWidget, &timeline);
        EXPECT_TRUE(timeline.opened.empty());  // not yet: the file waits for the frames
    };
    DebugCapture debug;
    CTavrelApp app;
    ASSERT_EQ(app.Start({QString::fromStdString(project)}, options),
              CTavrelApp::StartResult::Running);
    framesExistedAtOpen = app.MainFrame()->MdiArea()->subWindowList().size() == 3;
    ASSERT_EQ(timeline.opened.size(), 1u);
    EXPECT_EQ(timeline.opened[0], project);
    EXPECT_TRUE(framesExistedAtOpen);
    EXPECT_TRUE(app.MainFrame()->PendingFile().isEmpty());

    const std::string& text = debug.Text();
    const auto system = text.find("CreateColleagues: CAPSystemColleague");
    const auto view = text.find("CreateColleagues: C3DWindowColleague");
    const auto gallery = text.find("CreateColleagues: CGalleryColleague");
    const auto timelineAt = text.find("CreateColleagues: CTimelineColleague");
    ASSERT_NE(timelineAt, std::string::npos) << text;
    EXPECT_LT(system, view);
    EXPECT_LT(view, gallery);
    EXPECT_LT(gallery, timelineAt);

    // The three data files are in the data folder, as the asset generator wrote them.
    for (const char* name : {"Init.chb", "avatar.scx", "AvatarFace.bmp"}) {
        EXPECT_EQ(ReadFile(home / "data/" + name),
                  ReadFile(std::string(TAVREL_SHARE_DIR) + "/" + name))
            << name;
    }
}

// An empty command line opens nothing; a second start restores the first's window and hands
// it its file.
TEST_F(StartupTest, ASecondStartRestoresTheMinimisedWindowAndPassesItsFile) {
    CallLog log;
    FakeTimeline timeline(log);
    options.connectWindows = [&](CTavrelMediator* m) {
        m->Timeline()->SetPanel(new QWidget, &timeline);
    };
    CTavrelApp app;
    ASSERT_EQ(app.Start({}, options), CTavrelApp::StartResult::Running);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(app.MainFrame()->windowTitle(), "Tavrel");
    app.MainFrame()->showMinimized();
    ASSERT_TRUE(app.MainFrame()->isMinimized());

    const std::string project = home.Write("second.tvp", "x");
    CTavrelApp second;
    EXPECT_EQ(second.Start({QString::fromStdString(project)}, options),
              CTavrelApp::StartResult::AnotherInstance);
    EXPECT_EQ(second.MainFrame(), nullptr);
    for (int i = 0; i < 200 && timeline.opened.empty(); ++i) QTest::qWait(25);
    EXPECT_FALSE(app.MainFrame()->isMinimized());
    ASSERT_EQ(timeline.opened.size(), 1u);
    EXPECT_EQ(timeline.opened[0], project);
}

// Stale data files are extracted again; a new user gets the sample library.
TEST_F(StartupTest, ExtractionReplacesStaleDataFilesAndANewUserGetsTheSamples) {
    home.Write("data/avatar.scx", "an old, broken avatar");
    home.Write("program/Motion/Dance/step.cha", "motion");
    CTavrelApp app;
    ASSERT_EQ(app.Start({}, options), CTavrelApp::StartResult::Running);
    EXPECT_EQ(ReadFile(home / "data/avatar.scx"),
              ReadFile(std::string(TAVREL_SHARE_DIR) + "/avatar.scx"));
    EXPECT_EQ(ReadFile(home / "data/Motion/Dance/step.cha"), "motion");
}

TEST_F(StartupTest, AMissingOrBrokenBundleEndsStartUpSilently) {
    for (const std::string& bundle :
         {home / "nowhere/Vesk.rcc", home.Write("broken.rcc", std::string(4096, '\x5a'))}) {
        options.bundlePath = QString::fromStdString(bundle);
        CTavrelApp app;
        EXPECT_EQ(app.Start({}, options), CTavrelApp::StartResult::NoBundle) << bundle;
        EXPECT_EQ(app.MainFrame(), nullptr);
        EXPECT_TRUE(NoWindowShown());
        EXPECT_TRUE(messages.empty());
    }
}

// Builds a bundle of the given files (alias -> content) with the resource compiler.
std::string MakeBundle(const TempFolder& folder, const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& files) {
    std::string qrc = "<RCC><qresource prefix=\"/\">";
    for (const auto& [alias, content] : files) {
        qrc += "<file alias=\"" + alias + "\">" + folder.Write(name + "/" + alias, content) +
               "</file>";
    }
    const std::string qrcPath = folder.Write(name + ".qrc", qrc + "</qresource></RCC>");
    const std::string out = folder / (name + ".rcc");
    QProcess rcc;
    rcc.start(TAVREL_RCC,
              {"--binary", "-o", QString::fromStdString(out), QString::fromStdString(qrcPath)});
    EXPECT_TRUE(rcc.waitForFinished(30000));
    EXPECT_EQ(rcc.exitCode(), 0);
    return out;
}

TEST_F(StartupTest, ABundleWithoutItsDataFilesOrWithBadNamesIsRefused) {
    const std::string strings =
        "126\tTavrel\n61364\tInit.chb\n61365\tavatar.scx\n"
        "61366\tface.bmp\n";
    options.bundlePath =
        QString::fromStdString(MakeBundle(home, "nodata", {{"strings.tsv", strings}}));
    {
        CTavrelApp app;
        EXPECT_EQ(app.Start({}, options), CTavrelApp::StartResult::NoBundle);
        EXPECT_TRUE(NoWindowShown());
    }
    // Names that would write outside the data folder.
    const std::string escaping = "61364\t../escaped.chb\n61365\tavatar.scx\n61366\tface.bmp\n";
    options.bundlePath = QString::fromStdString(MakeBundle(home, "escaping",
                                                           {{"strings.tsv", escaping},
                                                            {"binary/353", "a"},
                                                            {"binary/354", "b"},
                                                            {"binary/356", "c"}}));
    {
        CTavrelApp app;
        EXPECT_EQ(app.Start({}, options), CTavrelApp::StartResult::NoBundle);
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(home / "escaped.chb")));
    EXPECT_TRUE(messages.empty());
}

TEST_F(StartupTest, AnUnwritableDataFolderIsReported) {
    home.Write("data", "a file where the folder should be");
    CTavrelApp app;
    EXPECT_EQ(app.Start({}, options), CTavrelApp::StartResult::NoDataFolder);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 62261);
    EXPECT_TRUE(NoWindowShown());
}

TEST(SingleInstanceTest, ASecondStartHandsItsFileToTheFirst) {
    TempFolder folder;
    const QString name = QString::fromStdString(folder / "socket");
    CSingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    QSignalSpy raised(&first, &CSingleInstance::raiseRequested);
    QSignalSpy opened(&first, &CSingleInstance::openRequested);
    CSingleInstance second(name);
    EXPECT_FALSE(second.Acquire("/home/someone/dance.tvp"));
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_EQ(opened.first().first().toString(), "/home/someone/dance.tvp");
    EXPECT_EQ(raised.size(), 1);

    CSingleInstance third(name);
    EXPECT_FALSE(third.Acquire());
    ASSERT_TRUE(raised.wait(5000));
    EXPECT_EQ(opened.size(), 1);  // raised only
}

// A hand-over that asks something (a box of its own) is handled to its end before the next
// one starts, and none starts under a box or a menu that is open already: the box's event loop
// turning inside the hand-over, with the requester's close and a later start arriving there,
// must neither nest a second hand-over nor break the first.
TEST(SingleInstanceTest, HandOversComeOneAtATimeAndWaitForAnOpenBox) {
    TempFolder folder;
    const QString name = QString::fromStdString(folder / "socket");
    CSingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    auto handOver = [&name](const QString& file) {
        CSingleInstance later(name);
        EXPECT_FALSE(later.Acquire(file));
    };
    QStringList opened;
    int depth = 0, deepest = 0;
    QObject::connect(&first, &CSingleInstance::openRequested, [&](const QString& file) {
        deepest = std::max(deepest, ++depth);
        opened << file;
        if (file == "/a.tvp") {  // asks, as a changed project does; a second start meanwhile
            QMessageBox box(QMessageBox::Question, "Tavrel", "Save changes?",
                            QMessageBox::Discard | QMessageBox::Cancel);
            QTimer::singleShot(0, [&] { handOver("/b.tvp"); });
            QTimer::singleShot(300, &box, [&box] { box.button(QMessageBox::Discard)->click(); });
            box.exec();
        }
        --depth;
    });
    handOver("/a.tvp");
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() == 2; }, 5000))
        << opened.join(' ').toStdString();
    EXPECT_EQ(opened.join(" ").toStdString(), "/a.tvp /b.tvp");
    EXPECT_EQ(deepest, 1) << "a hand-over ran inside another";

    // A box the user has open (not the hand-over's) holds the next hand-over back until it closes.
    QMessageBox open(QMessageBox::Information, "Tavrel", "A box of the user's", QMessageBox::Ok);
    bool handedUnderTheBox = false;
    QTimer::singleShot(0, [&] {
        handOver("/c.tvp");
        QTest::qWait(300);
        handedUnderTheBox = opened.size() > 2;
        open.button(QMessageBox::Ok)->click();
    });
    open.exec();
    EXPECT_FALSE(handedUnderTheBox);
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.size() == 3; }, 5000));
    EXPECT_EQ(opened.last().toStdString(), "/c.tvp");
}

// Only its user reaches the running instance, and a request is its first line: a requester
// that ends before a line, or sends more than a request holds, is let go unheard.
TEST(SingleInstanceTest, OnlyItsUserAsksAndOnlyAWholeLineCounts) {
    TempFolder folder;
    const QString name = QString::fromStdString(folder / "socket");
    auto first = std::make_unique<CSingleInstance>(name);
    ASSERT_TRUE(first->Acquire());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(name).constData(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    QSignalSpy raised(first.get(), &CSingleInstance::raiseRequested);
    QSignalSpy opened(first.get(), &CSingleInstance::openRequested);
    const QByteArray requests[] = {"", QByteArray(70 * 1024, 'x'), "open\t/cut/short.tvp",
                                   "open\t/a b/\xc3\xa9.tvp\nopen\t/second.tvp\n"};
    for (const QByteArray& request : requests) {
        QLocalSocket socket;
        socket.connectToServer(name);
        ASSERT_TRUE(socket.waitForConnected(5000));
        socket.write(request);
        socket.waitForBytesWritten(5000);
        socket.disconnectFromServer();
    }
    ASSERT_TRUE(opened.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(raised.size(), 1);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().first().toString(), QString::fromUtf8("/a b/\xc3\xa9.tvp"));
    first.reset();  // gone, it leaves no socket behind
    EXPECT_FALSE(QFile::exists(name));
}

// Starts at the same moment, each on its own thread: whatever the timing, exactly one of them
// runs, and every other one reaches it instead of taking its name away.
TEST(SingleInstanceTest, OfStartsRacingEachOtherExactlyOneRuns) {
    constexpr int kStarts = 6;
    for (int round = 0; round < 15; ++round) {
        TempFolder folder;
        const QString name = QString::fromStdString(folder / "socket");
        std::atomic<int> waiting{kStarts}, done{0}, running{0};
        std::vector<std::unique_ptr<QThread>> starts;
        for (int i = 0; i < kStarts; ++i) {
            starts.emplace_back(QThread::create([&] {
                CSingleInstance instance(name);
                for (--waiting; waiting > 0;) QThread::yieldCurrentThread();
                if (instance.Acquire()) ++running;
                // The one that runs keeps listening until every other start is through.
                for (++done; done < kStarts;) QThread::msleep(1);
            }));
            starts.back()->start();
        }
        for (auto& start : starts) ASSERT_TRUE(start->wait(30000));
        ASSERT_EQ(running, 1) << "round " << round;
    }
}

// The program itself, killed without a chance to clean up, must not lock its user out.
TEST(SingleInstanceTest, AStartAfterTheFirstWasKilledRuns) {
    TempFolder folder;
    const QString runtime = QString::fromStdString(folder / "run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("TAVREL_HOME", QString::fromStdString(folder / "data"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder / "config"));
    env.remove("DISPLAY");
    auto start = [&](const QStringList& arguments = {}) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(TAVREL_EDITOR, arguments);
        EXPECT_TRUE(process->waitForStarted(10000));
        return process;
    };
    // Waits until the running instance answers on its socket.
    auto listening = [&] {
        const QDir dir(runtime);
        for (int attempt = 0; attempt < 200; ++attempt) {
            for (const QString& entry : dir.entryList({"tavrel-*"}, QDir::System)) {
                QLocalSocket probe;
                probe.connectToServer(dir.filePath(entry));
                if (probe.waitForConnected(100)) return true;
            }
            QTest::qWait(50);
        }
        return false;
    };

    auto first = start();
    ASSERT_TRUE(listening());
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    first->waitForFinished(10000);
    EXPECT_FALSE(QDir(runtime).entryList({"tavrel-*"}, QDir::System).isEmpty());  // left behind

    auto second = start();
    ASSERT_TRUE(listening());
    // The new instance is the one a third start finds: it ends at once, successfully.
    auto third = start();
    ASSERT_TRUE(third->waitForFinished(15000));
    EXPECT_EQ(third->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_EQ(second->state(), QProcess::Running);
    second->terminate();
    if (!second->waitForFinished(10000)) second->kill();
}

// Without a runtime folder of the user's own (none, or one open to others) the socket goes into
// the user's private temporary folder; when another user holds that name in the shared
// temporary folder, into the user's own folder under their home: never a name that another user
// could have made or can take.
TEST(SingleInstanceTest, TheSocketLiesOnlyInAFolderOfTheUsersAlone) {
    TempFolder folder;
    const ScopedEnv data("TAVREL_HOME", (folder / "data").c_str());
    const ScopedEnv temporary("TMPDIR", (folder / "tmp").c_str());
    const std::string shared = folder / ("tmp/tavrel-" + std::to_string(::getuid()));
    const std::string home = folder / "data/cache/tmp";
    ASSERT_EQ(::mkdir((folder / "tmp").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir((folder / "run").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((folder / "open").c_str(), 0777), 0);
    ASSERT_EQ(::chmod((folder / "open").c_str(), 0777), 0);
    auto folderOf = [](const char* runtime) {
        const ScopedEnv set("XDG_RUNTIME_DIR", runtime);
        return QFileInfo(CSingleInstance::DefaultName()).path().toStdString();
    };
    EXPECT_EQ(folderOf((folder / "run").c_str()), folder / "run");
    EXPECT_EQ(folderOf((folder / "open").c_str()), shared);
    EXPECT_EQ(folderOf(nullptr), shared);
    // The user's name in the shared folder, taken: by another user, or left open to others.
    ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
    EXPECT_EQ(folderOf(nullptr), home);
    if (::chmod(shared.c_str(), 0700) == 0 && ::chown(shared.c_str(), 65534, 65534) == 0) {
        EXPECT_EQ(folderOf((folder / "open").c_str()), home);
    }
    struct stat info {};
    ASSERT_EQ(::stat(home.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
    // A bare name (no folder) is never listened on where others write.
    CSingleInstance bare("tavrel-bare");
    EXPECT_TRUE(bare.Acquire());
    EXPECT_FALSE(QFile::exists(QDir(QDir::tempPath()).filePath("tavrel-bare")));
}

// The editor as separate processes of one user over folders of a test's own: each start may
// name its own data folder (TAVREL_HOME); the temporary and runtime folders are shared.
class EditorProcesses {
public:
    EditorProcesses() {
        runtime_ = QString::fromStdString(folder_ / "run");
        QDir().mkpath(runtime_);
        QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(QString::fromStdString(folder_ / "tmp"));
    }
    ~EditorProcesses() {
        for (auto& process : started_) {
            process->terminate();
            if (!process->waitForFinished(10000)) process->kill();
        }
    }
    std::string Temporary() const { return folder_ / "tmp"; }
    // An editor over the data folder data (under the test's folder).
    QProcess* Start(const std::string& data) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime_);
        env.insert("TMPDIR", QString::fromStdString(Temporary()));
        env.insert("TAVREL_HOME", QString::fromStdString(folder_ / data));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(folder_ / "config"));
        env.remove("DISPLAY");
        started_.push_back(std::make_unique<QProcess>());
        started_.back()->setProcessEnvironment(env);
        started_.back()->start(TAVREL_EDITOR, QStringList());
        EXPECT_TRUE(started_.back()->waitForStarted(10000));
        return started_.back().get();
    }
    // Waits until the editor over data has started whole: its event loop reads a request (a
    // bare raise) and lets the requester go.
    bool Running(const std::string& data) const {
        const QByteArray folder = QFile::encodeName(QString::fromStdString(folder_ / data));
        const QString hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex();
        const QString socketPath = QDir(runtime_).filePath("tavrel-" + hash.left(12));
        for (int attempt = 0; attempt < 300; ++attempt) {
            QLocalSocket socket;
            socket.connectToServer(socketPath);
            if (socket.waitForConnected(100)) {
                socket.write("raise\n");
                socket.waitForBytesWritten(5000);
                return socket.waitForDisconnected(15000);
            }
            QTest::qWait(50);
        }
        return false;
    }

private:
    TempFolder folder_;
    QString runtime_;
    std::vector<std::unique_ptr<QProcess>> started_;
};

// Two data folders of one user make two running editors: the second must not take (and empty)
// the working folder that holds the first one's clips.
TEST(SingleInstanceTest, TwoEditorsOfOneUserKeepTheirOwnWorkingFolders) {
    EditorProcesses editors;
    QProcess* first = editors.Start("one");
    ASSERT_TRUE(editors.Running("one"));
    const std::filesystem::path clips = std::filesystem::path(editors.Temporary()) /
                                        ("tavrel-" + std::to_string(::getuid())) / "Tavrel/Clips";
    ASSERT_TRUE(std::filesystem::is_directory(clips));
    const std::filesystem::path clip = clips / "walk.chb";  // a clip of the first one's timeline
    std::ofstream(clip) << "frames 5\n";
    QProcess* second = editors.Start("two");
    ASSERT_TRUE(editors.Running("two"));
    EXPECT_TRUE(std::filesystem::exists(clip)) << "the second editor emptied the first one's clips";
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(second->state(), QProcess::Running);
}

class SystemColleagueTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TAVREL_HOME", (home / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        previous = ui::SetMessageSink([this](const Message& m) { messages.push_back(m); });
    }
    void TearDown() override { ui::SetMessageSink(previous); }
    void SetFeed(const std::string& location) {
        home.Write("config/Corvane/Tavrel.conf", "[1.0]\nUpdateFeed=" + location + "\n");
    }

    TempFolder home;
    std::vector<Message> messages;
    ui::MessageSink previous;
};

TEST_F(SystemColleagueTest, FoldersLiveInTheSettingsFile) {
    CAPSystemColleague system(nullptr, home / "program");
    EXPECT_EQ(system.GetMotionDirectory(), "");
    EXPECT_EQ(system.GetPoseDirectory(), "");
    system.SetMotionDirectory("/lib/motions");
    system.SetPoseDirectory("/lib/poses");
    system.SetProjectDirectory("/work/projects");
    CAPSystemColleague again(nullptr, home / "program");
    EXPECT_EQ(again.GetMotionDirectory(), "/lib/motions");
    EXPECT_EQ(again.GetPoseDirectory(), "/lib/poses");
    EXPECT_EQ(again.ProgramFolder(), home / "program/");
}

TEST_F(SystemColleagueTest, TheUpdateCheckSaysWhatItFound) {
    CAPSystemColleague system(nullptr, home / "program");
    {
        DebugCapture debug;
        EXPECT_FALSE(system.ShowUpdate(nullptr));
        EXPECT_TRUE(debug.Contains("CAPSystemColleague::ShowUpdate() Error!\n"));
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.back().id, 62262);
    EXPECT_NE(
        ui::MessageText(messages.back()).toStdString().find(home / "config/Corvane/Tavrel.conf"),
        std::string::npos);

    SetFeed(home.Write("feed.txt", "version=99.0\nurl=https://example.org/tavrel\n"));
    EXPECT_TRUE(system.ShowUpdate(nullptr));
    EXPECT_EQ(messages.back().id, 62265);
    EXPECT_TRUE(ui::MessageText(messages.back()).contains("99.0"));

    SetFeed(home.Write("feed.txt", "version=0.0.1\n"));
    EXPECT_TRUE(system.ShowUpdate(nullptr));
    EXPECT_EQ(messages.back().id, 62264);

    SetFeed("https://example.org/feed");
    EXPECT_FALSE(system.ShowUpdate(nullptr));
    EXPECT_EQ(messages.back().id, 62263);
}

}  // namespace
}  // namespace tavrel::testing
