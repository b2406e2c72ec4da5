#pragma once
// Scene files for the scene tests, written with the generator's SCN writer.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assets/ScnWriter.h"

namespace tavrel::test {

namespace fs = std::filesystem;
using assets::ScnChunkDesc;
using assets::ScnMaterialDesc;
using assets::ScnWriter;

// A folder of its own for each test, removed afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const fs::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::string Write(const std::string& name, const std::string& text) const;

private:
    fs::path path_;
};

ScnMaterialDesc Material(const std::string& name, float grey = 0.5f,
                         const std::string& textureFile = "");
// A chunk of one triangle per material (material index i for triangle i), identity transform.
ScnChunkDesc Triangles(const std::string& name, int materials);
std::vector<uint8_t> Bytes(const ScnWriter& writer);
std::vector<uint8_t> ReadBytes(const std::string& path);

// Byte offsets of the first geometry chunk's fields in a written file.
constexpr size_t kChunk0 = 256;
constexpr size_t kMaterialCountAt = kChunk0 + 136;
constexpr size_t kVertexCountAt = kChunk0 + 140;
constexpr size_t kFaceCountAt = kChunk0 + 144;
constexpr size_t kGroupCountAt = kChunk0 + 148;
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);

}  // namespace tavrel::test
