#include "browse/core/DesktopTrash.h"

#include <cctype>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "base/DebugOutput.h"
#include "browse/core/LibraryFolders.h"

namespace tavrel {

namespace fs = std::filesystem;

namespace {

// Path values of a trash info file are URL-encoded, keeping '/' and unreserved characters.
std::string EncodedPath(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Claims a free name by creating its info file exclusively, so two deletes never share one.
std::string ClaimName(const fs::path& trash, const std::string& name, const std::string& from) {
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = n == 1 ? name : name + "." + std::to_string(n);
        const fs::path info = trash / "info" / (candidate + ".trashinfo");
        std::error_code error;
        if (fs::exists(fs::symlink_status(trash / "files" / candidate, error))) continue;
        FILE* file = std::fopen(info.c_str(), "wx");
        if (!file) {
            if (errno == EEXIST) continue;
            return {};
        }
        const std::string text =
            "[Trash Info]\nPath=" + EncodedPath(from) + "\nDeletionDate=" + Now() + "\n";
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (std::fclose(file) != 0 || !written) {
            fs::remove(info, error);
            return {};
        }
        return candidate;
    }
    return {};
}

}  // namespace

bool MoveToDesktopTrash(const std::string& path, const std::string& dataHome,
                        const MoveSteps& steps) {
    std::error_code error;
    const fs::path source = fs::absolute(path, error).lexically_normal();
    if (error || !fs::exists(fs::symlink_status(source, error)) || dataHome.empty()) return false;
    const fs::path trash = fs::path(dataHome) / "Trash";
    fs::create_directories(trash / "files", error);
    fs::create_directories(trash / "info", error);
    fs::permissions(trash, fs::perms::owner_all, error);
    std::string name = source.filename().string();
    if (name.empty()) name = source.parent_path().filename().string();
    const std::string slot = ClaimName(trash, name, source.string());
    if (slot.empty()) {
        DebugPrintf("MoveToDesktopTrash failed: no room in %s\n", trash.c_str());
        return false;
    }
    const fs::path target = trash / "files" / slot;
    if (steps.rename(source.string(), target.string())) return true;
    if (errno == EXDEV) {
        const bool folder = fs::is_directory(fs::symlink_status(source, error));
        fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                 error);
        if (!error) {
            if (steps.remove(source.string())) return true;
            if (folder) {  // some of it may be gone: the trash keeps the only copy of that
                DebugPrintf("MoveToDesktopTrash removed part of %s\n", source.c_str());
                return false;
            }
        }
        fs::remove_all(target, error);
    }
    fs::remove(trash / "info" / (slot + ".trashinfo"), error);
    DebugPrintf("MoveToDesktopTrash failed: %s\n", source.c_str());
    return false;
}

}  // namespace tavrel
