// Binary and text FBX files as our own reading of them sees them (the keys' interpolation the importer
// forgets): it must refuse damage quietly, in bounded time and memory. The importer's own
// parser is not fuzzed here.
#include "AnimRead/SceneFileRead/FbxFile.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/FbxBinary.h"
#include "tests/support/FbxText.h"
#include "tests/support/SceneFigure.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    using tavrel::testing::FbxBinary;
    tavrel::testing::SceneFigure figure;
    figure.joints.resize(3);  // hips, spine, chest: a small file
    figure.takes = {{"Walk", 0.5, 4}, {"Run", 0.25, 8}};
    std::vector<std::string> seeds;
    const std::string path = WriteInput(std::string(), "seed.fbx");
    if (!figure.Export(path, "fbx")) return seeds;
    for (const int32_t flags : {0, 0x2, 0x8}) {
        std::string bytes = FbxBinary::Closed(ReadFile(path));
        FbxBinary::SetFlags(bytes, flags);
        seeds.push_back(bytes);
    }
    if (!figure.Export(path, "fbxa")) return seeds;
    for (const char* flags : {"2", "8"}) {
        std::string text = ReadFile(path);
        tavrel::testing::SetFbxTextValues(text, "KeyAttrFlags", flags);
        tavrel::testing::SetFbxTextValues(text, "KeyAttrDataFloat", "40,-25,0,0");
        seeds.push_back(text);
    }
    return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel::fuzz;
    const std::string path = WriteInput(data, size, "in.fbx");
    tavrel::ReadFbxFile(path.c_str());
    return 0;
}
