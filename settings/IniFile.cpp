#include "settings/IniFile.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/FileReplacer.h"

namespace tavrel {
namespace {

std::string_view Trim(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsComment(std::string_view trimmed) {
    return trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#';
}

// The name of a "[name]" line, or nothing.
std::optional<std::string_view> HeaderName(std::string_view trimmed) {
    if (trimmed.size() < 2 || trimmed.front() != '[') return std::nullopt;
    const size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

std::string_view KeyOf(std::string_view trimmed) {
    const size_t eq = trimmed.find('=');
    return eq == std::string_view::npos ? std::string_view() : Trim(trimmed.substr(0, eq));
}

std::string ValueOf(std::string_view trimmed) {
    std::string_view value = Trim(trimmed.substr(trimmed.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

bool BreaksLines(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

CIniFile CIniFile::Parse(std::string_view text) {
    CIniFile file;
    std::string section;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(0, next);
        text.remove_prefix(next);
        // Every '\r' before the '\n' belongs to the break, kept as it was: the value never
        // ends in one, and a save gives the line back byte for byte.
        const size_t body = line.find_last_not_of("\r\n") + 1;  // npos + 1 == 0
        const std::string ending(line.substr(body));
        line = line.substr(0, body);
        const auto header = HeaderName(Trim(line));
        if (header) section = std::string(*header);
        file.lines_.push_back({std::string(line), section, header.has_value(), ending});
    }
    return file;
}

std::optional<CIniFile> CIniFile::Load(const std::string& path) {
    // The file is read whole: a pipe or a device in its place would never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

int CIniFile::FindKey(std::string_view section, std::string_view key) const {
    if (key.empty()) return -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.isHeader || !SameName(line.section, section)) continue;
        const std::string_view trimmed = Trim(line.text);
        if (!IsComment(trimmed) && SameName(KeyOf(trimmed), key)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> CIniFile::Get(std::string_view section, std::string_view key) const {
    if (section.empty()) return std::nullopt;
    const int i = FindKey(section, key);
    if (i < 0) return std::nullopt;
    return ValueOf(Trim(lines_[i].text));
}

bool CIniFile::HasSection(std::string_view section) const {
    return std::any_of(lines_.begin(), lines_.end(), [&](const Line& line) {
        return line.isHeader && SameName(line.section, section);
    });
}

bool CIniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (section.empty() || key.empty() || BreaksLines(section) || BreaksLines(key) ||
        BreaksLines(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || key.front() == '[' || IsComment(Trim(key))) {
        return false;
    }
    const std::string text = std::string(key) + "=" + std::string(value);
    if (const int i = FindKey(section, key); i >= 0) {
        lines_[i].text = text;
        return true;
    }
    // After the section's last non-blank line, or a new section at the end.
    int insertAt = -1;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (SameName(lines_[i].section, section) && !Trim(lines_[i].text).empty()) {
            insertAt = static_cast<int>(i) + 1;
        }
    }
    if (insertAt < 0) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", ""});
        lines_.push_back({"[" + std::string(section) + "]", std::string(section), true});
        insertAt = static_cast<int>(lines_.size());
    }
    lines_.insert(lines_.begin() + insertAt, {text, std::string(section), false});
    return true;
}

std::string CIniFile::Text() const {
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        text += line.text + line.ending;
        // A last line without a break gets one when lines were added after it.
        if (i + 1 < lines_.size() && (line.ending.empty() || line.ending.back() != '\n')) {
            text += '\n';
        }
    }
    return text;
}

bool CIniFile::Save(const std::string& path) const {
    return FileReplacer::Replace(path, Text());
}

}  // namespace tavrel
