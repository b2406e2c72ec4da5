#include "settings/SystemSettings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
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

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The digits of a numeric escape from value[i] on, in that base; i ends after them. The code
// stops growing at the last Unicode character, so no run of digits can overflow it.
uint32_t EscapedCode(std::string_view value, size_t& i, int base) {
    uint32_t code = 0;
    for (; i < value.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(value[i])));
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base) break;
        code = std::min<uint32_t>(code * base + digit, 0x10FFFF);
    }
    return code;
}

// The control character a letter escape stands for, or 0.
char NamedEscape(char letter) {
    switch (letter) {
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return 0;
    }
}

// The file format writes a backslash and a quote as \\ and \", control characters as \n,
// \t and the like, others as \x followed by hex digits or \0 followed by octal ones.
std::string UnescapedValue(std::string_view value) {
    std::string out;
    for (size_t i = 0; i < value.size();) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i++];
            continue;
        }
        const char c = value[i + 1];
        i += 2;
        if (const char named = NamedEscape(c)) {
            out += named;
        } else if (c == 'x' && i < value.size() &&
                   std::isxdigit(static_cast<unsigned char>(value[i]))) {
            AppendUtf8(out, EscapedCode(value, i, 16));
        } else if (c >= '0' && c <= '7') {
            AppendUtf8(out, EscapedCode(value, --i, 8));
        } else {
            out += c;  // \\, \" and any other character stand for themselves
        }
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

// A folder from a settings file is used only when it is absolute and has no ".." in it: a
// relative one would depend on where the program happened to be started, and ".." makes the
// folder something else than it reads as. Others count as not set.
std::optional<std::string> UsableFolder(std::optional<std::string> value) {
    if (!value || value->empty()) return value;
    const std::filesystem::path path(*value);
    if (!path.is_absolute()) return std::nullopt;
    for (const auto& part : path) {
        if (part == "..") return std::nullopt;
    }
    return value;
}

std::string GetMotionFolder(const CSystemSettings& settings, const StringLookup& lookup) {
    const std::string keyName = lookup ? lookup(strings::kRegistryKeyName) : std::string();
    if (auto key = keyName.empty() ? std::nullopt : settings.OpenKey(keyName)) {
        return UsableFolder(key->Value("Motion Folder")).value_or("");
    }
    if (auto sibling = settings.OpenKey(kSiblingKey)) {
        if (auto install = UsableFolder(sibling->Value("Install Path"))) {
            return install->empty() ? std::string() : JoinPath(*install, "Motion");
        }
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
