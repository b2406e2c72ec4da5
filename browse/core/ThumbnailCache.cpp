#include "browse/core/ThumbnailCache.h"

#include <algorithm>

#include "settings/FileNameRules.h"

namespace tavrel {

ThumbnailPtr CThumbnailCache::GetPicture(const std::string& path, const ThumbnailMaker& maker,
                                         int width, int height, std::mutex& shared) {
    const SharedGate lock = [&shared](bool take) {
        take ? shared.lock() : shared.unlock();
        return true;
    };
    return GetPicture(path, maker, width, height, lock, nullptr);
}

ThumbnailPtr CThumbnailCache::GetPicture(const std::string& path, const ThumbnailMaker& maker,
                                         int width, int height, const SharedGate& gate,
                                         bool* refused) {
    if (refused) *refused = false;
    FileStamp stamp;
    if (path.empty() || path.size() > kMaxEnteringPathLength || !StampOfFile(path, &stamp)) {
        return nullptr;
    }
    if (ThumbnailPtr kept = FindFresh(path, stamp, width, height)) return kept;
    if (!gate(true)) {
        if (refused) *refused = true;
        return nullptr;
    }
    ThumbnailPtr picture;
    try {
        picture = maker ? maker(path, width, height) : nullptr;
    } catch (...) {
        gate(false);
        throw;
    }
    gate(false);
    if (picture) {
        Insert({path, stamp, picture});
        if (store_) store_->Save(path, stamp, *picture);
    }
    return picture;
}

ThumbnailPtr CThumbnailCache::FindFresh(const std::string& path, const FileStamp& stamp,
                                        int width, int height) {
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
    ThumbnailPtr stored = store_ ? store_->Load(path, stamp, width, height) : nullptr;
    if (stored) Insert({path, stamp, stored});
    return stored;
}

void CThumbnailCache::Forget(const std::string& path, int width, int height) {
    {
        std::lock_guard guard(lock_);
        std::erase_if(entries_, [&](const Entry& e) { return e.path == path; });
    }
    if (store_) store_->Remove(path, width, height);
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
