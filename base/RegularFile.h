#pragma once
// Only regular files are read as files: a pipe or a device would never end, and a path with a
// NUL in it names, for the system, the shorter path before the NUL.
#include <cstdint>
#include <optional>
#include <string>

namespace tavrel {

bool IsRegularFile(const std::string& path);

// Which file a path names, and as it was last written: a file put in its place under the same
// name (copied anew, another one renamed onto it, rewritten) compares unequal to the one read
// before. The working folder gives every project's files the same names.
struct FileIdentity {
    uint64_t device = 0, inode = 0;
    int64_t size = 0, modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};
// Nothing when the path names nothing that can be looked at.
std::optional<FileIdentity> IdentityOf(const std::string& path);

}  // namespace tavrel
