#include "base/ReplacingFile.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

namespace tavrel {

namespace fs = std::filesystem;

CReplacingFile::CReplacingFile(const std::string& target) : target_(target) {
    static std::atomic<int> counter{0};
    const fs::path path(target);
    // Hidden, and unique per process and object, so parallel writers never share it.
    const std::string name = "." + path.stem().string() + ".part-" + std::to_string(::getpid()) +
                             "-" + std::to_string(counter++) + path.extension().string();
    temp_ = (path.parent_path() / name).string();
}

CReplacingFile::~CReplacingFile() {
    if (committed_) return;
    std::error_code error;
    fs::remove(temp_, error);
}

bool CReplacingFile::Commit() {
    std::error_code error;
    fs::rename(temp_, target_, error);
    if (error) {
        fs::remove(temp_, error);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace tavrel
