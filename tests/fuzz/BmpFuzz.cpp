// BMP pictures through the kit's reader (textures).
#include "ZU2/rkImage.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/assets/BmpWriter.h"
#include "tools/assets/FaceTexture.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    const std::string path = Scratch() + "/seed.bmp";
    assets::WriteBmp(path, assets::FaceTexture(8, 5));
    return {ReadFile(path)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tavrel::fuzz::WriteInput(data, size, "in.bmp");
    int width = 0, height = 0, bits = 0;
    uint8_t* pixels = rkReadBMP(path.c_str(), &width, &height, &bits);
    if (!pixels) return 0;
    if (width <= 0 || height <= 0 || (bits != 8 && bits != 24)) {
        tavrel::fuzz::Fail("a picture read with an impossible shape");
    }
    // Touch the last byte: the buffer must hold the whole picture it claims.
    const size_t bytes = bits == 8 ? 1024 + size_t(width) * height : size_t(width) * height * 3;
    volatile uint8_t last = pixels[bytes - 1];
    (void)last;
    rkFreeImage(pixels);
    return 0;
}
