#include "settings/RProfile.h"

#include <filesystem>

#include "base/DebugOutput.h"
#include "settings/FileNameRules.h"
#include "settings/IniFile.h"
#include "settings/UserDataFolder.h"

namespace tavrel {
namespace {

// What a missing key reads as, so that it can be told from a present one.
constexpr std::string_view kMissing = "_ERRSTR_";
constexpr size_t kValueLimit = 255;

}  // namespace

CRProfile::CRProfile() : path_(JoinPath(UserDataFolder(), "Tavrel.ini")) {
    DebugOutput(path_ + "\n");
}

CRProfile::CRProfile(const std::string& programPath) : path_(IniPathFor(programPath)) {
    DebugOutput(path_ + "\n");
}

std::string CRProfile::IniPathFor(const std::string& programPath) {
    // Only a dot in the file name counts: "~/.local/share/Tavrel/tavrel" has no extension.
    const size_t slash = programPath.rfind('/');
    const size_t dot = programPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return programPath;
    }
    return programPath.substr(0, dot + 1) + "ini";
}

std::string CRProfile::GetString(std::string_view section, std::string_view key) const {
    std::string value(kMissing);
    if (auto file = CIniFile::Load(path_)) {
        value = file->Get(section, key).value_or(std::string(kMissing));
    }
    if (value.size() > kValueLimit) value.resize(kValueLimit);
    if (value == kMissing) {
        DebugOutput("CRProfile::GetString() failed: string not found\n");
        return {};
    }
    return value;
}

bool CRProfile::WriteString(std::string_view section, std::string_view key,
                            std::string_view value) {
    CIniFile file = CIniFile::Load(path_).value_or(CIniFile());
    if (!file.Set(section, key, value)) return false;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    return file.Save(path_);
}

}  // namespace tavrel
