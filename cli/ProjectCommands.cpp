// project and sample: project files read into a timeline in a working directory of the
// command's own, which is removed when the command ends.
#include "cli/ProjectCommands.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/OpenedProject.h"
#include "motion/MotionManager.h"
#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "timeline/MotionManagerSide.h"
#include "timeline/TimelineModel.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

struct Parsed {
    std::vector<std::string> positional;
    bool json = false;
    std::string unknown;
};

Parsed Parse(const std::vector<std::string>& args) {
    Parsed p;
    for (const std::string& a : args) {
        if (a == "--json") {
            p.json = true;
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            if (p.unknown.empty()) p.unknown = a;
        } else {
            p.positional.push_back(a);
        }
    }
    return p;
}

// File names as base names: the working directory's folder means nothing to the caller.
std::string BaseName(const std::string& path) {
    return path.empty() ? std::string() : fs::path(path).filename().string();
}

const char* LayerKind(const LayerClip& c) {
    if (c.IsKeyClip()) return "keys";
    return c.mode == LayerMode::kOverride ? "override" : "additive";
}

std::vector<MotionClip> InTimeOrder(const CTimelineProject& p) {
    return {p.motionClips.rbegin(), p.motionClips.rend()};
}

std::vector<MediaClip> MediaInTimeOrder(const CTimelineProject& p) {
    return {p.mediaClips.rbegin(), p.mediaClips.rend()};
}

void PrintProjectText(const CTimelineProject& p, std::ostream& out) {
    out << "clips: " << p.motionClips.Count() << '\n';
    for (const MotionClip& c : InTimeOrder(p)) {
        out << "clip " << c.firstFrame << ' ' << c.lastFrame << " file " << BaseName(c.fileName)
            << " source " << (c.sourceFileName.empty() ? "-" : BaseName(c.sourceFileName))
            << " stretched " << int(c.stretched) << " in " << c.transitionIn << " out "
            << c.transitionOut << " curve " << c.curveType << " offset " << c.offset[0] << ' '
            << c.offset[1] << ' ' << c.offset[2] << " range " << c.sourceFirst << ' '
            << c.sourceLast;
        // Only a curved clip says so: listings of projects without curves stay as they were.
        if (c.speedCurve != kSpeedConstant) out << " speed " << SpeedCurveName(c.speedCurve);
        out << '\n';
    }
    out << "media: " << p.mediaClips.Count() << '\n';
    for (const MediaClip& m : MediaInTimeOrder(p)) {
        out << "media " << m.firstFrame << ' ' << m.lastFrame << ' '
            << (m.header == MediaClip::kHeaderVideo ? "video" : "image") << ' '
            << BaseName(m.fileName) << '\n';
    }
    out << "sound: " << (p.soundFile.empty() ? "none" : BaseName(p.soundFile)) << '\n';
    const CLayerStack& layers = p.Layers();
    out << "layers: " << layers.tracks.size() << '\n';
    for (size_t i = 0; i < layers.tracks.size(); ++i) {
        out << "layer " << i + 1 << " clips: " << layers.tracks[i].clips.size() << '\n';
        for (const LayerClip& c : layers.tracks[i].clips) {
            out << "layerclip " << c.firstFrame << ' ' << c.lastFrame << ' ' << LayerKind(c)
                << " weight " << c.weight << " ease " << c.easeIn << ' ' << c.easeOut << " curve "
                << int(c.curve) << " mask " << MaskText(c.mask) << " file "
                << (c.IsKeyClip() ? "-" : BaseName(c.fileName)) << " keys " << c.keys.size()
                << '\n';
        }
    }
}

// One key and its value a line.
// clang-format off
void PrintProjectJson(const CTimelineProject& p, std::ostream& out) {
    JsonWriter json(out);
    json.BeginObject().Key("clips").BeginArray();
    for (const MotionClip& c : InTimeOrder(p)) {
        json.BeginObject()
            .Key("fileName").String(BaseName(c.fileName))
            .Key("sourceFileName").String(BaseName(c.sourceFileName))
            .Key("firstFrame").Int(c.firstFrame)
            .Key("lastFrame").Int(c.lastFrame)
            .Key("stretched").Int(c.stretched)
            .Key("transitionIn").Int(c.transitionIn)
            .Key("transitionOut").Int(c.transitionOut)
            .Key("curveType").Int(c.curveType)
            .Key("offset").BeginArray();
        for (int v : c.offset) json.Int(v);
        json.EndArray()
            .Key("sourceFirst").Int(c.sourceFirst)
            .Key("sourceLast").Int(c.sourceLast)
            .Key("speedCurve").String(SpeedCurveName(c.speedCurve))
            .EndObject();
    }
    json.EndArray().Key("mediaClips").BeginArray();
    for (const MediaClip& m : MediaInTimeOrder(p)) {
        json.BeginObject()
            .Key("kind").String(m.header == MediaClip::kHeaderVideo ? "video" : "image")
            .Key("firstFrame").Int(m.firstFrame)
            .Key("lastFrame").Int(m.lastFrame)
            .Key("fileName").String(BaseName(m.fileName))
            .EndObject();
    }
    json.EndArray().Key("sound");
    if (p.soundFile.empty()) {
        json.Null();
    } else {
        json.String(BaseName(p.soundFile));
    }
    json.Key("layers").BeginArray();
    for (const LayerTrack& track : p.Layers().tracks) {
        json.BeginObject().Key("clips").BeginArray();
        for (const LayerClip& c : track.clips) {
            json.BeginObject()
                .Key("kind").String(LayerKind(c))
                .Key("firstFrame").Int(c.firstFrame)
                .Key("lastFrame").Int(c.lastFrame)
                .Key("weight").Number(c.weight)
                .Key("easeIn").Int(c.easeIn)
                .Key("easeOut").Int(c.easeOut)
                .Key("curve").Int(int(c.curve))
                .Key("mask").String(MaskText(c.mask))
                .Key("fileName").String(BaseName(c.fileName))
                .Key("keys").BeginArray();
            for (const SegmentKey& k : c.keys) {
                json.BeginObject()
                    .Key("segment").String(kStandardSkeleton[k.segment].name)
                    .Key("frame").Int(k.frame)
                    .Key("turn").BeginArray()
                    .Number(k.turn.w).Number(k.turn.x).Number(k.turn.y).Number(k.turn.z)
                    .EndArray()
                    .EndObject();
            }
            json.EndArray().EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject().Finish();
}
// clang-format on

std::optional<int> ParseFrame(const std::string& text) {
    int frame = 0;
    auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), frame);
    if (error != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return frame;
}

void PrintSampleText(const FrameSample& s, std::ostream& out) {
    const auto name = [](const std::string& file) {
        return file.empty() ? std::string("-") : BaseName(file);
    };
    out << "frame " << s.frame << " clip " << name(s.clipFile) << " A " << name(s.fileA) << ' '
        << s.localA << " B " << name(s.fileB) << ' ' << s.localB << " weight " << s.weight
        << " curve " << int(s.curve) << " media " << name(s.mediaFile) << ' ' << s.mediaFrame
        << '\n';
}

// clang-format off
void PrintSampleJson(const FrameSample& s, JsonWriter& json) {
    json.BeginObject()
        .Key("frame").Int(s.frame)
        .Key("clipFile").String(BaseName(s.clipFile))
        .Key("fileA").String(BaseName(s.fileA))
        .Key("localA").Int(s.localA)
        .Key("fileB").String(BaseName(s.fileB))
        .Key("localB").Int(s.localB)
        .Key("weight").Number(s.weight)
        .Key("curve").Int(int(s.curve))
        .Key("mediaFile").String(BaseName(s.mediaFile))
        .Key("mediaFrame").Int(s.mediaFrame)
        .EndObject();
}
// clang-format on

}  // namespace

int RunProjectCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "project", "unknown option " + p.unknown);
    if (p.positional.size() != 1) return Usage(err, "project", "expects one project file");
    OpenedProject project;
    if (!OpenOrReport(project, p.positional[0], err)) return kExitFailed;
    if (p.json) {
        PrintProjectJson(project.Model().Project(), out);
    } else {
        PrintProjectText(project.Model().Project(), out);
    }
    return kExitOk;
}

int RunSampleCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "sample", "unknown option " + p.unknown);
    if (p.positional.size() < 2) return Usage(err, "sample", "expects a project file and frames");
    std::vector<int> frames;
    for (size_t i = 1; i < p.positional.size(); ++i) {
        const auto frame = ParseFrame(p.positional[i]);
        if (!frame) return Usage(err, "sample", "not a frame number: " + p.positional[i]);
        frames.push_back(*frame);
    }
    OpenedProject project;
    if (!OpenOrReport(project, p.positional[0], err)) return kExitFailed;
    JsonWriter json(out);
    if (p.json) json.BeginArray();
    for (int frame : frames) {
        const FrameSample sample = project.Model().GetFrameSample(frame);
        if (p.json) {
            PrintSampleJson(sample, json);
        } else {
            PrintSampleText(sample, out);
        }
    }
    if (p.json) json.EndArray().Finish();
    return kExitOk;
}

}  // namespace tavrel::cli
