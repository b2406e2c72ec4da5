#include "base/FileReplacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

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

// Flushes the file at path to the disk.
bool Sync(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
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

bool FileReplacer::Replace(const std::string& target, const Writer& write) {
    const std::string final = FinalTarget(target);
    if (IsSpecial(final)) return write(final);
    std::string temporary = final + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    const bool prepared = ::fchmod(fd, ModeFor(final)) == 0;
    ::close(fd);
    bool done = false;
    try {
        done = prepared && write(temporary) && Sync(temporary, O_RDONLY) &&
               ::rename(temporary.c_str(), final.c_str()) == 0;
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (!done) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts once the folder is flushed too.
    const std::string folder = fs::path(final).parent_path().string();
    Sync(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
    return true;
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
