#include "settings/Message.h"

#include <filesystem>

namespace tavrel {

std::string Message::Text(const StringLookup& lookup) const {
    std::string text = lookup ? lookup(id) : std::string();
    if (text.empty()) text = "Message " + std::to_string(id);
    return ReplacePlaceholders(text, values);
}

Message FileMessage(int id, const std::string& path, const std::string& reason) {
    return MakeMessage(
        id, {{std::string(kFileNameToken), std::filesystem::path(path).filename().string()},
             {std::string(kReasonToken), reason}});
}

Message FilesMessage(int id, const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        names.push_back(std::filesystem::path(path).filename().string());
    }
    return MakeMessage(id, {{std::string(kFileNamesToken), JoinLines(names)}});
}

}  // namespace tavrel
