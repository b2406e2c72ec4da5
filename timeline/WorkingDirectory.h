#pragma once
// The private folder that holds a copy of every file the timeline plays and every motion file
// an edit writes: the user's own files are never opened for writing.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Message.h"
#include "settings/UserDataFolder.h"
#include "timeline/MotionSide.h"

namespace tavrel {

// A file brought into the working directory: its path there, or the message of the failure.
struct ImportResult {
    std::string path;
    Message message;
    explicit operator bool() const { return !path.empty(); }
};

class CWorkingDirectory {
public:
    // Makes <user's folder>/<outer>/<inner>, one level at a time, where missing; the user's
    // folder is UserTempFolder(tempPath), the other two are strings of the table. An empty
    // tempPath means the system's temporary folder. Each level is made private to this user; a
    // level that exists but is not a folder of this user is refused. Several editors of one
    // user may run at once (over other data folders): each holds a lock on its folder for as
    // long as it (or a copy) lives, and a folder locked by another is passed over for
    // <inner>-2, <inner>-3 and so on. On failure, the message is set and nothing is returned.
    static std::optional<CWorkingDirectory> Create(std::string_view tempPath,
                                                   const StringLookup& lookup, Message* failure);

    const std::string& Path() const { return path_; }
    // The extension of the program's own motion format (without the dot).
    const std::string& NativeExtension() const { return nativeExtension_; }

    // Copies a regular file in under its own name, or a derived one when that is taken.
    ImportResult CopyIn(const std::string& path, int failureMessage) const;
    // Copies a regular file in under exactly that name; fails when the name is taken.
    ImportResult CopyInAs(const std::string& path, const std::string& name,
                          int failureMessage) const;
    // A file the motion side converts (HTR, another skeleton, fps > 0: another frame rate) is
    // written in the program's own format under its base name; any other motion file is
    // copied as it is. Project files bring their clips in the same way, at their own rate.
    // What the user is told of the import (joints left out, the skeleton taken) goes into notes.
    // A file of takes gives the named one (the first when empty).
    ImportResult ImportMotionFile(const std::string& path, CMotionSide& motion, int fps,
                                  ImportNotes* notes = nullptr,
                                  const std::string& take = {}) const;
    // A free name for a file the program writes here: base<N>.<native extension>.
    std::string NumberedName(std::string_view base) const;

    // Deletes everything inside the working directory.
    bool Empty() const;
    // Deletes the files with that extension (without regard to case), except `keep`.
    void RemoveFilesWithExtension(std::string_view extension, const std::string& keep = {}) const;

private:
    CWorkingDirectory(std::string path, std::string nativeExtension, std::shared_ptr<int> lock)
        : path_(std::move(path)),
          nativeExtension_(std::move(nativeExtension)),
          lock_(std::move(lock)) {}

    std::string path_;
    std::string nativeExtension_;
    std::shared_ptr<int> lock_;  // the lock file's descriptor, closed with the last copy
};

// Deletes every entry of the folder: read-only files and folders are made writable first,
// sub-folders are emptied and removed, symbolic links are removed without following them.
bool EmptyFolder(const std::string& folder);

}  // namespace tavrel
