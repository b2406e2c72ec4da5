#pragma once
// Writes 8-bit RGBA PNG files.
#include <cstdint>
#include <string>

namespace tavrel::cli {

// pixels: width x height words 0xAARRGGBB, top row first. False when the file cannot be
// written.
bool WritePng(const std::string& path, int width, int height, const uint32_t* pixels);

}  // namespace tavrel::cli
