#include "settings/Placeholders.h"

namespace tavrel {

std::string ReplacePlaceholders(std::string_view text, const PlaceholderValues& values) {
    std::string result;
    result.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto match = [&](const auto& entry) {
            return !entry.first.empty() && text.substr(i, entry.first.size()) == entry.first;
        };
        const PlaceholderValues::value_type* hit = nullptr;
        for (const auto& entry : values) {
            // The longest token wins where one token is the prefix of another.
            if (match(entry) && (!hit || entry.first.size() > hit->first.size())) hit = &entry;
        }
        if (hit) {
            result += hit->second;
            i += hit->first.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::string JoinLines(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty()) joined += '\n';
        joined += name;
    }
    return joined;
}

}  // namespace tavrel
