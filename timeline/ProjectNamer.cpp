#include "timeline/ProjectNamer.h"

#include <climits>
#include <filesystem>

#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {
namespace {

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

CProjectNamer::CProjectNamer(const StringLookup& lookup)
    : base_(lookup(strings::kNewProjectBase)), extension_(lookup(strings::kProjectExtension)) {}

CTimelineProject CProjectNamer::NewProject(const std::string& parentFolder) {
    CTimelineProject project;
    for (; next_ < INT_MAX; ++next_) {
        const std::string name = base_ + std::to_string(next_);
        const std::string folder = JoinPath(parentFolder, name);
        const std::string file = folder + "." + extension_;
        if (file.size() > kMaxStoredPathLength) break;
        if (Exists(folder) || Exists(file)) continue;
        project.name = name;
        project.folder = folder;
        project.file = file;
        project.number = next_++;
        break;
    }
    return project;
}

}  // namespace tavrel
