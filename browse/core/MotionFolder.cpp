#include "browse/core/MotionFolder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "browse/core/LibraryFolders.h"
#include "motion/AnimFileFactory.h"
#include "settings/FileNameRules.h"

namespace tavrel {

namespace fs = std::filesystem;

namespace {

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lowered;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '.')) text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

std::vector<std::string> ParseAcceptedExtensions(std::string_view list) {
    std::vector<std::string> extensions;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view piece = Trimmed(list.substr(0, comma));
        if (!piece.empty()) extensions.push_back(Lowered(piece));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return extensions;
}

bool HasAcceptedExtension(std::string_view name, const std::vector<std::string>& extensions) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string extension = Lowered(name.substr(dot + 1));
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

namespace {

constexpr char kPathTooLong[] = "Its path is too long";

std::unique_ptr<ANIMFILE> Unreadable(std::string* reason, std::string why) {
    *reason = std::move(why);
    return nullptr;
}

}  // namespace

std::unique_ptr<ANIMFILE> OpenWholeMotion(const std::string& path, std::string* reason) {
    const MotionFileType type = MotionFileTypeOf(path);
    if (type == kTypeUnknown) return Unreadable(reason, "Not a motion file");
    if (path.size() >= ANIMFILE::kPathSize) return Unreadable(reason, kPathTooLong);
    // Every frame is read: a file cut short anywhere would give a clip without a pose.
    std::unique_ptr<ANIMFILE> motion;
    try {
        motion = OpenAnimFile(path.c_str(), type, 1);
    } catch (const ERROBJ& error) {
        return Unreadable(reason,
                          std::string("Cannot be read: ") + error.GetText() +
                              (error.detail[0] ? std::string(" (") + error.detail + ")" : ""));
    } catch (...) {
        return Unreadable(reason, "Cannot be read");
    }
    if (!motion || motion->GetSegmentCount() == 0)
        return Unreadable(reason, "Cannot be read: it has no skeleton");
    if (motion->GetEndFrame() < motion->GetBeginFrame())
        return Unreadable(reason, "It holds no frames");
    reason->clear();
    return motion;
}

std::string MotionUnreadableReason(const std::string& path) {
    std::string reason;
    OpenWholeMotion(path, &reason);
    return reason;
}

bool MotionHasFrames(const std::string& path) {
    return MotionUnreadableReason(path).empty();
}

namespace {

bool HoldsAcceptedFile(const std::string& folder, const std::vector<std::string>& extensions) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError) &&
            HasAcceptedExtension(it->path().filename().string(), extensions))
            return true;
    }
    return false;
}

std::optional<std::string> FindFolderWithMotions(const std::string& folder,
                                                 const std::vector<std::string>& extensions,
                                                 int depth) {
    if (HoldsAcceptedFile(folder, extensions)) return folder;
    constexpr int kMaxDepth = 8;  // a library is shallow; a deep tree is not searched whole
    if (depth >= kMaxDepth) return std::nullopt;
    for (const std::string& name : ListSubfolders(folder)) {
        const std::string path = JoinPath(folder, name);
        std::error_code error;
        if (fs::is_symlink(path, error)) continue;
        if (auto found = FindFolderWithMotions(path, extensions, depth + 1)) return found;
    }
    return std::nullopt;
}

}  // namespace

std::string FirstFolderWithMotions(const std::string& folder,
                                   const std::vector<std::string>& extensions) {
    return FindFolderWithMotions(folder, extensions, 0).value_or(folder);
}

MotionFolderListing ListMotionFolder(const std::string& folder,
                                     const std::vector<std::string>& extensions) {
    MotionFolderListing listing;
    std::vector<std::string> accepted;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;  // folders, broken links, devices
        std::string name = it->path().filename().string();
        if (HasAcceptedExtension(name, extensions)) accepted.push_back(std::move(name));
    }
    std::sort(accepted.begin(), accepted.end());
    for (std::string& name : accepted) {
        if (JoinPath(folder, name).size() < ANIMFILE::kPathSize) {
            listing.names.push_back(std::move(name));
        } else {
            listing.unreadable.push_back(std::move(name));
            listing.reasons.push_back(kPathTooLong);
        }
    }
    return listing;
}

}  // namespace tavrel
