#pragma once
// The gallery's pictures kept on disk between runs, one small file per motion file and picture
// size, so a folder seen before shows its pictures without reading or drawing its motions
// again. An entry holds the motion file's path, time and size: a changed file misses and gets
// a new picture. A damaged entry is removed and counts as a miss. The folder never grows past
// its limit: the entries used longest ago are removed first.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "browse/core/ThumbnailPicture.h"

namespace tavrel {

// What tells one version of a file from the next.
struct FileStamp {
    int64_t time = 0;  // modification time, in the file clock's ticks
    uintmax_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a regular file; false for anything else or a file that cannot be read.
bool StampOfFile(const std::string& path, FileStamp* stamp);

// The user's store, shared by the editor and the command line: thumbnails in the cache folder.
std::string DefaultThumbnailStoreFolder();

class CThumbnailStore {
public:
    static constexpr uintmax_t kDefaultLimit = uintmax_t(128) << 20;  // bytes
    static constexpr int kMaxSide = 1024;                             // pixels

    // The folder is made (private to the user) when the first entry is written.
    explicit CThumbnailStore(std::string folder, uintmax_t limit = kDefaultLimit);

    // The picture kept for the file at this stamp and size; null when there is none, the file
    // changed since, or the entry is damaged (it is then removed).
    ThumbnailPtr Load(const std::string& path, const FileStamp& stamp, int width, int height);
    // Keeps the picture (or the reason it could not be made); false when it cannot be written.
    bool Save(const std::string& path, const FileStamp& stamp, const ThumbnailPicture& picture);
    // Forgets the picture of the file at that size.
    void Remove(const std::string& path, int width, int height);
    const std::string& Folder() const { return folder_; }
    // The bytes the entries take, as last counted.
    uintmax_t Used();

    // The entry's file name: a hash of the path and the size.
    static std::string EntryName(const std::string& path, int width, int height);

private:
    std::string EntryPath(const std::string& path, int width, int height) const;
    void CountUsed();
    void Trim();

    std::string folder_;
    uintmax_t limit_;
    std::atomic<bool> made_{false};  // the folder stands
    std::mutex lock_;                // guards used_ and the trimming
    bool counted_ = false;
    uintmax_t used_ = 0;
};

}  // namespace tavrel
