#pragma once
// Text from a scene file as it may go into a message or a name: cut short, control characters
// shown as '?'.
#include <string>

namespace tavrel::scenefile {

inline std::string Printable(std::string text, size_t most = 60) {
    if (text.size() > most) text.resize(most);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    }
    return text;
}

}  // namespace tavrel::scenefile
