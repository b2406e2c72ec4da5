#include "AnimRead/ChaText.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace tavrel::chatext {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

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

namespace {

constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};

// The common case of a motion file, such as "-900.419": a sign, at most seven digits and a
// point with at least one digit after it. The digits make an integer below 2^24 and the power
// of ten is exact in a float, so one float division rounds correctly: the very value from_chars
// gives. Anything else (exponents, more digits, inf, nan) is left to the general path.
bool ScanShortDecimal(std::string_view& text, float* value) {
    const char* at = text.data();
    const char* end = at + text.size();
    const bool negative = at != end && *at == '-';
    if (negative) ++at;
    uint32_t digits = 0;
    int count = 0, decimals = 0;
    for (; at != end && *at >= '0' && *at <= '9'; ++at, ++count) digits = digits * 10 + (*at - '0');
    if (count == 0 || at == end || *at != '.') return false;
    for (++at; at != end && *at >= '0' && *at <= '9'; ++at, ++decimals) {
        digits = digits * 10 + (*at - '0');
    }
    if (decimals == 0 || count + decimals > 7) return false;
    if (at != end && (*at == 'e' || *at == 'E' || *at == '.')) return false;
    const float magnitude = static_cast<float>(digits) / kPowersOfTen[decimals];
    *value = negative ? -magnitude : magnitude;
    text.remove_prefix(at - text.data());
    return true;
}

}  // namespace

bool ScanFloat(std::string_view& text, float* value) {
    SkipBlanks(text);
    if (ScanShortDecimal(text, value)) return true;
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

}  // namespace tavrel::chatext
