#pragma once
// A message box as a result: the string identifier and the values of its placeholders.
#include <functional>
#include <string>
#include <vector>

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

// A message about one file: its name (the last part of the path) and why it could not be used.
Message FileMessage(int id, const std::string& path, const std::string& reason);

// A message listing files by name, one a line.
Message FilesMessage(int id, const std::vector<std::string>& paths);

}  // namespace tavrel
