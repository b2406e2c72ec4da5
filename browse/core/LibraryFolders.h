#pragma once
// Folder rules of the library tree: which subfolders a folder shows and in what order, the
// name of a new folder, and the checks on a name the user types.
#include <functional>
#include <string>
#include <vector>

#include "settings/Message.h"

namespace tavrel {

// The names of the folder's subfolders (no "." or ".."), ordered without regard to case; an
// unreadable folder has none. Links to folders count as folders.
std::vector<std::string> ListSubfolders(const std::string& folder);
bool HasSubfolder(const std::string& folder);

// "<folder>/<base>", or "<folder>/<base> (N)" with the first N from 2 whose name is free.
std::string MakeNewFolderPath(const std::string& folder, const std::string& base);

// Checks a folder or file name the user typed: a valid name of at most 50 characters (files:
// without their extension). The refusal's message, or none.
Message CheckUserName(const std::string& name, bool isFile);

// Creates the folder (its parent must exist); refuses a taken name.
bool CreateFolder(const std::string& path);
// Renames within one file system without ever replacing an existing target; false when the
// target exists or the rename fails (errno tells which).
bool RenameNoReplace(const std::string& from, const std::string& to);
// Removes a file, or a folder with all it holds; false when anything could not be removed.
bool RemoveTree(const std::string& path);

// The file-system steps of a move; tests replace one to see its failure handled.
struct MoveSteps {
    // Renames without replacing; errno says why it failed (EXDEV: another file system).
    std::function<bool(const std::string& from, const std::string& to)> rename = RenameNoReplace;
    std::function<bool(const std::string& path)> remove = RemoveTree;
};
// The name a renamed file gets from what the user typed: a name typed without an extension
// keeps the file's own, so that a motion file stays one.
std::string NameKeepingExtension(const std::string& old, const std::string& typed);
// How much of a file name comes before its extension (all of it when it has none): the part a
// rename offers to type over.
size_t StemLength(const std::string& name);

// Renames a file or folder inside its folder; refuses a taken name.
bool RenameEntry(const std::string& from, const std::string& newName, std::string* newPath);

}  // namespace tavrel
