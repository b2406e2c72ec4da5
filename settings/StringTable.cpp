#include "settings/StringTable.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "base/DebugOutput.h"

namespace tavrel {

// Defined in the file generated from resources/Vesk/strings.tsv.
extern const char* const kBuiltInStringTable;

namespace {

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    }
    return out;
}

}  // namespace

std::optional<CStringTable> CStringTable::Parse(std::string_view text) {
    CStringTable table;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const size_t tab = line.find('\t');
        int id = 0;
        const char* idEnd = line.data() + (tab == std::string_view::npos ? line.size() : tab);
        auto [ptr, error] = std::from_chars(line.data(), idEnd, id);
        if (tab == std::string_view::npos || error != std::errc() || ptr != idEnd ||
            !table.texts_.emplace(id, Unescape(line.substr(tab + 1))).second) {
            DebugPrintf("CStringTable::Parse failed: bad or repeated entry in line %d\n",
                        lineNumber);
            return std::nullopt;
        }
    }
    return table;
}

std::optional<CStringTable> CStringTable::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        DebugPrintf("CStringTable::Load failed: cannot open %s\n", path.c_str());
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

const CStringTable& CStringTable::BuiltIn() {
    static const CStringTable table = Parse(kBuiltInStringTable).value_or(CStringTable());
    return table;
}

std::string CStringTable::Get(int id) const {
    auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

StringLookup CStringTable::Lookup() const {
    return [this](int id) { return Get(id); };
}

}  // namespace tavrel
