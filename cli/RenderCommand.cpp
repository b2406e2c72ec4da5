// render: the world with the avatar posed at one frame of a motion file, drawn headless and
// written as a PNG picture.
#include <algorithm>
#include <charconv>
#include <memory>
#include <vector>

#include "RKWindow/MotionPicture.h"
#include "RKWindow/RKViewport.h"
#include "cli/Commands.h"
#include "cli/PngWriter.h"
#include "motion/AnimFileFactory.h"
#include "settings/UserDataFolder.h"

namespace tavrel::cli {
namespace {

constexpr const char* kCameras[] = {"front", "back", "left", "right", "up", "down"};
constexpr int kMaxSide = 8192;
// The window's background until the editor's settings choose another.
constexpr uint8_t kBackground[3] = {92, 100, 116};

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

template <typename T>
bool ParseNumber(const std::string& text, T* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end;
}

bool ParseSize(const std::string& text, int* width, int* height) {
    const auto x = text.find('x');
    return x != std::string::npos && ParseNumber(text.substr(0, x), width) &&
           ParseNumber(text.substr(x + 1), height) && *width > 0 && *height > 0 &&
           *width <= kMaxSide && *height <= kMaxSide;
}

bool ParseCamera(const std::string& text, int* camera) {
    for (int i = 0; i < RKViewport::PresetCount; ++i) {
        if (text == kCameras[i]) {
            *camera = i;
            return true;
        }
    }
    return false;
}

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
            return "expects one motion file";
        }
    }
    if (o->file.empty()) return "expects a motion file";
    if (o->out.empty()) return "expects -o OUT.png";
    return {};
}

int Render(const RenderOptions& o, std::unique_ptr<ANIMFILE> motion, std::ostream& out,
           std::ostream& err) {
    CMotionPicture picture;
    const std::string data = AvatarDataFolder();
    if (!picture.Create(o.width, o.height, data, kBackground)) {
        err << "error: no OpenGL context or render device could be made at " << o.width << 'x'
            << o.height << " (EGL surfaceless)\n";
        return kExitFailed;
    }
    if (!picture.HasAvatar()) err << "warning: no avatar in " << data << '\n';
    const int frame = o.hasFrame ? o.frame : motion->GetBeginFrame();
    std::vector<uint32_t> pixels(static_cast<size_t>(o.width) * o.height);
    if (!picture.Draw(*motion, frame, o.camera, o.scale, pixels.data())) {
        err << "error: the frame could not be drawn\n";
        return kExitFailed;
    }
    if (!WritePng(o.out, o.width, o.height, pixels.data())) {
        err << "error: cannot write " << o.out << '\n';
        return kExitFailed;
    }
    out << "wrote " << o.out << " (" << o.width << 'x' << o.height << ", frame "
        << std::clamp(frame, motion->GetBeginFrame(), motion->GetEndFrame()) << ")\n";
    return kExitOk;
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
    std::unique_ptr<ANIMFILE> motion =
        type == kTypeUnknown ? nullptr : CreateAnimFile(options.file.c_str(), type, 0);
    if (!motion) {
        err << "error: " << options.file << ": not a readable motion file (.cha, .chb or .htr)\n";
        return kExitFailed;
    }
    return Render(options, std::move(motion), out, err);
}

}  // namespace tavrel::cli
