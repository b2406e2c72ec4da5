#pragma once
// The string table of the resource bundle: identifier -> text, kept as a tab-separated file
// (resources/Vesk/strings.tsv) that the app's bundle carries and that this library embeds.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "settings/Message.h"

namespace tavrel {

class CStringTable {
public:
    // Lines "identifier<TAB>text"; '#' starts a comment line. In the text a backslash escapes
    // the next character: "\n" is a line break, "\t" a tab, "\\" a backslash. Returns
    // nothing when a line is malformed or an identifier repeats, naming the line in the debug
    // output.
    static std::optional<CStringTable> Parse(std::string_view text);
    static std::optional<CStringTable> Load(const std::string& path);
    // The table built into the program from resources/Vesk/strings.tsv.
    static const CStringTable& BuiltIn();

    // The text, or "" when the identifier is unknown.
    std::string Get(int id) const;
    bool Has(int id) const { return texts_.count(id) != 0; }
    size_t Size() const { return texts_.size(); }
    // A lookup function over this table (which must outlive it).
    StringLookup Lookup() const;

private:
    std::map<int, std::string> texts_;
};

}  // namespace tavrel
