#include "tools/assets/ScnWriter.h"

#include <bit>
#include <cstring>
#include <fstream>

namespace tavrel::assets {
namespace {

constexpr size_t kGeometryRecord = 152;
constexpr size_t kMaterialRecord = 464;
constexpr size_t kTextureDescriptor = 180;
constexpr size_t kGroupRecord = 48;

class ByteWriter {
public:
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
    // A NUL-terminated text in a fixed field; longer text is cut to leave room for the NUL.
    void Text(const std::string& text, size_t field) {
        const size_t n = std::min(text.size(), field - 1);
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<long>(n));
        Zeros(field - n);
    }
    void Zeros(size_t n) { bytes_.resize(bytes_.size() + n, 0); }
    void Bytes(const std::vector<uint8_t>& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
    }
    size_t Size() const { return bytes_.size(); }
    void PatchU32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

void WriteTextureDescriptor(ByteWriter& out, const ScnMaterialDesc& m) {
    out.Zeros(20);
    out.Text(m.textureName, 32);
    out.Text(m.textureFile, 128);
}

void WriteMaterial(ByteWriter& out, const ScnMaterialDesc& m) {
    out.Text(m.name, 32);
    for (float c : m.ambient) out.F32(c);
    for (float c : m.diffuse) out.F32(c);
    for (float c : m.specular) out.F32(c);
    out.F32(m.power);
    out.Zeros(32);
    WriteTextureDescriptor(out, m);
    out.Zeros(kTextureDescriptor);  // the second descriptor is never read
}

void WriteChunk(ByteWriter& out, const ScnChunkDesc& chunk) {
    const size_t start = out.Size();
    out.U32(1);
    out.U32(0);  // size, patched below
    out.Text(chunk.name, 32);
    for (float e : chunk.transform.m) out.F32(e);
    out.Zeros(32);
    out.I32(static_cast<int32_t>(chunk.materials.size()));
    out.I32(static_cast<int32_t>(chunk.vertices.size()));
    out.I32(static_cast<int32_t>(chunk.faces.size()));
    out.I32(static_cast<int32_t>(chunk.groups.size()));
    for (const auto& m : chunk.materials) WriteMaterial(out, m);
    for (const auto& v : chunk.vertices) {
        for (float c : {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y,
                        v.normal.z, v.u, v.v}) {
            out.F32(c);
        }
        out.U32(v.colour);
    }
    for (const auto& f : chunk.faces) {
        for (uint16_t i : f.index) out.U32(i);
        out.I32(f.material);
    }
    for (const auto& g : chunk.groups) {
        out.Text(g.name, 32);
        out.I32(static_cast<int32_t>(g.first.size()));
        out.Zeros(kGroupRecord - 36);
        for (uint32_t e : g.first) out.U32(e);
        for (size_t i = 0; i < g.first.size(); ++i) out.U32(i < g.second.size() ? g.second[i] : 0);
    }
    out.PatchU32(start + 4, static_cast<uint32_t>(out.Size() - start));
}

static_assert(kMaterialRecord == 32 + 3 * 12 + 4 + 32 + 2 * kTextureDescriptor);
static_assert(kGeometryRecord == 8 + 32 + 64 + 32 + 16);

}  // namespace

std::vector<uint8_t> ScnWriter::Bytes() const {
    ByteWriter out;
    out.Text("SCN", 4);
    out.U32(kVersion);
    out.I32(static_cast<int32_t>(chunks_.size()));
    out.Zeros(24);  // six header words we give no meaning
    out.Text(sourcePath_, 128);
    out.Zeros(kFirstChunk - out.Size());
    for (const Entry& chunk : chunks_) {
        if (chunk.rawType == 0) {
            WriteChunk(out, chunk.geometry);
            continue;
        }
        out.U32(chunk.rawType);
        out.U32(static_cast<uint32_t>(8 + chunk.raw.size()));
        out.Bytes(chunk.raw);
    }
    return out.Take();
}

bool ScnWriter::Write(const std::string& path) const {
    const std::vector<uint8_t> bytes = Bytes();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace tavrel::assets
