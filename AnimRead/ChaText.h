#pragma once
// Scanning of CHA-style text lines the way the format's scanf patterns read them: words end at
// white space, blanks in a pattern match any run of white space, numbers skip blanks first.
#include <cstdint>
#include <string_view>

namespace tavrel::chatext {

bool IsBlank(char c);
void SkipBlanks(std::string_view& text);
// A run of non-blank characters; false when there is none.
bool ScanWord(std::string_view& text, std::string_view* word);
// "%d": an optional sign and digits that fit 32 bits.
bool ScanInt(std::string_view& text, int32_t* value);
// "%f": a decimal or special (inf, nan) number.
bool ScanFloat(std::string_view& text, float* value);
// "key %d" at the start of the line, key letter for letter.
bool ScanKeyInt(std::string_view line, std::string_view key, int32_t* value);
// The line starts with tag, compared without regard to case.
bool StartsWithTag(std::string_view line, std::string_view tag);

}  // namespace tavrel::chatext
