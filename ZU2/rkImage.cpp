#include "ZU2/rkImage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <utility>

#include "ZU2/rkMessage.h"

namespace {

// Closes the file when the reader returns.
struct File {
    std::FILE* f;
    long size;
    ~File() {
        if (f) std::fclose(f);
    }
};

bool Open(File* file, const char* name) {
    file->f = std::fopen(name, "rb");
    if (!file->f) {
        rkMessage("Cannot open %s : %s", name, std::strerror(errno));
        return false;
    }
    std::fseek(file->f, 0, SEEK_END);
    file->size = std::ftell(file->f);
    std::fseek(file->f, 0, SEEK_SET);
    return true;
}

bool ReadAt(File* file, long offset, void* into, size_t bytes) {
    return offset >= 0 && std::fseek(file->f, offset, SEEK_SET) == 0 &&
           std::fread(into, 1, bytes, file->f) == bytes;
}

uint32_t Le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// Blue, green, red (and alpha) become red, green, blue (and alpha).
void SwapRedBlue(uint8_t* pixels, size_t count, int step) {
    for (size_t i = 0; i < count; ++i) std::swap(pixels[i * step], pixels[i * step + 2]);
}

bool SaneSize(long long width, long long height) {
    return width >= 1 && height >= 1 && width <= kRkMaxImageSide && height <= kRkMaxImageSide;
}

// Reads height rows of rowBytes, stored rowStride apart from offset on, into the buffer top
// row first; bottomUp says the file keeps the bottom row first.
bool ReadRows(File* file, long offset, size_t rowBytes, size_t rowStride, int height,
              bool bottomUp, uint8_t* pixels) {
    if (std::fseek(file->f, offset, SEEK_SET) != 0) return false;
    for (int row = 0; row < height; ++row) {
        const int target = bottomUp ? height - 1 - row : row;
        if (std::fread(pixels + size_t(target) * rowBytes, 1, rowBytes, file->f) != rowBytes) {
            return false;
        }
        if (rowStride > rowBytes && std::fseek(file->f, long(rowStride - rowBytes), SEEK_CUR)) {
            return false;
        }
    }
    return true;
}

void SetResult(int* width, int* height, int* bits, int w, int h, int b) {
    if (width) *width = w;
    if (height) *height = h;
    if (bits) *bits = b;
}

}  // namespace

uint8_t* rkReadBMP(const char* fileName, int* width, int* height, int* bits) {
    File file = {};
    if (!Open(&file, fileName)) return nullptr;
    uint8_t header[54];
    if (!ReadAt(&file, 0, header, sizeof header) || header[0] != 'B' || header[1] != 'M') {
        rkMessage("Not a BMP file : %s", fileName);
        return nullptr;
    }
    const int depth = static_cast<int16_t>(Le16(header + 28));
    if (depth != 24 && depth != 8) {
        rkMessage("Depth = %d ! BMP file can only be 24 or 8 bits", depth);
        return nullptr;
    }
    const long long w = static_cast<int32_t>(Le32(header + 18));
    const long long signedHeight = static_cast<int32_t>(Le32(header + 22));
    const bool bottomUp = signedHeight > 0;
    const long long h = bottomUp ? signedHeight : -signedHeight;
    const uint32_t infoSize = Le32(header + 14);
    const uint32_t compression = Le32(header + 30);
    const uint32_t dataOffset = Le32(header + 10);
    // The palette follows the information header; the rows start where the file header says.
    const long paletteOffset = 14 + long(infoSize);
    const uint32_t used = Le32(header + 46);
    const long paletteEntries = depth == 8 ? (used >= 1 && used <= 256 ? used : 256) : 0;
    const long minimumData = paletteOffset + 4 * paletteEntries;
    const size_t rowBytes = size_t(w) * (depth / 8);
    const size_t rowStride = (rowBytes + 3) & ~size_t{3};
    if (!SaneSize(w, h) || compression != 0 || infoSize < 40 || infoSize > 124 ||
        dataOffset < minimumData ||
        (long long)dataOffset + (long long)rowStride * (h - 1) + (long long)rowBytes > file.size) {
        rkMessage("Bad BMP header or truncated file : %s", fileName);
        return nullptr;
    }

    const size_t pixelBytes = rowBytes * size_t(h);
    const size_t paletteBytes = depth == 8 ? 1024 : 0;
    auto* buffer = static_cast<uint8_t*>(std::calloc(pixelBytes + paletteBytes, 1));
    if (!buffer) {
        rkMessage("Cannot allocate memory for BMP image\n");
        return nullptr;
    }
    bool ok = true;
    if (depth == 8) {
        ok = ReadAt(&file, paletteOffset, buffer, size_t(4 * paletteEntries));
        SwapRedBlue(buffer, 256, 4);
    }
    ok = ok && ReadRows(&file, dataOffset, rowBytes, rowStride, int(h), bottomUp,
                        buffer + paletteBytes);
    if (!ok) {
        rkMessage("Bad BMP header or truncated file : %s", fileName);
        std::free(buffer);
        return nullptr;
    }
    if (depth == 24) SwapRedBlue(buffer, size_t(w) * size_t(h), 3);
    SetResult(width, height, bits, int(w), int(h), depth);
    return buffer;
}

uint8_t* rkReadTGA(const char* fileName, int* width, int* height, int* bits) {
    File file = {};
    if (!Open(&file, fileName)) return nullptr;
    uint8_t header[18];
    if (!ReadAt(&file, 0, header, sizeof header)) {
        rkMessage("Bad TGA header or truncated file : %s", fileName);
        return nullptr;
    }
    if (header[2] != 2) {
        rkMessage("Can only process True Color TAGA (%s)", fileName);
        return nullptr;
    }
    const int w = int(Le16(header + 12));
    const int h = int(Le16(header + 14));
    const int depth = header[16];
    const int descriptor = header[17];
    // A colour map may precede the pixels even in a true-colour file; it is skipped.
    const long mapBytes = header[1] ? long(Le16(header + 5)) * ((header[7] + 7) / 8) : 0;
    const long dataOffset = 18 + long(header[0]) + mapBytes;
    const size_t rowBytes = size_t(w) * (depth / 8);
    if ((depth != 24 && depth != 32) || !SaneSize(w, h) ||
        dataOffset + (long long)rowBytes * h > file.size) {
        rkMessage("Bad TGA header or truncated file : %s", fileName);
        return nullptr;
    }
    auto* buffer = static_cast<uint8_t*>(std::calloc(rowBytes * size_t(h), 1));
    if (!buffer) {
        rkMessage("Cannot allocate memory for TGA image");
        return nullptr;
    }
    // Bit 5 of the descriptor marks a file that keeps its top row first.
    const bool bottomUp = (descriptor & 0x20) == 0;
    if (!ReadRows(&file, dataOffset, rowBytes, rowBytes, h, bottomUp, buffer)) {
        rkMessage("Bad TGA header or truncated file : %s", fileName);
        std::free(buffer);
        return nullptr;
    }
    SwapRedBlue(buffer, size_t(w) * size_t(h), depth / 8);
    SetResult(width, height, bits, w, h, depth);
    return buffer;
}

uint8_t* rkLoadImage(const char* fileName, int* width, int* height, int* bits) {
    const size_t length = fileName ? std::strlen(fileName) : 0;
    if (length < 5) {
        rkMessage("Bad file name : %s", fileName ? fileName : "");
        return nullptr;
    }
    const char* extension = fileName + length - 3;
    if (strcasecmp(extension, "bmp") == 0) return rkReadBMP(fileName, width, height, bits);
    if (strcasecmp(extension, "tga") == 0) return rkReadTGA(fileName, width, height, bits);
    rkMessage("Unsupported file type : %s", fileName);
    return nullptr;
}

void rkFreeImage(uint8_t* pixels) { std::free(pixels); }
