#pragma once
// What the gallery lists of a folder: the files whose extension is accepted and whose motion
// has frames, found by reading only the head of each file.
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

// The accepted extensions from their comma-separated list (string 61307): lower case, without
// dots or surrounding spaces, empty pieces left out.
std::vector<std::string> ParseAcceptedExtensions(std::string_view list);

// The text after the name's last '.', in lower case, is one of the extensions.
bool HasAcceptedExtension(std::string_view name, const std::vector<std::string>& extensions);

// The head of the motion file reads, and the file holds frames after it.
bool MotionHasFrames(const std::string& path);

struct MotionFolderListing {
    std::vector<std::string> names;       // shown files, in folder order as listed
    std::vector<std::string> unreadable;  // accepted names whose motion cannot be shown
};

// The regular files of the folder (no subfolders, no recursion) with accepted extensions,
// sorted by name; an unreadable folder lists nothing.
MotionFolderListing ListMotionFolder(const std::string& folder,
                                     const std::vector<std::string>& extensions);

}  // namespace tavrel
