// Runs a harness over files and folders of inputs, and over the seeds our writers make.
// With --seeds FOLDER it only writes those seeds there, to start a fuzzing corpus.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"

// Harnesses that set up the libraries before the first input define this.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

int Run(const std::string& bytes) {
    return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int WriteSeeds(const fs::path& folder) {
    fs::create_directories(folder);
    const std::vector<std::string> seeds = tavrel::fuzz::Seeds();
    for (size_t i = 0; i < seeds.size(); ++i) {
        const fs::path path = folder / ("seed-" + std::to_string(i));
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(seeds[i].data(), 1, seeds[i].size(), out) != seeds[i].size() ||
            std::fclose(out) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--seeds") return WriteSeeds(argv[2]);
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    for (const std::string& seed : tavrel::fuzz::Seeds()) {
        Run(seed);
        ++count;
    }
    for (int i = 1; i < argc; ++i) {
        std::vector<fs::path> files;
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::recursive_directory_iterator(argv[i])) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        } else {
            files.push_back(argv[i]);
        }
        for (const fs::path& file : files) {
            std::fprintf(stderr, "replay %s\n", file.c_str());
            Run(tavrel::fuzz::ReadFile(file));
            ++count;
        }
    }
    std::printf("%zu inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
