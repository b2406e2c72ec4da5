#pragma once
// The desktop trash of the freedesktop.org trash rules, in the user's data folder: a deleted
// file or folder moves to Trash/files under a free name, with Trash/info/<name>.trashinfo
// recording where it came from and when, so that a file manager can restore it.
#include <string>

#include "browse/core/LibraryFolders.h"

namespace tavrel {

// Moves the file or folder into the trash below dataHome ($XDG_DATA_HOME); on another file
// system it is copied there first and removed only once the copy is whole. False when it
// cannot be done: nothing changed, except for a folder that could be removed only in part,
// whose whole copy then stays in the trash so that no file is lost.
bool MoveToDesktopTrash(const std::string& path, const std::string& dataHome,
                        const MoveSteps& steps = {});

}  // namespace tavrel
