#pragma once
// Rules for the names of files that enter the timeline and the library, and the names the
// program makes for the files it writes.
#include <string>
#include <string_view>

#include "settings/Message.h"

namespace tavrel {

// A path that enters the timeline may be at most this long (message kPathTooLong).
constexpr size_t kMaxEnteringPathLength = 260;
// A path the timeline stores or makes (the 261-byte fields of its records) is at most this long.
constexpr size_t kMaxStoredPathLength = 259;
// Names the user gives files are at most this long without their extension.
constexpr size_t kFileNameLengthLimit = 50;

enum class NameKind {
    kFile,    // may neither begin nor end with a space
    kFolder,  // may not begin with a space
};

// Not empty, shorter than 261 characters, no leading (for files also no trailing) space, none of
// the characters " / \ < > : ; | = , * ? and no control character; "." and ".." are refused too.
bool IsValidFileName(std::string_view name, NameKind kind = NameKind::kFile);

// The name less its four-character extension (when it has one) is at most 50 characters.
bool CheckFileNameLength(std::string_view name, bool hasExtension);
// The refusal of CheckFileNameLength as a message, with the limit filled in.
Message FileNameTooLongMessage();

// The next free name derived from a path: "walk.cha" -> "walk_1.cha", "walk_1.cha" ->
// "walk_2.cha", skipping names whose files exist. "" when no such name fits in a stored path,
// or when the first 10000 candidates are all taken.
std::string MakeDerivedName(std::string_view path);

// folder/base<N>.ext with the first N from 1 whose file does not exist; "" when none fits or
// N would pass 10000.
std::string MakeNumberedName(std::string_view folder, std::string_view base,
                             std::string_view extension);

// Joins a folder and a name with one separator, whether or not the folder ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace tavrel
