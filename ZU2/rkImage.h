#pragma once
// The kit's image readers: BMP (8 and 24 bits, uncompressed) and TGA (24 and 32 bits,
// uncompressed true colour) into plain pixel buffers, top row first:
//   8 bits:  a 256-entry palette of red, green, blue, unused, then width x height indices
//   24 bits: red, green, blue per pixel
//   32 bits: red, green, blue, alpha per pixel
// Buffers are released with rkFreeImage.
#include <cstdint>

// Reads a .bmp or .tga file (the extension decides, in any case); null on failure.
uint8_t* rkLoadImage(const char* fileName, int* width, int* height, int* bits);
uint8_t* rkReadBMP(const char* fileName, int* width, int* height, int* bits);
uint8_t* rkReadTGA(const char* fileName, int* width, int* height, int* bits);
void rkFreeImage(uint8_t* pixels);

// Largest width or height the readers accept; larger headers are taken as damaged.
constexpr int kRkMaxImageSide = 32768;
