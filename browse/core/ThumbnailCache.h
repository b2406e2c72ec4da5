#pragma once
// The pictures made last, newest first: at most 256 of them. A hit leaves the order alone, so
// the cache holds the 256 pictures made most recently, in the order they were made. A file
// whose time or size changed since its picture was made gets a new one.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "browse/core/ThumbnailPicture.h"

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

private:
    struct Stamp {
        int64_t time = 0;
        uintmax_t size = 0;
        bool operator==(const Stamp&) const = default;
    };
    struct Entry {
        std::string path;
        Stamp stamp;
        ThumbnailPtr picture;
    };

    static bool StampOf(const std::string& path, Stamp* stamp);
    void Insert(Entry entry);

    mutable std::mutex lock_;
    std::vector<Entry> entries_;  // newest first
};

}  // namespace tavrel
