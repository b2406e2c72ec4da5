#pragma once
// Minimal PNG files for golden images: 8-bit RGBA with unfiltered rows, written and read
// back with zlib.
#include <cstdint>
#include <string>
#include <vector>

namespace tavrel::test {

// pixels: width x height words 0xAARRGGBB, top row first.
bool WritePng(const std::string& path, int width, int height, const uint32_t* pixels);
bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint32_t>* pixels);

}  // namespace tavrel::test
