// TGA pictures through the kit's reader.
#include "ZU2/rkImage.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// An uncompressed true-colour TGA of the size; top-down when topFirst.
std::string Tga(int width, int height, int bits, bool topFirst) {
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = char(width & 0xff);
    bytes[13] = char(width >> 8);
    bytes[14] = char(height & 0xff);
    bytes[15] = char(height >> 8);
    bytes[16] = char(bits);
    bytes[17] = char((topFirst ? 0x20 : 0) | (bits == 32 ? 8 : 0));
    for (int i = 0; i < width * height * bits / 8; ++i) bytes += char(i * 37);
    return bytes;
}

}  // namespace

std::vector<std::string> tavrel::fuzz::Seeds() {
    return {Tga(3, 2, 24, false), Tga(2, 3, 32, true)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tavrel::fuzz::WriteInput(data, size, "in.tga");
    int width = 0, height = 0, bits = 0;
    uint8_t* pixels = rkReadTGA(path.c_str(), &width, &height, &bits);
    if (!pixels) return 0;
    if (width <= 0 || height <= 0 || (bits != 24 && bits != 32)) {
        tavrel::fuzz::Fail("a picture read with an impossible shape");
    }
    volatile uint8_t last = pixels[size_t(width) * height * (bits / 8) - 1];
    (void)last;
    rkFreeImage(pixels);
    return 0;
}
