#include "settings/Message.h"

namespace tavrel {

std::string Message::Text(const StringLookup& lookup) const {
    std::string text = lookup ? lookup(id) : std::string();
    if (text.empty()) text = "Message " + std::to_string(id);
    return ReplacePlaceholders(text, values);
}

}  // namespace tavrel
