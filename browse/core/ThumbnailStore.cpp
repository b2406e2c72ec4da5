#include "browse/core/ThumbnailStore.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "settings/UserDataFolder.h"

namespace tavrel {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[4] = {'T', 'V', 'T', 'H'};
constexpr uint32_t kVersion = 1;
constexpr char kExtension[] = ".tht";
constexpr size_t kMaxText = 4096;  // a path or a reason; longer is damage

uint64_t Fnv1a(const void* data, size_t size, uint64_t hash = 0xcbf29ce484222325ull) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

class Writer {
public:
    template <typename T>
    void Put(const T& value) {
        PutBytes(&value, sizeof(T));
    }
    void PutBytes(const void* data, size_t size) {
        const size_t at = bytes.size();
        bytes.resize(at + size);
        if (size) std::memcpy(bytes.data() + at, data, size);
    }
    void PutText(const std::string& text) {
        Put(uint32_t(text.size()));
        PutBytes(text.data(), text.size());
    }
    std::vector<uint8_t> bytes;
};

// Reads what Writer wrote; every read past the end or over a limit fails the whole entry.
class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    template <typename T>
    bool Get(T* value) {
        if (bytes_.size() - at_ < sizeof(T)) return false;
        std::memcpy(value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return true;
    }
    bool GetBytes(size_t count, const uint8_t** data) {
        if (bytes_.size() - at_ < count) return false;
        *data = bytes_.data() + at_;
        at_ += count;
        return true;
    }
    bool GetText(std::string* text) {
        uint32_t size = 0;
        const uint8_t* data = nullptr;
        if (!Get(&size) || size > kMaxText || !GetBytes(size, &data)) return false;
        text->assign(reinterpret_cast<const char*>(data), size);
        return true;
    }
    size_t At() const { return at_; }
    size_t Left() const { return bytes_.size() - at_; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t at_ = 0;
};

struct Entry {
    std::string path;
    FileStamp stamp;
    ThumbnailPicture picture;
};

std::vector<uint8_t> Encode(const std::string& path, const FileStamp& stamp,
                            const ThumbnailPicture& picture) {
    Writer w;
    w.bytes.reserve(64 + path.size() + picture.problem.size() + picture.rgb.size());
    w.PutBytes(kMagic, sizeof kMagic);
    w.Put(kVersion);
    w.PutText(path);
    w.Put(stamp.time);
    w.Put(uint64_t(stamp.size));
    w.Put(int32_t(picture.width));
    w.Put(int32_t(picture.height));
    w.PutText(picture.problem);
    w.Put(uint32_t(picture.rgb.size()));
    w.PutBytes(picture.rgb.data(), picture.rgb.size());
    w.Put(Fnv1a(w.bytes.data(), w.bytes.size()));
    return std::move(w.bytes);
}

// False for anything but a whole, consistent entry.
bool Decode(const std::vector<uint8_t>& bytes, Entry* entry) {
    Reader r(bytes);
    char magic[4];
    uint32_t version = 0;
    uint64_t size = 0;
    int32_t width = 0, height = 0;
    uint32_t rgbSize = 0;
    const uint8_t* rgb = nullptr;
    if (!r.Get(&magic) || std::memcmp(magic, kMagic, sizeof magic) != 0 || !r.Get(&version) ||
        version != kVersion || !r.GetText(&entry->path) || !r.Get(&entry->stamp.time) ||
        !r.Get(&size) || !r.Get(&width) || !r.Get(&height) || !r.GetText(&entry->picture.problem))
        return false;
    if (width < 1 || height < 1 || width > CThumbnailStore::kMaxSide ||
        height > CThumbnailStore::kMaxSide || !r.Get(&rgbSize))
        return false;
    // A picture has every pixel; a file that cannot be shown has none.
    const uint32_t expected = entry->picture.problem.empty() ? uint32_t(width * height * 3) : 0;
    if (rgbSize != expected || !r.GetBytes(rgbSize, &rgb)) return false;
    const size_t summed = r.At();
    uint64_t sum = 0;
    if (!r.Get(&sum) || r.Left() != 0 || sum != Fnv1a(bytes.data(), summed)) return false;
    entry->stamp.size = size;
    entry->picture.width = width;
    entry->picture.height = height;
    entry->picture.rgb.assign(rgb, rgb + rgbSize);
    return true;
}

bool ReadWhole(const std::string& file, std::vector<uint8_t>* bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // An entry is the picture and two short texts; a larger file is not one of ours.
    constexpr std::streamoff kMaxEntry =
        std::streamoff(CThumbnailStore::kMaxSide) * CThumbnailStore::kMaxSide * 3 + 4 * kMaxText;
    if (size <= 0 || size > kMaxEntry) return false;
    bytes->resize(size_t(size));
    in.seekg(0);
    return bool(in.read(reinterpret_cast<char*>(bytes->data()), size));
}

// A name no other writer, in this process or another, uses at the same time.
std::string TemporaryName(const std::string& file) {
    static std::atomic<unsigned> counter{0};
    return file + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

}  // namespace

bool StampOfFile(const std::string& path, FileStamp* stamp) {
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

std::string DefaultThumbnailStoreFolder() {
    return (fs::path(UserCacheFolder()) / "thumbnails").string();
}

CThumbnailStore::CThumbnailStore(std::string folder, uintmax_t limit)
    : folder_(std::move(folder)), limit_(limit) {}

std::string CThumbnailStore::EntryName(const std::string& path, int width, int height) {
    const std::string key = path + '\0' + std::to_string(width) + 'x' + std::to_string(height);
    char name[17];
    std::snprintf(name, sizeof name, "%016llx",
                  static_cast<unsigned long long>(Fnv1a(key.data(), key.size())));
    return name + std::string(kExtension);
}

std::string CThumbnailStore::EntryPath(const std::string& path, int width, int height) const {
    return (fs::path(folder_) / EntryName(path, width, height)).string();
}

ThumbnailPtr CThumbnailStore::Load(const std::string& path, const FileStamp& stamp, int width,
                                   int height) {
    if (folder_.empty()) return nullptr;
    const std::string file = EntryPath(path, width, height);
    std::vector<uint8_t> bytes;
    std::error_code error;
    if (!ReadWhole(file, &bytes)) {
        if (fs::exists(file, error)) fs::remove(file, error);  // unreadable or of no size
        return nullptr;
    }
    Entry entry;
    if (!Decode(bytes, &entry) || entry.picture.width != width || entry.picture.height != height) {
        fs::remove(file, error);
        return nullptr;
    }
    // Another path with the same hash, or an older version of the file: remade and replaced.
    if (entry.path != path || !(entry.stamp == stamp)) return nullptr;
    // Used now: the last to go when the folder is trimmed.
    fs::last_write_time(file, fs::file_time_type::clock::now(), error);
    return std::make_shared<const ThumbnailPicture>(std::move(entry.picture));
}

bool CThumbnailStore::Save(const std::string& path, const FileStamp& stamp,
                           const ThumbnailPicture& picture) {
    if (folder_.empty() || picture.width < 1 || picture.height < 1 || picture.width > kMaxSide ||
        picture.height > kMaxSide || path.size() > kMaxText || picture.problem.size() > kMaxText)
        return false;
    if (picture.problem.empty() && picture.rgb.size() != size_t(picture.width) * picture.height * 3)
        return false;
    std::error_code error;
    if (!made_) {
        fs::create_directories(fs::path(folder_).parent_path(), error);
        if (!MakePrivateFolder(folder_)) return false;
        made_ = true;
    }
    const std::string file = EntryPath(path, picture.width, picture.height);
    const std::vector<uint8_t> bytes = Encode(path, stamp, picture);
    const std::string temporary = TemporaryName(file);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out.flush()) {
            out.close();
            made_ = false;  // the folder may have gone: made again next time
            fs::remove(temporary, error);
            return false;
        }
    }
    // Stamped with the same fine clock a use stamps it with, so the oldest goes first.
    fs::last_write_time(temporary, fs::file_time_type::clock::now(), error);
    // Renamed into place whole: a reader never sees half an entry.
    const uintmax_t replaced = fs::file_size(file, error);
    const bool existed = !error;
    fs::rename(temporary, file, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    std::lock_guard guard(lock_);
    if (!counted_) {
        CountUsed();
    } else {
        used_ = used_ + bytes.size() - (existed ? std::min(replaced, used_) : 0);
    }
    if (used_ > limit_) Trim();
    return true;
}

void CThumbnailStore::Remove(const std::string& path, int width, int height) {
    if (folder_.empty()) return;
    std::error_code error;
    const std::string file = EntryPath(path, width, height);
    const uintmax_t size = fs::file_size(file, error);
    if (!error && fs::remove(file, error)) {
        std::lock_guard guard(lock_);
        used_ -= std::min(size, used_);
    }
}

uintmax_t CThumbnailStore::Used() {
    std::lock_guard guard(lock_);
    if (!counted_) CountUsed();
    return used_;
}

void CThumbnailStore::CountUsed() {
    used_ = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        std::error_code sizeError;
        if (it->path().extension() != kExtension) continue;
        const uintmax_t size = it->file_size(sizeError);
        if (!sizeError) used_ += size;
    }
    counted_ = true;
}

// Down to three quarters of the limit, so the next few pictures do not each trim again.
void CThumbnailStore::Trim() {
    struct Kept {
        fs::file_time_type used;
        uintmax_t size;
        fs::path file;
    };
    std::vector<Kept> kept;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        std::error_code itemError;
        if (it->path().extension() != kExtension) continue;
        const uintmax_t size = it->file_size(itemError);
        const fs::file_time_type used = it->last_write_time(itemError);
        if (!itemError) kept.push_back({used, size, it->path()});
    }
    std::sort(kept.begin(), kept.end(),
              [](const Kept& a, const Kept& b) { return a.used < b.used; });
    used_ = 0;
    for (const Kept& k : kept) used_ += k.size;
    const uintmax_t target = limit_ / 4 * 3;
    for (const Kept& k : kept) {
        if (used_ <= target) break;
        std::error_code removeError;
        if (fs::remove(k.file, removeError)) used_ -= std::min(k.size, used_);
    }
}

}  // namespace tavrel
