#pragma once
// A message box as a result: the string identifier and the values of its placeholders.
#include <functional>
#include <string>

#include "settings/Placeholders.h"

namespace tavrel {

// Looks a string of the string table up by identifier; "" when there is none.
using StringLookup = std::function<std::string(int id)>;

struct Message {
    int id = 0;  // 0: no message
    PlaceholderValues values;

    explicit operator bool() const { return id != 0; }
    // The text to show: the looked-up string with its placeholders filled in.
    std::string Text(const StringLookup& lookup) const;
};

inline Message MakeMessage(int id, PlaceholderValues values = {}) {
    return Message{id, std::move(values)};
}

}  // namespace tavrel
