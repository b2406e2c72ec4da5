#include "settings/FileNameRules.h"

#include <charconv>
#include <climits>
#include <filesystem>

#include "settings/StringIds.h"

namespace tavrel {
namespace {

constexpr std::string_view kForbiddenCharacters = "\"/\\<>:;|=,*?";

// Each try of a name costs a look at the disk: a folder that makes every candidate look taken
// (a name cut short by a NUL names the folder itself) must end the search, not loop for hours.
constexpr int kMaxNameTries = 10000;

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

struct PathParts {
    std::string_view folder;  // with its trailing separator, or empty
    std::string_view base;
    std::string_view extension;  // without the dot; empty when there is none
    bool hasDot = false;
};

// The extension is looked for in the file name only: a dot in a folder name is no extension.
PathParts SplitPath(std::string_view path) {
    PathParts parts;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    parts.folder = path.substr(0, nameStart);
    const std::string_view name = path.substr(nameStart);
    const size_t dot = name.rfind('.');
    parts.hasDot = dot != std::string_view::npos;
    parts.base = parts.hasDot ? name.substr(0, dot) : name;
    parts.extension = parts.hasDot ? name.substr(dot + 1) : std::string_view();
    return parts;
}

// "walk_12" -> ("walk", 13); anything else -> (whole base, 1).
std::pair<std::string_view, long long> SplitCounter(std::string_view base) {
    const size_t underscore = base.rfind('_');
    if (underscore != std::string_view::npos && underscore + 1 < base.size()) {
        const std::string_view digits = base.substr(underscore + 1);
        long long n = 0;
        auto [ptr, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (error == std::errc() && ptr == digits.data() + digits.size() && n >= 0 && n < INT_MAX &&
            digits.find_first_not_of("0123456789") == std::string_view::npos) {
            return {base.substr(0, underscore), n + 1};
        }
    }
    return {base, 1};
}

}  // namespace

bool IsValidFileName(std::string_view name, NameKind kind) {
    if (name.empty() || name.size() >= 261 || name == "." || name == "..") return false;
    if (name.front() == ' ' || (kind == NameKind::kFile && name.back() == ' ')) return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
        if (kForbiddenCharacters.find(c) != std::string_view::npos) return false;
    }
    return true;
}

bool CheckFileNameLength(std::string_view name, bool hasExtension) {
    const size_t length = hasExtension && name.size() >= 4 ? name.size() - 4 : name.size();
    return length <= kFileNameLengthLimit;
}

Message FileNameTooLongMessage() {
    return MakeMessage(strings::kFileNameTooLong, {{std::string(kFilenameLengthLimitToken),
                                                    std::to_string(kFileNameLengthLimit)}});
}

std::string MakeDerivedName(std::string_view path) {
    const PathParts parts = SplitPath(path);
    auto [base, n] = SplitCounter(parts.base);
    for (int tries = 0; tries < kMaxNameTries && n < INT_MAX; ++tries, ++n) {
        std::string candidate =
            std::string(parts.folder) + std::string(base) + "_" + std::to_string(n);
        if (parts.hasDot) candidate += "." + std::string(parts.extension);
        if (candidate.size() > kMaxStoredPathLength) return {};
        if (!Exists(candidate)) return candidate;
    }
    return {};
}

std::string MakeNumberedName(std::string_view folder, std::string_view base,
                             std::string_view extension) {
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::string candidate = JoinPath(folder, std::string(base) + std::to_string(n));
        if (!extension.empty()) candidate += "." + std::string(extension);
        if (candidate.size() > kMaxStoredPathLength) return {};
        if (!Exists(candidate)) return candidate;
    }
    return {};
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '/') joined += '/';
    joined += name;
    return joined;
}

}  // namespace tavrel
