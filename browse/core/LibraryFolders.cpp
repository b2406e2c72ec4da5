#include "browse/core/LibraryFolders.h"

#include <fcntl.h>
#include <stdio.h>
#include <strings.h>

#include <algorithm>
#include <filesystem>

#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {

namespace fs = std::filesystem;

std::vector<std::string> ListSubfolders(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int order = ::strcasecmp(a.c_str(), b.c_str());
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

bool HasSubfolder(const std::string& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) return true;
    }
    return false;
}

std::string MakeNewFolderPath(const std::string& folder, const std::string& base) {
    std::error_code error;
    std::string candidate = JoinPath(folder, base);
    for (int n = 2; fs::exists(fs::symlink_status(candidate, error)); ++n) {
        candidate = JoinPath(folder, base + " (" + std::to_string(n) + ")");
    }
    return candidate;
}

Message CheckUserName(const std::string& name, bool isFile) {
    if (!IsValidFileName(name, isFile ? NameKind::kFile : NameKind::kFolder)) {
        return MakeMessage(strings::kInvalidFileName);
    }
    const bool hasExtension = isFile && name.rfind('.') != std::string::npos;
    if (!CheckFileNameLength(name, hasExtension)) return FileNameTooLongMessage();
    return {};
}

size_t StemLength(const std::string& name) {
    const size_t dot = name.rfind('.');
    // A leading dot starts a name (".hidden"), not an extension.
    return dot == std::string::npos || dot == 0 ? name.size() : dot;
}

std::string NameKeepingExtension(const std::string& old, const std::string& typed) {
    if (StemLength(typed) < typed.size()) return typed;
    return typed + old.substr(StemLength(old));
}

bool CreateFolder(const std::string& path) {
    std::error_code error;
    return fs::create_directory(path, error) && !error;
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool RemoveTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return !error;
}

bool RenameEntry(const std::string& from, const std::string& newName, std::string* newPath) {
    const fs::path target = fs::path(from).parent_path() / newName;
    std::error_code error;
    if (target == fs::path(from)) {
        *newPath = from;
        return true;
    }
    if (!RenameNoReplace(from, target.string())) return false;
    *newPath = target.string();
    return true;
}

}  // namespace tavrel
