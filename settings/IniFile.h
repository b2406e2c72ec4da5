#pragma once
// An INI file as the settings functions read and write it: sections in brackets, one
// "key=value" per line, ';' or '#' comment lines. Section and key names match without regard
// to case; values lose surrounding blanks and one pair of surrounding quotes, and backslashes
// stay as they are. Writing keeps every other line as it was, byte for byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

class CIniFile {
public:
    CIniFile() = default;
    static CIniFile Parse(std::string_view text);
    // Nothing when the file cannot be read or is no regular file.
    static std::optional<CIniFile> Load(const std::string& path);

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;
    // Sets or adds the key, adding the section at the end when missing. Refuses (false) names
    // and values that would break the file's lines apart.
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;
    // Replaces the file crash-safely (FileReplacer): a failed write never leaves a
    // half-written settings file.
    bool Save(const std::string& path) const;

private:
    struct Line {
        std::string text;
        std::string section;  // the section this line belongs to (the header: its own name)
        bool isHeader = false;
        std::string ending = "\n";  // the line's break as read: "\n", "\r\n", "\r\r\n", or ""
    };
    // Index of the key's line in the section, or -1.
    int FindKey(std::string_view section, std::string_view key) const;

    std::vector<Line> lines_;
};

}  // namespace tavrel
