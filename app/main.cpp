// tavrel: the editor. Usage: tavrel [FILE] [--screenshot PNG] [--first-frame-report]
//   FILE                  a project file to open once the editor stands
//   --screenshot PNG      after the first 3D frame, write a picture of the main window and end
//   --first-frame-report  after the first 3D frame, print the time since the process was
//                         started (its exec, before the loader) and the resident memory, and end
#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimer>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "RKWindow/ui/C3DWindowView.h"
#include "app/EditorWindows.h"
#include "app/ProjectFileCommands.h"
#include "app/TavrelApp.h"
#include "app/TavrelMainFrame.h"
#include "app/TavrelMediator.h"
#include "app/TimelineColleague.h"

namespace tavrel {
namespace {

constexpr int kFirstFrameTimeout = 20000;  // ms; a report or picture is made even without a frame

struct Options {
    QStringList files;
    QString screenshot;
    bool report = false;
};

Options ParseArguments(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--screenshot" && i + 1 < arguments.size()) {
            options.screenshot = arguments[++i];
        } else if (arguments[i] == "--first-frame-report") {
            options.report = true;
        } else {
            options.files << arguments[i];
        }
    }
    return options;
}

// A field of /proc/self/status in kilobytes ("VmRSS", "RssAnon", "RssFile"); -1 if absent.
long StatusKilobytes(const QByteArray& field) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ":")) {
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// Milliseconds since the kernel started this process, so that the loader's and the libraries'
// start-up count too; the kernel keeps the start in clock ticks (10 ms). -1 when unknown.
qint64 MillisecondsSinceExec() {
    QFile stat("/proc/self/stat");
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // The fields after the command name (which may hold spaces) start at field 3; the start
    // time is field 22.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    timespec now{};
    if (fields.size() < 20 || clock_gettime(CLOCK_BOOTTIME, &now) != 0) return -1;
    const qint64 startMs = fields[19].toLongLong() * 1000 / sysconf(_SC_CLK_TCK);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - startMs;
}

// What --screenshot and --first-frame-report do once the 3D window has drawn (or never will).
void AfterFirstFrame(CTavrelApp& app, const Options& options, qint64 elapsed) {
    if (options.report) {
        std::printf(
            "first 3D frame after %lld ms, resident memory %ld MB (%ld MB private, %ld MB of "
            "mapped files such as the GL driver)\n",
            static_cast<long long>(elapsed), StatusKilobytes("VmRSS") / 1024,
            StatusKilobytes("RssAnon") / 1024, StatusKilobytes("RssFile") / 1024);
    }
    if (!options.screenshot.isEmpty()) {
        QWidget* window = app.MainFrame();
        QPixmap picture = window->screen()->grabWindow(window->winId());
        if (picture.isNull()) picture = window->grab();
        if (!picture.save(options.screenshot)) {
            std::fprintf(stderr, "tavrel: cannot write %s\n", qPrintable(options.screenshot));
            QCoreApplication::exit(1);
            return;
        }
        std::printf("%s\n", qPrintable(options.screenshot));
    }
    std::fflush(stdout);
    QCoreApplication::quit();
}

}  // namespace
}  // namespace tavrel

using namespace tavrel;

int main(int argc, char** argv) {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
    QApplication application(argc, argv);
    const Options options = ParseArguments(application.arguments());

    CTavrelApp app;
    CStartOptions start;
    start.connectWindows = [&app](CTavrelMediator* mediator) {
        ConnectEditorWindows(mediator);
        ConnectFileCommands(app.FileCommands(), mediator);
    };
    switch (app.Start(options.files, start)) {
        case CTavrelApp::StartResult::Running:
            break;
        case CTavrelApp::StartResult::AnotherInstance:
            return 0;
        default:
            return 1;
    }
    if (options.report || !options.screenshot.isEmpty()) {
        C3DWindowView* view = app.Mediator()->Window3D()->View();
        bool done = false;
        auto finish = [&] {
            if (done) return;
            done = true;
            // One more turn of the event loop so that the frame is on screen, not only drawn.
            QTimer::singleShot(200, [&app, &options, elapsed = MillisecondsSinceExec()] {
                AfterFirstFrame(app, options, elapsed);
            });
        };
        if (view) QObject::connect(view, &C3DWindowView::frameDrawn, finish);
        QTimer::singleShot(view ? kFirstFrameTimeout : 500, finish);
    }
    return application.exec();
}
