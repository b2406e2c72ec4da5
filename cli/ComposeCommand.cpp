// tavrel-cli compose: a project file edited as the same actions in the editor edit it (clips
// added, moved, removed, their curves and blends), so that pipelines build timelines without
// the window. A project file that does not exist yet starts empty.
#include <charconv>
#include <filesystem>
#include <optional>

#include "cli/Commands.h"
#include "cli/OpenedProject.h"
#include "timeline/ProjectFileWriter.h"

namespace tavrel::cli {
namespace {

constexpr const char* kCurveNames[] = {"Linear", "EaseIn", "EaseOut", "Curve", "Inertial"};

std::optional<int> Number(const std::string& text) {
    int value = 0;
    auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

// A clip's position in the model from its number in time order (1 first, as `project` lists).
std::optional<int> PositionOf(const CTimelineModel& model, const std::string& text) {
    const auto n = Number(text);
    const int count = model.Project().motionClips.Count();
    if (!n || *n < 1 || *n > count) return std::nullopt;
    return count - *n;
}

struct AddOptions {
    std::string file;
    std::optional<int> at, blend;
    bool ownPlace = false, feetFree = false, best = false;
};

std::optional<AddOptions> ParseAdd(const Args& args, std::string* error) {
    AddOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = i + 1 < args.size();
        if (a == "--at" && valued) {
            o.at = Number(args[++i]);
            if (!o.at) return *error = "--at takes a frame", std::nullopt;
        } else if (a == "--blend" && valued) {
            o.blend = Number(args[++i]);
            if (!o.blend || *o.blend < 1) return *error = "--blend takes frames", std::nullopt;
        } else if (a == "--after") {
            o.at.reset();
        } else if (a == "--own-place") {
            o.ownPlace = true;
        } else if (a == "--feet-free") {
            o.feetFree = true;
        } else if (a == "--best") {
            o.best = true;
        } else if (o.file.empty() && a.rfind("--", 0) != 0) {
            o.file = a;
        } else {
            return *error = "unexpected " + a, std::nullopt;
        }
    }
    if (o.file.empty()) return *error = "add expects a motion FILE", std::nullopt;
    return o;
}

// Where the clip goes: the frame given, over the last clip's end by the blend, or after it.
EditResult Add(OpenedProject& project, const AddOptions& o) {
    CTimelineModel& model = project.EditModel();
    const int end = model.LastFrame() + 1;
    int frame = o.at.value_or(o.blend ? end - *o.blend : end);
    if (!model.SetCurrentFrame(std::max(frame, 0))) return EditResult::Refused();
    project.Decisions().overlap = o.blend ? OverlapChoice::kBlend : OverlapChoice::kCancel;
    EditResult result = model.AddMotionFile(o.file, !o.best);
    if (!result.done || !(o.ownPlace || o.feetFree)) return result;
    const int position = model.PositionOfClipAt(model.SelectedClip()->firstFrame);
    model.SetClipSwitches(position, o.ownPlace, !o.feetFree);
    return result;
}

// One action on the model; false with the reason on err.
EditResult Act(OpenedProject& project, const Args& args, std::ostream& err, bool* usage) {
    CTimelineModel& model = project.EditModel();
    const std::string& action = args[0];
    const Args rest(args.begin() + 1, args.end());
    const auto clip = rest.empty() ? std::nullopt : PositionOf(model, rest[0]);
    *usage = false;
    if (action == "add") {
        std::string error;
        const auto options = ParseAdd(rest, &error);
        if (!options) return *usage = true, Usage(err, "compose", error), EditResult::Refused();
        return Add(project, *options);
    }
    if (!clip) {
        *usage = true;
        Usage(err, "compose",
              action + " expects a clip number from 1 to " +
                  std::to_string(model.Project().motionClips.Count()));
        return EditResult::Refused();
    }
    const int position = clip.value_or(0);
    const std::optional<int> frame = rest.size() == 2 ? Number(rest[1]) : std::nullopt;
    if (action == "move" && frame) return model.MoveClip(position, frame.value_or(0));
    if (action == "remove" && rest.size() == 1) {
        model.Select(position);
        return model.DeleteSelected();
    }
    for (uint32_t c = 0; action == "curve" && rest.size() == 2 && c < kCurveCount; ++c) {
        if (rest[1] == kCurveNames[c])
            return model.SetCurveType(position, c) ? EditResult::Done() : EditResult::Refused();
    }
    if (action == "match" && rest.size() == 1) return model.BlendAtBestPoint(position);
    const auto speed = rest.size() == 2 ? SpeedCurveNamed(rest[1]) : std::nullopt;
    if (action == "speed" && speed) return model.SetSpeedCurve(position, *speed);
    *usage = true;
    Usage(err, "compose", "unknown action or arguments: " + action);
    return EditResult::Refused();
}

}  // namespace

int RunComposeCommand(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2) return Usage(err, "compose", "expects PROJECT and an action");
    const std::string& path = args[0];
    OpenedProject project;
    if (std::filesystem::exists(path)) {
        if (!OpenOrReport(project, path, err)) return kExitFailed;
    } else if (Message failure = project.New()) {
        err << "error: " << failure.Text(OpenedProject::Lookup()) << '\n';
        return kExitFailed;
    }
    bool usage = false;
    const EditResult result = Act(project, Args(args.begin() + 1, args.end()), err, &usage);
    if (usage) return kExitUsage;
    if (!result.done) {
        // An add that overlapped clips was answered with a cancel.
        const std::string why = result.message ? result.message.Text(OpenedProject::Lookup())
                                : args[1] == "add"
                                    ? "the clip would overlap others (--blend N, --after or "
                                      "another --at frame places it)"
                                    : "it changes nothing or does not fit";
        err << "error: " << args[1] << " was refused: " << why << '\n';
        return kExitFailed;
    }
    std::string error;
    if (!CProjectFileWriter::Write(project.Model().Project(), path, &error)) {
        err << "error: " << path << ": " << error << '\n';
        return kExitFailed;
    }
    if (const auto& snap = project.Model().LastBlendSnap()) {
        out << "blended at the best point: distance " << snap->distance << " (dropped "
            << snap->droppedDistance << ")\n";
    }
    return kExitOk;
}

}  // namespace tavrel::cli
