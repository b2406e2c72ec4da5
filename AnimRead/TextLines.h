#pragma once
// Line-level reading shared by the text motion formats: the next line that counts, section tags
// and the parse error, each raising the ERROBJ the formats name.
#include <string_view>

namespace tavrel {
class BLOCKREADER;
}  // namespace tavrel

namespace tavrel::textlines {

// Which lines a format passes over: empty lines always; HTR also comment lines ("#...") and
// lines of blanks alone.
enum class Skip { kEmpty, kEmptyAndComments };

// The next line that is not skipped; end of file raises code 2 "at Ln:%d".
std::string_view NextLine(BLOCKREADER& reader, Skip skip = Skip::kEmpty);
// The next line must start with the tag (any case); otherwise code 2 "At Line: %d".
void ExpectTag(BLOCKREADER& reader, std::string_view tag, Skip skip = Skip::kEmpty);
// Code 2 "At parsing : %s" with the line.
[[noreturn]] void RaiseParsing(std::string_view line);

}  // namespace tavrel::textlines
