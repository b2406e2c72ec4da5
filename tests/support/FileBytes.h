#pragma once
// A file's bytes, for tests that compare what was written.
#include <fstream>
#include <sstream>
#include <string>

namespace tavrel::testing {

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace tavrel::testing
