#include "base/RegularFile.h"

#include <filesystem>

namespace tavrel {

bool IsRegularFile(const std::string& path) {
    std::error_code error;
    return path.find('\0') == std::string::npos && std::filesystem::is_regular_file(path, error);
}

}  // namespace tavrel
