#include "PngFile.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace tavrel::test {
namespace {

void PutBe32(std::vector<uint8_t>* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(v >> shift));
}

uint32_t GetBe32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

void PutChunk(std::vector<uint8_t>* out, const char* type, const std::vector<uint8_t>& data) {
    PutBe32(out, uint32_t(data.size()));
    const size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    PutBe32(out, uint32_t(crc32(0, out->data() + start, uInt(out->size() - start))));
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const uint32_t* pixels) {
    std::vector<uint8_t> raw;
    raw.reserve(size_t(height) * (size_t(width) * 4 + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[size_t(y) * width + x];
            raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
    packed.resize(packedSize);

    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBe32(&header, uint32_t(width));
    PutBe32(&header, uint32_t(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no interlace
    PutChunk(&file, "IHDR", header);
    PutChunk(&file, "IDAT", packed);
    PutChunk(&file, "IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return bool(out);
}

bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint32_t>* pixels) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    if (file.size() < 8 + 25 || std::memcmp(file.data() + 1, "PNG", 3) != 0) return false;
    std::vector<uint8_t> packed;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = GetBe32(&file[at]);
        if (at + 12 + length > file.size()) return false;
        const uint8_t* type = &file[at + 4];
        const uint8_t* data = &file[at + 8];
        if (std::memcmp(type, "IHDR", 4) == 0) {
            *width = int(GetBe32(data));
            *height = int(GetBe32(data + 4));
            if (data[8] != 8 || data[9] != 6 || data[12] != 0) return false;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.insert(packed.end(), data, data + length);
        }
        at += 12 + length;
    }
    std::vector<uint8_t> raw(size_t(*height) * (size_t(*width) * 4 + 1));
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(raw.data(), &rawSize, packed.data(), uLong(packed.size())) != Z_OK ||
        rawSize != raw.size()) {
        return false;
    }
    pixels->resize(size_t(*width) * *height);
    for (int y = 0; y < *height; ++y) {
        const uint8_t* row = raw.data() + y * (size_t(*width) * 4 + 1) + 1;
        if (row[-1] != 0) return false;  // WritePng never filters its rows
        for (int x = 0; x < *width; ++x) {
            const uint8_t* p = row + x * 4;
            (*pixels)[size_t(y) * *width + x] = uint32_t(p[3]) << 24 | p[0] << 16 | p[1] << 8 | p[2];
        }
    }
    return true;
}

}  // namespace tavrel::test
