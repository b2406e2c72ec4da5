#include "settings/SystemSettings.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "settings/UserDataFolder.h"

namespace tavrel {
namespace {

constexpr std::string_view kSiblingKey = "Corvane\\Olvenar\\2.0";
// Keys at the top of a settings file live in this group.
constexpr std::string_view kTopGroup = "General";

// The file format writes key characters other than letters, digits and "_-." as %XX.
std::string EscapedKey(std::string_view name) {
    std::string escaped;
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '_' || c == '-' || c == '.') {
            escaped += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", u);
            escaped += hex;
        }
    }
    return escaped;
}

// Values with special characters are written quoted, with backslash escapes.
std::string UnescapedValue(std::string value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        out += value[i];
    }
    return out;
}

std::vector<std::string> SplitOn(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(separator, start);
        const std::string_view part = text.substr(start, end - start);
        if (!part.empty()) parts.emplace_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

std::vector<std::string> ConfigFoldersFromEnvironment() {
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::vector<std::string> folders = SplitOn(dirs ? dirs : "", ':');
    if (folders.empty()) folders.push_back("/etc/xdg");
    return folders;
}

}  // namespace

std::optional<std::string> CSystemSettings::Key::Value(std::string_view name) const {
    auto value = file_.Get(group_, name);
    if (!value) value = file_.Get(group_, EscapedKey(name));
    if (!value) return std::nullopt;
    return UnescapedValue(*value);
}

CSystemSettings::CSystemSettings() : folders_(ConfigFoldersFromEnvironment()) {}

std::optional<CSystemSettings::Key> CSystemSettings::OpenKey(std::string_view keyPath) const {
    const std::vector<std::string> parts = SplitOn(keyPath, '\\');
    if (parts.size() < 2) return std::nullopt;
    std::string group;
    for (size_t i = 2; i < parts.size(); ++i) group += (group.empty() ? "" : "/") + parts[i];
    const bool topGroup = group.empty();
    if (topGroup) group = kTopGroup;
    for (const std::string& folder : folders_) {
        auto file = CIniFile::Load(JoinPath(JoinPath(folder, parts[0]), parts[1] + ".conf"));
        // A file opens the top key; a group inside it must be present.
        if (file && (topGroup || file->HasSection(group))) return Key(std::move(*file), group);
    }
    return std::nullopt;
}

std::string GetMotionFolder(const CSystemSettings& settings, const StringLookup& lookup) {
    const std::string keyName = lookup ? lookup(strings::kRegistryKeyName) : std::string();
    if (auto key = keyName.empty() ? std::nullopt : settings.OpenKey(keyName)) {
        return key->Value("Motion Folder").value_or("");
    }
    if (auto sibling = settings.OpenKey(kSiblingKey)) {
        if (auto install = sibling->Value("Install Path")) return JoinPath(*install, "Motion");
    }
    return {};
}

std::string GetMotionLibraryFolder(const CSystemSettings& settings, const StringLookup& lookup) {
    std::string folder = GetMotionFolder(settings, lookup);
    return folder.empty() ? JoinPath(UserDataFolder(), "Motion") : folder;
}

bool EnsureLibraryPoseFolder(const std::string& library, const StringLookup& lookup) {
    if (library.empty()) return false;
    const std::string folder = JoinPath(library, lookup(strings::kLibraryPoseFolder));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

}  // namespace tavrel
