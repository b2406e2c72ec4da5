#pragma once
// The machine-wide settings: the INI files that system-scope settings of the window layer use
// (<config dir>/<Organisation>/<Application>.conf in each of $XDG_CONFIG_DIRS, /etc/xdg when
// unset). A key path "Corvane\Tavrel" names the file Corvane/Tavrel.conf; further parts
// ("Corvane\Olvenar\2.0") name a group inside it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/IniFile.h"
#include "settings/Message.h"

namespace tavrel {

class CSystemSettings {
public:
    // An opened key: one group of one settings file.
    class Key {
    public:
        Key(CIniFile file, std::string group) : file_(std::move(file)), group_(std::move(group)) {}
        // The named value; names are matched plain or with the %XX escapes of the file format.
        std::optional<std::string> Value(std::string_view name) const;

    private:
        CIniFile file_;
        std::string group_;
    };

    CSystemSettings();  // the folders of $XDG_CONFIG_DIRS
    explicit CSystemSettings(std::vector<std::string> configFolders)
        : folders_(std::move(configFolders)) {}

    // The key, from the first folder whose file has it; nothing when no folder has it.
    std::optional<Key> OpenKey(std::string_view keyPath) const;

private:
    std::vector<std::string> folders_;
};

// The motion library folder as configured: the value "Motion Folder" of the program's key
// (string kRegistryKeyName); when that key is absent, the sibling product's "Install Path"
// with "/Motion" appended; otherwise "".
std::string GetMotionFolder(const CSystemSettings& settings, const StringLookup& lookup);

// The configured folder, or Motion in the per-user data folder when none is configured.
std::string GetMotionLibraryFolder(const CSystemSettings& settings, const StringLookup& lookup);

// Makes the library's folder for pose clips (string kLibraryPoseFolder) when missing; nothing
// happens for an empty library folder. Returns whether the folder exists afterwards.
bool EnsureLibraryPoseFolder(const std::string& library, const StringLookup& lookup);

}  // namespace tavrel
