// render-video: a project's timeline encoded as a video file with its sound, drawn headless.
#include <csignal>
#include <filesystem>

#include "RKWindow/TimelineVideo.h"
#include "ZU2/rkEglHost.h"
#include "cli/Commands.h"
#include "cli/DataFolder.h"
#include "cli/OpenedProject.h"
#include "cli/OptionParsing.h"

namespace tavrel::cli {
namespace {

struct VideoOptions {
    std::string project;
    VideoExport job;
    bool hasFrom = false, hasTo = false;
};

std::string ParseVideoOptions(const Args& args, VideoOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" && hasValue) {
            o->job.out = args[++i];
        } else if (a == "--size" && hasValue) {
            if (!ParseSize(args[++i], &o->job.width, &o->job.height) || o->job.width % 2 ||
                o->job.height % 2)
                return "--size expects WxH, each even and 2 to 8192";
        } else if (a == "--camera" && hasValue) {
            if (!ParseCamera(args[++i], &o->job.camera))
                return "--camera expects front, back, left, right, up or down";
        } else if ((a == "--from" || a == "--to") && hasValue) {
            int* frame = a == "--from" ? &o->job.from : &o->job.to;
            if (!ParseNumber(args[++i], frame) || *frame < 0)
                return a + " expects a frame number (0 or more)";
            (a == "--from" ? o->hasFrom : o->hasTo) = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else if (o->project.empty()) {
            o->project = a;
        } else {
            return "expects one project file";
        }
    }
    if (o->project.empty()) return "expects a project file";
    if (o->job.out.empty()) return "expects -o OUT.mp4";
    if (o->hasFrom && o->hasTo && o->job.from > o->job.to) return "--from lies after --to";
    return {};
}

// Ctrl+C or a termination request ends the export between frames, so that its temporary
// file is removed instead of left behind.
volatile std::sig_atomic_t gStop = 0;
void RequestStop(int) {
    gStop = 1;
}

class StopOnSignals {
public:
    StopOnSignals() {
        gStop = 0;
        oldInt_ = std::signal(SIGINT, RequestStop);
        oldTerm_ = std::signal(SIGTERM, RequestStop);
    }
    ~StopOnSignals() {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGTERM, oldTerm_);
    }

private:
    void (*oldInt_)(int);
    void (*oldTerm_)(int);
};

}  // namespace

int RunRenderVideoCommand(const Args& args, std::ostream& out, std::ostream& err) {
    VideoOptions o;
    const std::string problem = ParseVideoOptions(args, &o);
    if (!problem.empty()) {
        err << "tavrel-cli render-video: " << problem << " (see tavrel-cli render-video --help)\n";
        return kExitUsage;
    }
    OpenedProject project;
    if (!OpenOrReport(project, o.project, err)) return kExitFailed;
    rkEglHost host;
    if (!host.Create(o.job.width, o.job.height)) {
        err << "error: no OpenGL context could be made (EGL surfaceless)\n";
        return kExitFailed;
    }
    const std::string data = DataFolder();
    CRKWindow window(project.Manager(), data);
    if (!window.Initialise(&host, o.job.width, o.job.height)) {
        err << "error: the render device cannot be created at " << o.job.width << 'x'
            << o.job.height << '\n';
        return kExitFailed;
    }
    if (!window.System().Avatar()) err << "warning: no avatar in " << data << '\n';
    StopOnSignals stopOnSignals;
    int shown = -1;
    const VideoOutcome outcome =
        RenderTimelineVideo(window, project.Model().Project(), o.job, [&](int done, int total) {
            // One line, rewritten about twice a second of video.
            if (done == total || done / 30 != shown) {
                shown = done / 30;
                err << "\rrendering frame " << done << " of " << total << " ("
                    << (100 * done / total) << "%)" << (done == total ? "\n" : "") << std::flush;
            }
            return gStop == 0;
        });
    if (outcome.cancelled) {
        err << "\nstopped: nothing was written\n";
        return kExitFailed;
    }
    if (!outcome.ok) {
        err << "error: " << outcome.error << '\n';
        return kExitFailed;
    }
    if (!outcome.warning.empty()) err << "warning: " << outcome.warning << '\n';
    out << "wrote " << o.job.out << " (" << outcome.frames << " frames at 60 fps, " << o.job.width
        << 'x' << o.job.height << ", " << outcome.codec
        << (outcome.sound ? ", with sound" : ", no sound") << ")\n";
    return kExitOk;
}

}  // namespace tavrel::cli
