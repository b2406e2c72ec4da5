#pragma once
// The pictures made last, newest first: at most 256 of them. A hit leaves the order alone, so
// the cache holds the 256 pictures made most recently, in the order they were made. A file
// whose time or size changed since its picture was made gets a new one. Behind it, when given,
// a store on disk keeps every picture between runs: a picture found there is not made again.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "browse/core/ThumbnailPicture.h"
#include "browse/core/ThumbnailStore.h"

namespace tavrel {

class CThumbnailCache {
public:
    static constexpr size_t kCapacity = 256;

    // The picture of the file: from the cache, or made with the maker while the shared mutex
    // (the one lock of the 3D machinery) is held. Null for an empty path, a path longer than
    // 260 characters, a missing file, or a file the maker cannot show.
    ThumbnailPtr GetPicture(const std::string& path, const ThumbnailMaker& maker, int width,
                            int height, std::mutex& shared);
    // Takes (true) or gives back (false) the shared mutex; a take may be refused (false).
    using SharedGate = std::function<bool(bool take)>;
    // The same through a gate: when the gate refuses the mutex, nothing is made and refused
    // is set.
    ThumbnailPtr GetPicture(const std::string& path, const ThumbnailMaker& maker, int width,
                            int height, const SharedGate& gate, bool* refused);
    // The cached picture of the path (whether or not the file changed since), or null.
    ThumbnailPtr Find(const std::string& path) const;
    // The cached paths, newest first.
    std::vector<std::string> Paths() const;
    void Clear();
    // Forgets the file's picture at that size, here and in the store, so it is made again.
    void Forget(const std::string& path, int width, int height);
    // Keeps pictures in this store too (none: in memory only). Set before pictures are asked.
    void SetStore(std::unique_ptr<CThumbnailStore> store) { store_ = std::move(store); }
    CThumbnailStore* Store() const { return store_.get(); }

private:
    struct Entry {
        std::string path;
        FileStamp stamp;
        ThumbnailPtr picture;
    };

    ThumbnailPtr FindFresh(const std::string& path, const FileStamp& stamp, int width,
                           int height);
    void Insert(Entry entry);

    mutable std::mutex lock_;
    std::vector<Entry> entries_;  // newest first
    std::unique_ptr<CThumbnailStore> store_;
};

}  // namespace tavrel
