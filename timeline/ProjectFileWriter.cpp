#include "timeline/ProjectFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "base/FileReplacer.h"
#include "settings/FileNameRules.h"
#include "timeline/LayerSection.h"
#include "timeline/ProjectFileReader.h"
#include "timeline/SpeedSection.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

bool SameBytes(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (fs::file_size(a, error) != fs::file_size(b, error) || error) return false;
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::istreambuf_iterator<char> end;
    return std::equal(std::istreambuf_iterator<char>(x), end, std::istreambuf_iterator<char>(y),
                      end);
}

// Copies the timeline's files into the project's folder, each once.
class FileCopier {
public:
    explicit FileCopier(fs::path folder) : folder_(std::move(folder)) {}

    // The name the project file gives the copy of path; "" when it could not be copied.
    std::string Copy(const std::string& path, std::string* error) {
        if (auto it = names_.find(path); it != names_.end()) return it->second;
        fs::path target = folder_ / fs::path(path).filename();
        // A name the reader would refuse, or a file of other content, gets a derived name.
        while (fs::exists(target) && !SameBytes(path, target)) {
            const std::string next = MakeDerivedName(target.string());
            if (next.empty()) return Fail(path, "no free name for its copy", error);
            target = next;
        }
        if (!IsValidFileName(target.filename().string()))
            return Fail(path, "its name cannot be stored", error);
        std::error_code failure;
        if (!fs::exists(target)) {
            std::ifstream in(path, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            if (!in || !FileReplacer::Replace(target, bytes.str()))
                return Fail(path, "cannot be copied", error);
        }
        return names_[path] = target.filename().string();
    }

private:
    static std::string Fail(const std::string& path, const char* why, std::string* error) {
        *error = fs::path(path).filename().string() + ": " + why;
        return "";
    }

    fs::path folder_;
    std::map<std::string, std::string> names_;
};

std::string Line(const std::vector<std::string>& fields) {
    std::string line;
    for (const std::string& field : fields) line += (line.empty() ? "" : ",") + field;
    return line + "\n";
}

// A clip line; one-frame clips without a source are still poses ("P").
std::string ClipLine(const MotionClip& c, const std::string& file, const std::string& source) {
    const bool pose =
        c.IsOneFrame() && !c.stretched && source.empty() && c.sourceFirst == 0 && c.sourceLast == 0;
    auto n = [](long long v) { return std::to_string(v); };
    return Line({pose ? "P" : "M", n(c.firstFrame), n(c.lastFrame), n(c.transitionIn),
                 n(c.transitionOut), n(c.stretched ? 1 : 0), n(c.curveType), file, n(c.sourceFirst),
                 n(c.sourceLast), n(c.offset[0]), n(c.offset[1]), n(c.offset[2]),
                 source.empty() ? "*" : source});
}

}  // namespace

bool CProjectFileWriter::Write(const CTimelineProject& project, const std::string& path,
                               std::string* error) {
    const fs::path file(path);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code failure;
    if (!fs::is_directory(folder, failure)) {
        *error = folder.string() + ": no such folder";
        return false;
    }
    FileCopier copier(folder);
    std::string text =
        Line({"D", project.headerText.empty() ? std::string("Tavrel") : project.headerText});
    text += std::to_string(project.motionClips.Count()) + "\n";
    std::vector<SpeedCurve> speeds;
    // In time order, as a person would write them.
    for (auto it = project.motionClips.rbegin(); it != project.motionClips.rend(); ++it) {
        speeds.push_back(it->speedCurve);
        const std::string name = copier.Copy(it->fileName, error);
        const std::string source =
            it->sourceFileName.empty() ? "" : copier.Copy(it->sourceFileName, error);
        if (name.empty() || (!it->sourceFileName.empty() && source.empty())) return false;
        text += ClipLine(*it, name, source);
    }
    text += std::to_string(project.mediaClips.Count()) + "\n";
    for (auto it = project.mediaClips.rbegin(); it != project.mediaClips.rend(); ++it) {
        const std::string name = copier.Copy(it->fileName, error);
        if (name.empty()) return false;
        text += Line({it->header == MediaClip::kHeaderVideo ? "A" : "I",
                      std::to_string(it->firstFrame), std::to_string(it->lastFrame), name});
    }
    std::string sound = "none";
    if (!project.soundFile.empty() && (sound = copier.Copy(project.soundFile, error)).empty())
        return false;
    text += Line({"S", sound}) + Line({"I", std::to_string(project.closingValue)});
    bool copied = true;
    std::string layers = CLayerSection::Text(project.Layers(), [&](const std::string& path) {
        const std::string name = copier.Copy(path, error);
        copied = copied && !name.empty();
        return name.empty() ? std::string("*") : name;
    });
    if (!copied) return false;
    // A reader of layers expects their section first: without layers it is an empty one.
    const std::string curves = CSpeedSection::Text(speeds);
    if (!curves.empty() && layers.empty()) layers = Line({CLayerSection::kTag, "0"});
    text += layers + curves;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > CProjectFileReader::kMaxLineLength) {
            *error = "a line of the project would be longer than the reader takes";
            return false;
        }
    }
    if (!FileReplacer::Replace(file, text)) {
        *error = file.string() + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace tavrel
