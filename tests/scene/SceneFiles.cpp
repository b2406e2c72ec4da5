#include "tests/scene/SceneFiles.h"

#include <fstream>
#include <iterator>
#include <random>

#include "ZU2/rkMath.h"

namespace tavrel::test {

TempFolder::TempFolder() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("tavrel-scene-" + std::to_string(seed()));
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code error;
    fs::remove_all(path_, error);
}

std::string TempFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return File(name);
}

std::string TempFolder::Write(const std::string& name, const std::string& text) const {
    return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

ScnMaterialDesc Material(const std::string& name, float grey, const std::string& textureFile) {
    ScnMaterialDesc m;
    m.name = name;
    m.ambient = {grey, grey, grey};
    m.diffuse = {grey, grey, grey};
    m.specular = {0.1f, 0.2f, 0.3f};
    m.power = 12.0f;
    if (!textureFile.empty()) {
        m.textureName = name + "Map";
        m.textureFile = textureFile;
    }
    return m;
}

ScnChunkDesc Triangles(const std::string& name, int materials) {
    ScnChunkDesc chunk;
    chunk.name = name;
    rkIdentity(&chunk.transform);
    for (int m = 0; m < std::max(materials, 1); ++m) {
        if (materials > 0) chunk.materials.push_back(Material("m" + std::to_string(m)));
        const auto base = static_cast<uint16_t>(chunk.vertices.size());
        const float x = static_cast<float>(m) * 10.0f;
        chunk.vertices.push_back({{x, 0, 0}, {0, -1, 0}, 0, 0.25f, 0x11223344});
        chunk.vertices.push_back({{x + 1, 0, 0}, {0, -1, 0}, 1, 0.25f, 0x11223344});
        chunk.vertices.push_back({{x, 0, 1}, {0, -1, 0}, 0, 1, 0x11223344});
        chunk.faces.push_back(
            {{base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2)}, m});
    }
    return chunk;
}

std::vector<uint8_t> Bytes(const ScnWriter& writer) {
    return writer.Bytes();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace tavrel::test
