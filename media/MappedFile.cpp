#include "media/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel {

CMappedFile::~CMappedFile() {
    Close();
}

bool CMappedFile::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (ok && info.st_size > 0) {
        void* address = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ok = address != MAP_FAILED;
        if (ok) {
            data_ = static_cast<const uint8_t*>(address);
            size_ = size_t(info.st_size);
        }
    }
    ::close(fd);
    return ok;
}

void CMappedFile::Close() {
    if (data_) ::munmap(const_cast<uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace tavrel
