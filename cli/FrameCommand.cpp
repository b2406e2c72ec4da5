// frame: one frame of a video file, the one shown at a time, written as PNG or BMP.
#include <cctype>
#include <charconv>
#include <filesystem>
#include <vector>

#include "cli/Commands.h"
#include "cli/PngWriter.h"
#include "media/RAvi.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

struct FrameOptions {
    std::string video;
    std::string out;
    bool hasTime = false;
    int64_t time = 0;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ParseOptions(const Args& args, FrameOptions* o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--time" && hasValue) {
            const std::string& text = args[++i];
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), o->time);
            if (error != std::errc() || end != text.data() + text.size() || o->time < 0)
                return "--time expects milliseconds (a whole number, 0 or more)";
            o->hasTime = true;
        } else if (a == "-o" && hasValue) {
            o->out = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else if (o->video.empty()) {
            o->video = a;
        } else {
            return "expects one video file";
        }
    }
    if (o->video.empty()) return "expects a video file";
    if (!o->hasTime) return "expects --time MS";
    const std::string extension = Lower(fs::path(o->out).extension().string());
    if (o->out.empty() || (extension != ".png" && extension != ".bmp"))
        return "expects -o OUT.png or -o OUT.bmp";
    return {};
}

bool WriteAsPng(const std::string& path, const CAviFrame& frame) {
    std::vector<uint32_t> words(size_t(frame.width) * frame.height);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = &frame.rgb[size_t(y) * frame.stride];
        for (int x = 0; x < frame.width; ++x) {
            words[size_t(y) * frame.width + x] =
                0xFF000000u | row[x * 3] << 16 | row[x * 3 + 1] << 8 | row[x * 3 + 2];
        }
    }
    return WritePng(path, frame.width, frame.height, words.data());
}

}  // namespace

int RunFrameCommand(const Args& args, std::ostream& out, std::ostream& err) {
    FrameOptions o;
    const std::string problem = ParseOptions(args, &o);
    if (!problem.empty()) {
        err << "tavrel-cli frame: " << problem << " (see tavrel-cli frame --help)\n";
        return kExitUsage;
    }
    std::error_code error;
    if (fs::equivalent(o.video, o.out, error)) {
        err << "error: " << o.out << " is the video itself\n";
        return kExitFailed;
    }
    CRAvi video;
    if (!video.Load(o.video)) {
        err << "error: " << o.video << ": not a readable video with a video stream\n";
        return kExitFailed;
    }
    const CAviFrame* frame = video.FrameAt(o.time);
    if (!frame) {
        err << "error: " << o.video << ": no frame at " << o.time << " ms (length "
            << video.GetLength() << " ms)\n";
        return kExitFailed;
    }
    const bool bmp = Lower(fs::path(o.out).extension().string()) == ".bmp";
    if (!(bmp ? CAviFile::WriteBmp(o.out, *frame) : WriteAsPng(o.out, *frame))) {
        fs::remove(o.out, error);
        err << "error: cannot write " << o.out << '\n';
        return kExitFailed;
    }
    out << "wrote " << o.out << " (" << frame->width << 'x' << frame->height << ", time " << o.time
        << " ms)\n";
    return kExitOk;
}

}  // namespace tavrel::cli
