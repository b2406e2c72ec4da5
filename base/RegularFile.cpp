#include "base/RegularFile.h"

#include <sys/stat.h>

#include <filesystem>

namespace tavrel {

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return path.find('\0') == std::string::npos && std::filesystem::is_regular_file(path, error);
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info;
    if (path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0) return {};
    return FileIdentity{uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size),
                        int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

}  // namespace tavrel
