#include "AnimRead/TextLines.h"

#include "AnimRead/BlockReader.h"
#include "AnimRead/ChaText.h"
#include "AnimRead/ErrObj.h"

namespace tavrel::textlines {
namespace {

bool IsCommentOrBlank(std::string_view line) {
    std::string_view rest = line;
    chatext::SkipBlanks(rest);
    return rest.empty() || line.front() == '#';
}

}  // namespace

std::string_view NextLine(BLOCKREADER& reader, Skip skip) {
    std::string_view line;
    do {
        if (!reader.ReadContentLine(&line)) {
            THROW_ERROBJ(ERR_CORRUPTED, "at Ln:%d", reader.LineCount());
        }
    } while (skip == Skip::kEmptyAndComments && IsCommentOrBlank(line));
    return line;
}

void ExpectTag(BLOCKREADER& reader, std::string_view tag, Skip skip) {
    if (!chatext::StartsWithTag(NextLine(reader, skip), tag)) {
        THROW_ERROBJ(ERR_CORRUPTED, "At Line: %d", reader.LineCount());
    }
}

void RaiseParsing(std::string_view line) {
    THROW_ERROBJ(ERR_CORRUPTED, "At parsing : %.*s", static_cast<int>(line.size()), line.data());
}

}  // namespace tavrel::textlines
