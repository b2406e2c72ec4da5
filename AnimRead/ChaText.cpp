#include "AnimRead/ChaText.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace chatext {

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

void SkipBlanks(std::string_view& text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    text.remove_prefix(i);
}

bool ScanWord(std::string_view& text, std::string_view* word) {
    SkipBlanks(text);
    size_t i = 0;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    if (i == 0) return false;
    *word = text.substr(0, i);
    text.remove_prefix(i);
    return true;
}

bool ScanInt(std::string_view& text, int32_t* value) {
    SkipBlanks(text);
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {  // from_chars takes no plus sign
        ++first;
        if (first != last && *first == '-') return false;
    }
    auto [end, error] = std::from_chars(first, last, *value);
    if (error != std::errc()) return false;
    text.remove_prefix(end - text.data());
    return true;
}

bool ScanFloat(std::string_view& text, float* value) {
    SkipBlanks(text);
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') return false;
    }
    auto [end, error] = std::from_chars(first, last, *value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too large or too small for a float: take what strtof makes of it (inf or 0).
        char copy[64] = {};
        std::memcpy(copy, first, std::min<size_t>(end - first, sizeof copy - 1));
        *value = std::strtof(copy, nullptr);
    } else if (error != std::errc()) {
        return false;
    }
    text.remove_prefix(end - text.data());
    return true;
}

bool ScanKeyInt(std::string_view line, std::string_view key, int32_t* value) {
    if (line.substr(0, key.size()) != key) return false;
    line.remove_prefix(key.size());
    return ScanInt(line, value);
}

bool StartsWithTag(std::string_view line, std::string_view tag) {
    if (line.size() < tag.size()) return false;
    for (size_t i = 0; i < tag.size(); ++i) {
        char a = line[i], b = tag[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
    }
    return true;
}

}  // namespace chatext
