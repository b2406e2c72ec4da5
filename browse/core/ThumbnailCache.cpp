#include "browse/core/ThumbnailCache.h"

#include <algorithm>
#include <filesystem>

#include "settings/FileNameRules.h"

namespace tavrel {

namespace fs = std::filesystem;

bool CThumbnailCache::StampOf(const std::string& path, Stamp* stamp) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::is_regular_file(status)) return false;
    const auto time = fs::last_write_time(path, error);
    if (error) return false;
    const uintmax_t size = fs::file_size(path, error);
    if (error) return false;
    stamp->time = time.time_since_epoch().count();
    stamp->size = size;
    return true;
}

ThumbnailPtr CThumbnailCache::GetPicture(const std::string& path, const ThumbnailMaker& maker,
                                         int width, int height, std::mutex& shared) {
    Stamp stamp;
    if (path.empty() || path.size() > kMaxEnteringPathLength || !StampOf(path, &stamp)) {
        return nullptr;
    }
    {
        std::lock_guard guard(lock_);
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [&](const Entry& e) { return e.path == path; });
        if (it != entries_.end()) {
            const bool sized = it->picture->width == width && it->picture->height == height;
            if (it->stamp == stamp && sized) return it->picture;
            entries_.erase(it);  // the file changed, or the size: its old picture is wrong now
        }
    }
    ThumbnailPtr picture;
    {
        std::lock_guard guard(shared);
        picture = maker ? maker(path, width, height) : nullptr;
    }
    if (picture) Insert({path, stamp, picture});
    return picture;
}

void CThumbnailCache::Insert(Entry entry) {
    std::lock_guard guard(lock_);
    // Another thread may have made the same picture meanwhile; keep one entry per path.
    std::erase_if(entries_, [&](const Entry& e) { return e.path == entry.path; });
    if (entries_.size() == kCapacity) entries_.pop_back();
    entries_.insert(entries_.begin(), std::move(entry));
}

ThumbnailPtr CThumbnailCache::Find(const std::string& path) const {
    std::lock_guard guard(lock_);
    for (const Entry& e : entries_) {
        if (e.path == path) return e.picture;
    }
    return nullptr;
}

std::vector<std::string> CThumbnailCache::Paths() const {
    std::lock_guard guard(lock_);
    std::vector<std::string> paths;
    paths.reserve(entries_.size());
    for (const Entry& e : entries_) paths.push_back(e.path);
    return paths;
}

void CThumbnailCache::Clear() {
    std::lock_guard guard(lock_);
    entries_.clear();
}

}  // namespace tavrel
