#pragma once
// Pictures written with ImageMagick and videos made with the ffmpeg command, for the tests.
#include <cstdint>
#include <functional>
#include <string>

namespace tavrel::testing {

using PixelColour = std::function<uint32_t(int x, int y)>;  // 0xRRGGBB

// Writes a picture in the format ("PNG", "JPEG", "BMP", "GIF"); false when it cannot.
bool WritePicture(const std::string& path, const char* format, int width, int height,
                  const PixelColour& colour);
// A PNG whose header declares the size, with black pixel data for its first rows.
std::string PngOfSize(uint32_t width, uint32_t height);

bool HaveFfmpeg();
// Runs the ffmpeg command with these arguments (quiet, overwriting); true when it succeeded.
bool Ffmpeg(const std::string& arguments);

// The picture's colour at (x, y) of packed RGB rows.
inline uint32_t ColourAt(const uint8_t* rgb, int stride, int x, int y) {
    const uint8_t* p = rgb + size_t(y) * stride + size_t(x) * 3;
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

}  // namespace tavrel::testing
