#pragma once
// Writes 24-bit uncompressed BMP files, the kind the kit's texture reader takes.
#include <cstdint>
#include <string>
#include <vector>

namespace tavrel::assets {

// An RGB picture, top row first, three bytes per pixel.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    Picture(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3) {}
    uint8_t* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Stored bottom row first with rows padded to four bytes, as BMP files usually are.
bool WriteBmp(const std::string& path, const Picture& picture);

}  // namespace tavrel::assets
