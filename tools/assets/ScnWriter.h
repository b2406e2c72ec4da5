#pragma once
// Writes SCN scene files: the 256-byte header, then one geometry chunk (type 1) per shape
// with its materials, vertices, faces and named groups. Only the generator writes SCN.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ZU2/rkMath.h"

namespace tavrel::assets {

struct ScnMaterialDesc {
    std::string name;
    std::array<float, 3> ambient{}, diffuse{}, specular{};
    float power = 0;
    std::string textureName;  // empty: no texture
    std::string textureFile;
};

struct ScnVertexDesc {
    rkVector position;
    rkVector normal;
    float u = 0, v = 0;
    uint32_t colour = 0xFFFFFFFF;  // 0xRRGGBBAA
};

struct ScnFaceDesc {
    uint16_t index[3];
    int32_t material;
};

struct ScnGroupDesc {
    std::string name;
    std::vector<uint32_t> first, second;  // the same length
};

struct ScnChunkDesc {
    std::string name;
    rkMatrix transform;  // chunk-local to world
    std::vector<ScnMaterialDesc> materials;
    std::vector<ScnVertexDesc> vertices;
    std::vector<ScnFaceDesc> faces;
    std::vector<ScnGroupDesc> groups;
};

class ScnWriter {
public:
    static constexpr uint32_t kVersion = 0x00010000;
    static constexpr size_t kFirstChunk = 256;

    explicit ScnWriter(std::string sourcePath) : sourcePath_(std::move(sourcePath)) {}
    void Add(ScnChunkDesc chunk) { chunks_.push_back({std::move(chunk), 0, {}}); }
    // A chunk of any other type: its head, then the bytes given.
    void AddRaw(uint32_t type, std::vector<uint8_t> body) {
        chunks_.push_back({{}, type, std::move(body)});
    }

    std::vector<uint8_t> Bytes() const;
    bool Write(const std::string& path) const;

private:
    struct Entry {
        ScnChunkDesc geometry;
        uint32_t rawType;  // 0: a geometry chunk
        std::vector<uint8_t> raw;
    };
    std::string sourcePath_;
    std::vector<Entry> chunks_;
};

}  // namespace tavrel::assets
