#pragma once
// The settings file: an INI file read and written by section and key (sections "Directory"
// and "Hotkey").
#include <string>
#include <string_view>

namespace tavrel {

class CRProfile {
public:
    // The program's settings file, Tavrel.ini in the per-user data folder.
    CRProfile();
    // The settings file of the given program file: its extension replaced by "ini".
    explicit CRProfile(const std::string& programPath);

    const std::string& GetPath() const { return path_; }

    // The value, at most 255 characters; "" (with a debug line) when the key is missing.
    std::string GetString(std::string_view section, std::string_view key) const;
    // Whether the value could be written.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // The path rule: everything after the program file name's last "." becomes "ini"; a name
    // without "." is used unchanged.
    static std::string IniPathFor(const std::string& programPath);

private:
    std::string path_;
};

}  // namespace tavrel
