#include "tests/fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace tavrel::fuzz {
namespace {

struct ScratchFolder {
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavrel-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) Fail("cannot make a scratch folder");
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
    std::string path;
};

}  // namespace

const std::string& Scratch() {
    static ScratchFolder folder;
    return folder.path;
}

std::string WriteInput(const uint8_t* data, size_t size, const std::string& name) {
    const std::string path = Scratch() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush()) Fail("cannot write the input file");
    return path;
}

std::string WriteInput(const std::string& bytes, const std::string& name) {
    return WriteInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), name);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz finding: %s\n", what);
    std::abort();
}

}  // namespace tavrel::fuzz
