#include "timeline/ProjectFileReader.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "timeline/ClipRules.h"
#include "timeline/LayerSection.h"
#include "timeline/SpeedSection.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

using Fields = std::vector<std::string>;

// The fields of a line of exactly `count` fields, none of them empty.
std::optional<Fields> SplitFields(std::string_view line, size_t count) {
    if (line.empty() || line.front() == ',' || line.back() == ',' ||
        line.find(",,") != std::string_view::npos) {
        return std::nullopt;
    }
    Fields fields = SplitAtCommas(line);
    if (fields.size() != count) return std::nullopt;
    return fields;
}

// A decimal integer, blanks around it allowed; anything else is no number.
std::optional<int> ParseInt(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    text = text.substr(first, last - first + 1);
    if (text.front() == '+') text.remove_prefix(1);
    int value = 0;
    auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

int FrameNumber(int value) {
    return std::max(value, 0);
}

class LineReader {
public:
    explicit LineReader(const std::string& path) : in_(path, std::ios::binary) {}
    bool IsOpen() const { return static_cast<bool>(in_); }

    // The next line's fields, or nothing when the line is missing, too long or malformed.
    std::optional<Fields> Next(size_t count) {
        const auto line = ReadLine();
        return line ? SplitFields(*line, count) : std::nullopt;
    }

    // The next line as it is; nothing past the end (or for a line beyond the limit).
    std::optional<std::string> NextLine() { return ReadLine(); }

    // A line of one number.
    std::optional<int> NextCount() {
        auto fields = Next(1);
        return fields ? ParseInt((*fields)[0]) : std::nullopt;
    }

private:
    // Reading stops at the limit: a file without line breaks (or a device) never makes the
    // line grow past it.
    std::optional<std::string> ReadLine() {
        constexpr auto kEnd = std::char_traits<char>::eof();
        std::string line;
        int c = kEnd;
        while ((c = in_.get()) != kEnd && c != '\n') {
            // One byte beyond the limit leaves room for the '\r' of a "\r\n" break.
            if (line.size() > CProjectFileReader::kMaxLineLength) return std::nullopt;
            line.push_back(static_cast<char>(c));
        }
        if (c == kEnd && line.empty()) return std::nullopt;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > CProjectFileReader::kMaxLineLength) return std::nullopt;
        return line;
    }

    std::ifstream in_;
};

// File names with control bytes are no names: a NUL would cut the name short where the file
// system sees it, naming the project's folder or another file.
bool IsUsableName(std::string_view name) {
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// Project files made on other systems separate folders with backslashes. Names stay inside the
// project's folder: an absolute name, a ".." leading out or a link pointing elsewhere would let a
// project from anywhere copy private files into the working directory (and, when the project is
// saved, out again). Such names resolve to nothing, which no file matches.
std::string ResolveName(const std::string& folder, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    const fs::path relative(name);
    if (relative.is_absolute()) return {};
    const fs::path joined = (fs::path(folder) / relative).lexically_normal();
    std::error_code error;
    const fs::path base = fs::weakly_canonical(folder, error);
    const fs::path real = error ? fs::path() : fs::weakly_canonical(joined, error);
    const fs::path inside = real.lexically_relative(base);
    if (error || inside.empty() || *inside.begin() == "..") return {};
    return joined.string();
}

struct ClipLine {
    MotionClip clip;
    std::string file;
    std::string source;  // "" for none
};

std::optional<ClipLine> ParseClipLine(const Fields& f) {
    const bool pose = f[0] == "P";
    if (!pose && f[0] != "M") return std::nullopt;
    std::optional<int> n[14];
    for (int i : {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12}) {
        if (!(n[i] = ParseInt(f[i]))) return std::nullopt;
    }
    if (!IsUsableName(f[7]) || !IsUsableName(f[13])) return std::nullopt;
    ClipLine line;
    MotionClip& clip = line.clip;
    const int first = FrameNumber(*n[1]);
    const int last = pose ? first : FrameNumber(*n[2]);
    if (last < first) return std::nullopt;
    clip.SetFrames(first, last);
    // The limits the model's setters keep: a transition longer than its clip would reach
    // into frames the clip does not have.
    clip.SetTransitionIn(std::min(*n[3], clip.Length()));
    clip.SetTransitionOut(std::min(*n[4], clip.Length()));
    // Without a source there is nothing to stretch from: the file is the clip's motion.
    clip.stretched = !pose && *n[5] != 0 && f[13] != "*" ? 1 : 0;
    // Numbers beyond the curves read as "Curve", as they did before "Inertial" came after it.
    clip.curveType =
        *n[6] == kCurveInertial ? kCurveInertial : static_cast<uint32_t>(std::clamp(*n[6], 0, 3));
    clip.sourceFirst = pose ? 0 : FrameNumber(*n[8]);
    clip.sourceLast = pose ? 0 : FrameNumber(*n[9]);
    clip.offset = {*n[10], *n[11], *n[12]};
    line.file = f[7];
    line.source = pose || f[13] == "*" ? "" : f[13];
    return line;
}

// The lines of the section that starts at the next line that is not empty; none at the end.
std::optional<CLayerSection::LineSource> NextSection(LineReader& reader) {
    std::optional<std::string> first = reader.NextLine();
    while (first && (first->empty() || *first == "\r")) first = reader.NextLine();
    if (!first) return std::nullopt;
    return [&reader, first, pending = true]() mutable -> std::optional<std::string> {
        if (pending) {
            pending = false;
            return first;
        }
        return reader.NextLine();
    };
}

// The speed curves after the layers: each goes to the clip its line names, when that clip was
// read and plays a file resampled from its source. A curve on a clip without a source would
// let a later curve start from the file with this one in it. A damaged section leaves every
// clip playing its file as saved.
void ReadSpeeds(LineReader& reader, ProjectReadResult& result,
                const std::vector<std::optional<std::pair<int, int>>>& clipLines) {
    const auto lines = NextSection(reader);
    if (!lines) return;
    std::string reason;
    const auto curves = CSpeedSection::Parse(*lines, int(clipLines.size()), &reason);
    if (!curves) {
        result.messages.push_back(
            MakeMessage(strings::kSpeedSectionDamaged, {{std::string(kReasonToken), reason}}));
        return;
    }
    for (const auto& [line, curve] : *curves) {
        if (!clipLines[line]) continue;
        auto& clips = result.project.motionClips;
        for (int position = 0; position < clips.Count(); ++position) {
            MotionClip& clip = *clips.At(position);
            const bool named = clip.firstFrame == clipLines[line]->first &&
                               clip.lastFrame == clipLines[line]->second;
            if (named && clip.stretched && !clip.sourceFileName.empty()) clip.speedCurve = curve;
        }
    }
}

// The layers after the base format's lines, when there are any. A damaged section leaves the
// base timeline as read, with the damage reported and kept in mind for saving.
template <typename Import>
bool ReadLayers(LineReader& reader, ProjectReadResult& result, const Import& importMotion) {
    const auto next = NextSection(reader);
    if (!next) return false;
    const CLayerSection::LineSource& lines = *next;
    std::string reason;
    std::optional<CLayerStack> stack = CLayerSection::Parse(lines, &reason);
    if (!stack) {
        result.project.layersDamaged = 1;
        result.messages.push_back(
            MakeMessage(strings::kLayerSectionDamaged, {{std::string(kReasonToken), reason}}));
        return false;
    }
    for (LayerTrack& track : stack->tracks) {
        for (auto clip = track.clips.begin(); clip != track.clips.end();) {
            if (clip->IsKeyClip()) {
                ++clip;
                continue;
            }
            const ImportResult file = importMotion(clip->fileName);
            if (file) {
                clip->fileName = file.path;
                ++clip;
                continue;
            }
            result.messages.push_back(MakeMessage(strings::kLayerClipLeftOut,
                                                  {{std::string(kFileNameToken), clip->fileName}}));
            clip = track.clips.erase(clip);
        }
    }
    if (!stack->tracks.empty())
        result.project.layers = std::make_shared<const CLayerStack>(std::move(*stack));
    return true;
}

}  // namespace

ProjectReadResult CProjectFileReader::Read(const std::string& path) {
    ProjectReadResult result;
    CTimelineProject& project = result.project;
    project.fromFile = 1;
    project.complete = 0;
    project.file = path;
    project.name = fs::path(path).stem().string();
    project.dataFolder = fs::absolute(fs::path(path)).parent_path().string();
    auto stop = [&](int id) {
        result.messages.push_back(MakeMessage(id));
        return result;
    };
    auto bringIn = [&](const std::string& name, int failure) -> ImportResult {
        return workingDirectory_.CopyIn(ResolveName(project.dataFolder, name), failure);
    };
    // Motion files enter as inserted clips do: HTR files converted, so every edit works on them.
    auto importMotion = [&](const std::string& name) -> ImportResult {
        // Their clips were timed on the file as it is: its frame rate is kept.
        return workingDirectory_.ImportMotionFile(ResolveName(project.dataFolder, name), motion_,
                                                  0);
    };

    if (path.size() > kMaxEnteringPathLength) return stop(strings::kPathTooLong);
    LineReader reader(path);
    const auto header = reader.IsOpen() ? reader.Next(2) : std::nullopt;
    if (!header || (*header)[0] != "D") return stop(strings::kProjectBadHeader);
    project.headerText = (*header)[1];

    const auto motionCount = reader.NextCount();
    if (!motionCount || *motionCount < 0) return stop(strings::kProjectBadMotionCount);
    // The frames of the clip each line gave, for the sections that name clips by their line.
    std::vector<std::optional<std::pair<int, int>>> clipLines;
    for (int i = 0; i < *motionCount; ++i) {
        const auto fields = reader.Next(14);
        auto line = fields ? ParseClipLine(*fields) : std::nullopt;
        if (!line) return stop(strings::kProjectBadClipLine);
        clipLines.emplace_back();
        // The track's rules hold for read clips too: a clip inside another would hide the
        // outer clip's later frames. The later line gives way.
        if (!CanPlaceClip(project, line->clip.firstFrame, line->clip.lastFrame)) {
            result.messages.push_back(MakeMessage(strings::kProjectClipMisplaced,
                                                  {{std::string(kMotionFilesToken), line->file}}));
            continue;
        }
        ImportResult file = importMotion(line->file);
        ImportResult source;
        if (file && motion_.FrameCount(file.path) < 1) {
            std::error_code error;
            fs::remove(file.path, error);
            file = {"", MakeMessage(strings::kMotionFileUnusable)};  // named below
        }
        if (file && !line->source.empty()) {
            source = importMotion(line->source);
            if (!source) file = {"", source.message};
        }
        if (!file) {
            if (file.message.id == strings::kMotionFileUnusable) {
                // The file named, and why: the user finds which clip went.
                const std::string failed = source.message ? line->source : line->file;
                std::string reason =
                    motion_.UnusableReason(ResolveName(project.dataFolder, failed));
                if (reason.empty()) reason = "it cannot be read as a motion";
                file.message.values = {{std::string(kFileNameToken), failed},
                                       {std::string(kReasonToken), reason}};
            }
            result.messages.push_back(file.message);
            continue;
        }
        line->clip.fileName = file.path;
        line->clip.sourceFileName = source.path;
        project.motionClips.InsertSorted(line->clip);
        clipLines.back() = std::make_pair(line->clip.firstFrame, line->clip.lastFrame);
    }

    const auto mediaCount = reader.NextCount();
    if (!mediaCount) return stop(strings::kProjectBadMediaLine);
    if (*mediaCount < 0) return stop(strings::kProjectBadMediaCount);
    for (int i = 0; i < *mediaCount; ++i) {
        const auto f = reader.Next(4);
        const bool video = f && (*f)[0] == "A";
        const auto first = f ? ParseInt((*f)[1]) : std::nullopt;
        const auto last = f ? ParseInt((*f)[2]) : std::nullopt;
        if (!f || (!video && (*f)[0] != "I") || !first || !last ||
            (video && FrameNumber(*last) < FrameNumber(*first)) || !IsUsableName((*f)[3])) {
            return stop(strings::kProjectBadMediaLine);
        }
        MediaClip clip;
        clip.header = video ? MediaClip::kHeaderVideo : MediaClip::kHeaderImage;
        clip.SetFrames(FrameNumber(*first), video ? FrameNumber(*last) : FrameNumber(*first));
        // The media track shows one clip at a time: a clip over another would hide part of it.
        if (std::any_of(project.mediaClips.begin(), project.mediaClips.end(),
                        [&](const MediaClip& c) {
                            return RangesOverlap(c.firstFrame, c.lastFrame, clip.firstFrame,
                                                 clip.lastFrame);
                        })) {
            result.messages.push_back(MakeMessage(strings::kProjectMediaOverlap,
                                                  {{std::string(kClipFilesToken), (*f)[3]}}));
            continue;
        }
        const ImportResult file = bringIn((*f)[3], strings::kMediaFileUnusable);
        if (!file) {
            result.messages.push_back(file.message);
            continue;
        }
        clip.fileName = file.path;
        project.mediaClips.InsertSorted(clip);
    }

    const auto sound = reader.Next(2);
    if (!sound || (*sound)[0] != "S" || !IsUsableName((*sound)[1])) {
        return stop(strings::kProjectBadSoundLine);
    }
    if ((*sound)[1] != "none") {
        const ImportResult file = bringIn((*sound)[1], strings::kSoundLoadFailed);
        if (file) {
            project.soundFile = file.path;
        } else {
            result.messages.push_back(file.message);
        }
    }

    const auto last = reader.Next(2);
    const auto value = last ? ParseInt((*last)[1]) : std::nullopt;
    if (!last || (*last)[0] != "I" || !value) return stop(strings::kProjectBadLastLine);
    project.closingValue = *value;
    project.complete = 1;
    if (ReadLayers(reader, result, importMotion)) ReadSpeeds(reader, result, clipLines);
    return result;
}

}  // namespace tavrel
