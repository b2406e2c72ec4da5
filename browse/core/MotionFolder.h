#pragma once
// What the gallery lists of a folder: the files whose extension is accepted, by name alone, so
// a folder of thousands of long motions lists at once. Whether each reads to its last frame is
// found later, by the thumbnail worker (OpenWholeMotion).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AnimRead/AnimFile.h"

namespace tavrel {

// The accepted extensions from their comma-separated list (string 61307): lower case, without
// dots or surrounding spaces, empty pieces left out.
std::vector<std::string> ParseAcceptedExtensions(std::string_view list);

// The text after the name's last '.', in lower case, is one of the extensions.
bool HasAcceptedExtension(std::string_view name, const std::vector<std::string>& extensions);

// The motion file read whole, head and every frame; null, with why it cannot be shown (for its
// tooltip), when it does not read or has no frame.
std::unique_ptr<ANIMFILE> OpenWholeMotion(const std::string& path, std::string* reason);
// Why the motion file cannot be shown; empty when it reads whole.
std::string MotionUnreadableReason(const std::string& path);
// The motion file reads, head and every frame, and has at least one frame.
bool MotionHasFrames(const std::string& path);

struct MotionFolderListing {
    std::vector<std::string> names;       // shown files, in folder order as listed
    std::vector<std::string> unreadable;  // accepted names that cannot be opened at all
    std::vector<std::string> reasons;     // why not, one for each unreadable name
};

// The first folder, in the tree's order (the folder itself, then its subfolders depth first,
// ordered as the tree shows them), that holds a file with an accepted extension; the folder
// itself when none does. Links are not followed, so a loop ends.
std::string FirstFolderWithMotions(const std::string& folder,
                                   const std::vector<std::string>& extensions);

// The regular files of the folder (no subfolders, no recursion) with accepted extensions,
// sorted by name; an unreadable folder lists nothing. No file is opened: only a path too long
// to open makes a file unreadable here.
MotionFolderListing ListMotionFolder(const std::string& folder,
                                     const std::vector<std::string>& extensions);

}  // namespace tavrel
