// Pictures and animations through the picture library, with its memory and size limits low
// enough that a picture claiming to be huge is refused before it is decoded.
#include <cstdlib>

#include "media/RImage.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/assets/BmpWriter.h"
#include "tools/assets/FaceTexture.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    const std::string path = Scratch() + "/seed.bmp";
    assets::WriteBmp(path, assets::FaceTexture(8, 5));
    return {ReadFile(path)};
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Read by the library when it starts; a bomb then fails instead of exhausting memory.
    setenv("MAGICK_AREA_LIMIT", "16MP", 1);
    setenv("MAGICK_MEMORY_LIMIT", "256MiB", 1);
    setenv("MAGICK_MAP_LIMIT", "256MiB", 1);
    setenv("MAGICK_DISK_LIMIT", "0", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tavrel::fuzz::WriteInput(data, size, "in.picture");
    tavrel::CRImage image;
    if (!image.Load(path)) return 0;
    std::vector<uint8_t> rgb;
    if (!image.GetPixels(&rgb) || rgb.size() != size_t(image.GetWidth()) * image.GetHeight() * 3) {
        tavrel::fuzz::Fail("a picture read without its pixels");
    }
    auto bitmap = image.GetHBITMAP();
    if (auto small = image.ZoomToFit(16, 16, true, 0, 0, 0)) small->GetPixels(&rgb);
    return 0;
}
