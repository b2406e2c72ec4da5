// render: the world with the avatar posed at one frame of a motion file, or showing one frame
// of a project's timeline as the editor shows it, drawn headless and written as a PNG picture.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "RKWindow/RKSystem.h"
#include "RKWindow/RKWindow.h"
#include "ZU2/rkEglHost.h"
#include "cli/Commands.h"
#include "cli/DataFolder.h"
#include "cli/OpenedProject.h"
#include "cli/OptionParsing.h"
#include "cli/PngWriter.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

struct RenderOptions {
    std::string file;
    std::string out;
    bool hasFrame = false;
    int frame = 0;
    int camera = RKViewport::Front;
    int width = 400;
    int height = 400;
    float scale = 1.0f;
};

// Fills the options; an empty result means they were fine, otherwise it says what is wrong.
std::string ParseOptions(const Args& args, RenderOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--frame" && hasValue) {
            if (!ParseNumber(args[++i], &o->frame)) return "--frame expects a whole number";
            o->hasFrame = true;
        } else if (a == "--camera" && hasValue) {
            if (!ParseCamera(args[++i], &o->camera))
                return "--camera expects front, back, left, right, up or down";
        } else if (a == "--size" && hasValue) {
            if (!ParseSize(args[++i], &o->width, &o->height))
                return "--size expects WxH, each 1 to 8192";
        } else if (a == "--scale" && hasValue) {
            if (!ParseNumber(args[++i], &o->scale) || !(o->scale > 0 && o->scale < 1000)) {
                return "--scale expects a number above 0";
            }
        } else if (a == "-o" && hasValue) {
            o->out = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else if (o->file.empty()) {
            o->file = a;
        } else {
            return "expects one motion or project file";
        }
    }
    if (o->file.empty()) return "expects a motion or project file";
    if (o->out.empty()) return "expects -o OUT.png";
    return {};
}

bool MakeHost(rkEglHost& host, const RenderOptions& o, std::ostream& err) {
    if (host.Create(o.width, o.height)) return true;
    err << "error: no OpenGL context could be made (EGL surfaceless)\n";
    return false;
}

bool ReportNoDevice(const RenderOptions& o, std::ostream& err) {
    err << "error: the render device cannot be created at " << o.width << 'x' << o.height << '\n';
    return false;
}

// Reads the drawn frame back and writes it.
int WriteFrame(const RenderOptions& o, bool drawn, int frame, std::ostream& out,
               std::ostream& err) {
    std::vector<uint32_t> pixels(static_cast<size_t>(o.width) * o.height);
    if (!drawn || !rkReadFrame(RK_READ_COLOR, pixels.data())) {
        err << "error: the frame could not be drawn\n";
        return kExitFailed;
    }
    for (uint32_t& p : pixels) p |= 0xFF000000u;  // an opaque picture
    if (!WritePng(o.out, o.width, o.height, pixels.data())) {
        err << "error: cannot write " << o.out << '\n';
        return kExitFailed;
    }
    out << "wrote " << o.out << " (" << o.width << 'x' << o.height << ", frame " << frame << ")\n";
    return kExitOk;
}

int Render(const RenderOptions& o, const rkNode* pose, int frame, std::ostream& out,
           std::ostream& err) {
    rkEglHost host;
    if (!MakeHost(host, o, err)) return kExitFailed;
    CRKSystem system;
    if (!system.Initialise(&host, o.width, o.height) && !ReportNoDevice(o, err)) return kExitFailed;
    system.SetBackgroundColor(kBackground[0], kBackground[1], kBackground[2], true);
    const std::string data = DataFolder();
    if (system.SetUpWorld(data) != 0 || !system.Avatar()) {
        err << "warning: the avatar could not be loaded from " << data << '\n';
    }
    system.PoseAvatar(pose);
    system.sceneScale = o.scale;
    system.PresetCamera(o.camera);
    return WriteFrame(o, system.DrawScene(nullptr) == 1, frame, out, err);
}

// The timeline's frame as the editor's 3D window shows it: the mixed pose in front of the
// media track's picture or video frame.
int RenderProject(const RenderOptions& o, std::ostream& out, std::ostream& err) {
    if (o.frame < 0 || o.frame >= CRKWindow::kMaxFrames) {
        err << "error: --frame must lie in 0.." << CRKWindow::kMaxFrames - 1 << '\n';
        return kExitFailed;
    }
    OpenedProject project;
    if (!OpenOrReport(project, o.file, err)) return kExitFailed;
    const FrameSample sample = project.Model().GetFrameSample(o.frame);
    rkEglHost host;
    if (!MakeHost(host, o, err)) return kExitFailed;
    const std::string data = DataFolder();
    CRKWindow window(project.Manager(), data);
    if (!window.Initialise(&host, o.width, o.height) && !ReportNoDevice(o, err)) return kExitFailed;
    CRKSystem& system = window.System();
    system.SetBackgroundColor(kBackground[0], kBackground[1], kBackground[2], true);
    if (!system.Avatar()) err << "warning: no avatar in " << data << '\n';
    if (!window.ShowFrameSample(sample, 0)) {
        err << "warning: frame " << o.frame << " shows no pose of its clips\n";
    }
    window.PoseCurrentFrame();
    system.sceneScale = o.scale;
    system.PresetCamera(o.camera);
    return WriteFrame(o, window.ShowCurrentFrame() == 1, o.frame, out, err);
}

}  // namespace

int RunRenderCommand(const Args& args, std::ostream& out, std::ostream& err) {
    RenderOptions options;
    const std::string problem = ParseOptions(args, &options);
    if (!problem.empty()) {
        err << "tavrel-cli render: " << problem << " (see tavrel-cli render --help)\n";
        return kExitUsage;
    }
    const int type = MotionFileTypeOf(options.file);
    if (type == kTypeUnknown) return RenderProject(options, out, err);
    // Through CMotion: frames that fail to read give no pose and the reader's message.
    CMotion motion(options.file, 0);
    if (!motion.HasData()) {
        err << "error: " << options.file
            << ": not a readable motion file (.cha, .chb, .htr, .bvh, .fbx, .gltf, .glb or .dae)\n";
        return kExitFailed;
    }
    const int frame = std::clamp(options.hasFrame ? options.frame : motion.GetBeginFrame(),
                                 motion.GetBeginFrame(), motion.GetEndFrame());
    const std::unique_ptr<CHTR> pose = motion.GetPose(frame - motion.GetBeginFrame());
    if (!pose) {
        err << "error: cannot read the frames: " << motion.GetReadError() << '\n';
        return kExitFailed;
    }
    return Render(options, pose->GetRoot(), frame, out, err);
}

}  // namespace tavrel::cli
