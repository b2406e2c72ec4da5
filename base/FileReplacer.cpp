#include "base/FileReplacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <vector>

namespace tavrel {
namespace {

namespace fs = std::filesystem;

// The file a symbolic link leads to; the path itself for anything else.
std::string FinalTarget(const std::string& target) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(target, error))) return target;
    const fs::path resolved = fs::weakly_canonical(target, error);
    return error ? target : resolved.string();
}

// A device, pipe or socket is written in place: renaming over it would replace it by a file.
bool IsSpecial(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::atomic<int64_t> flushes{0};

// Flushes the file at path to the disk.
bool Sync(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ++flushes;
    return ::close(fd) == 0 && synced;
}

std::mutex scratchLock;
std::vector<fs::path> scratchFolders;  // as given and as the file system resolves them

bool IsWithin(const fs::path& folder, const fs::path& outer) {
    const fs::path inside = folder.lexically_relative(outer);
    return !inside.empty() && *inside.begin() != "..";
}

bool InScratchFolder(const fs::path& folder) {
    const auto listed = [](const fs::path& path) {
        const std::lock_guard<std::mutex> lock(scratchLock);
        return std::any_of(scratchFolders.begin(), scratchFolders.end(),
                           [&](const fs::path& scratch) { return IsWithin(path, scratch); });
    };
    // Most paths are named as the folder was; resolving links costs a look at every level.
    if (folder.is_absolute() && listed(folder.lexically_normal())) return true;
    std::error_code error;
    const fs::path real = fs::weakly_canonical(folder, error);
    return !error && listed(real);
}

// The permission bits the new file gets: the old file's, else what a new file would get.
mode_t ModeFor(const std::string& target) {
    struct stat info;
    if (::stat(target.c_str(), &info) == 0) return info.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

FileReplacer::Pending::Pending(const std::string& target) : target_(target), final_(FinalTarget(target)) {
    if (IsSpecial(final_)) {
        inPlace_ = true;
        temporary_ = final_;
        return;
    }
    const std::string extension = fs::path(final_).extension().string();
    std::string temporary = final_ + ".tmp-XXXXXX" + extension;
    const int fd = ::mkstemps(temporary.data(), static_cast<int>(extension.size()));
    if (fd < 0) return;
    const bool prepared = ::fchmod(fd, ModeFor(final_)) == 0;
    ::close(fd);
    if (!prepared) {
        ::unlink(temporary.c_str());
        return;
    }
    temporary_ = temporary;
}

FileReplacer::Pending::~Pending() {
    if (!done_ && !inPlace_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool FileReplacer::Pending::Commit() {
    if (temporary_.empty() || done_) return done_;
    if (inPlace_) return done_ = true;
    std::string folder = fs::path(final_).parent_path().string();
    if (folder.empty()) folder = ".";
    const bool flush = !InScratchFolder(folder);
    if ((flush && !Sync(temporary_, O_RDONLY)) || ::rename(temporary_.c_str(), final_.c_str()) != 0) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    done_ = true;
    // The rename itself lasts once the folder is flushed too.
    if (flush) Sync(folder, O_RDONLY | O_DIRECTORY);
    return true;
}

void FileReplacer::AddScratchFolder(const std::string& folder) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(folder, error);
    if (error) return;
    const fs::path given = fs::absolute(folder, error).lexically_normal();
    const std::lock_guard<std::mutex> lock(scratchLock);
    for (const fs::path& path : {real, given}) {
        if (!path.empty() && std::find(scratchFolders.begin(), scratchFolders.end(), path) == scratchFolders.end())
            scratchFolders.push_back(path);
    }
}

int64_t FileReplacer::FlushCount() {
    return flushes;
}

bool FileReplacer::Replace(const std::string& target, const Writer& write) {
    Pending file(target);
    return file.IsOpen() && write(file.TempPath()) && file.Commit();
}

bool FileReplacer::Replace(const std::string& target, std::string_view bytes) {
    return Replace(target, [&](const std::string& temporary) {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const bool written = WriteAll(fd, bytes);
        return ::close(fd) == 0 && written;
    });
}

bool FileReplacer::Copy(const std::string& source, const std::string& target) {
    return Replace(target, [&](const std::string& temporary) {
        std::error_code error;
        fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error);
        return !error;
    });
}

}  // namespace tavrel
