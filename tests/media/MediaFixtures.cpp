#include "MediaFixtures.h"

#include <magick/MagickCore.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tavrel::testing {

bool WritePicture(const std::string& path, const char* format, int width, int height,
                  const PixelColour& colour) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            p[0] = c >> 16, p[1] = (c >> 8) & 0xFF, p[2] = c & 0xFF;
        }
    }
    ExceptionInfo* exception = AcquireExceptionInfo();
    Image* image = ConstituteImage(width, height, "RGB", CharPixel, rgb.data(), exception);
    bool written = false;
    if (image) {
        ImageInfo* info = AcquireImageInfo();
        CopyMagickString(image->filename, (std::string(format) + ":" + path).c_str(),
                         MaxTextExtent);
        if (std::string(format) == "JPEG") info->quality = 95;
        written = WriteImage(info, image) == MagickTrue;
        DestroyImageInfo(info);
        DestroyImage(image);
    }
    DestroyExceptionInfo(exception);
    return written;
}

namespace {

void Chunk(std::string& png, const char* type, const std::string& data) {
    auto put32 = [&](uint32_t v) {
        for (int i = 3; i >= 0; --i) png.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put32(static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    put32(static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

std::string PngOfSize(uint32_t width, uint32_t height) {
    std::string header;
    for (uint32_t v : {width, height})
        for (int i = 3; i >= 0; --i) header.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    // Every row: filter byte 0 and black pixels; a huge size gets a few rows only, since it
    // must be refused before its data is looked at.
    const size_t rows = std::min<size_t>(height, 4);
    const std::string raw(std::min<size_t>(rows * (size_t(width) * 3 + 1), 1 << 20), '\0');
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);
    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", packed);
    Chunk(png, "IEND", "");
    return png;
}

bool HaveFfmpeg() {
    return std::system("ffmpeg -version > /dev/null 2>&1") == 0;
}

bool Ffmpeg(const std::string& arguments) {
    return std::system(("ffmpeg -v error -nostdin -y " + arguments).c_str()) == 0;
}

}  // namespace tavrel::testing
