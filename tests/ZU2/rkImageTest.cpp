// The BMP and TGA readers, including files that are cut short or lie about their size.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "ZU2/rkImage.h"
#include "base/DebugOutput.h"
#include "support/TestScenes.h"

namespace tavrel::test {
namespace {

// Pixels whose every byte tells where it came from.
std::vector<uint8_t> Gradient(int width, int height, int bytesPerPixel) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < bytesPerPixel; ++c) pixels.push_back(uint8_t(y * 40 + x * 7 + c));
        }
    }
    return pixels;
}

struct Image {
    uint8_t* pixels = nullptr;
    int width = 0, height = 0, bits = 0;
    explicit Image(const std::string& path) {
        pixels = rkLoadImage(path.c_str(), &width, &height, &bits);
    }
    ~Image() { rkFreeImage(pixels); }
    std::vector<uint8_t> Bytes(size_t count) const { return {pixels, pixels + count}; }
};

TEST(rkImage, NamesAreCheckedBeforeAnyFileIsOpened) {
    DebugCapture capture;
    EXPECT_EQ(Image("a.bm").pixels, nullptr);
    EXPECT_TRUE(capture.Contains("RK:Bad file name : a.bm\n"));
    EXPECT_EQ(Image("picture.png").pixels, nullptr);
    EXPECT_TRUE(capture.Contains("RK:Unsupported file type : picture.png\n"));
    EXPECT_EQ(Image("/nonexistent/x.bmp").pixels, nullptr);
    EXPECT_TRUE(capture.Contains("No such file or directory"));
}

// Whatever order a file stores its rows in, and however it pads them, the picture comes back
// top row first with its rows packed.
TEST(rkImage, RowsComeBackTopRowFirstFromEveryLayout) {
    const struct {
        const char* name;
        bool bmp;
        int width, height, bits;
        bool topDown;
    } cases[] = {
        {"SKIN.BMP", true, 3, 4, 24, false},  // 9 bytes a row, 12 stored
        {"down.bmp", true, 5, 3, 24, true},  {"b.tga", false, 4, 3, 32, false},
        {"t.TGA", false, 4, 3, 32, true},    {"c.tga", false, 3, 2, 24, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> pixels = Gradient(c.width, c.height, c.bits / 8);
        const Image image(
            WriteTempFile(c.name, c.bmp ? BmpBytes(c.width, c.height, c.bits, pixels, c.topDown)
                                        : TgaBytes(c.width, c.height, c.bits, pixels, c.topDown)));
        ASSERT_NE(image.pixels, nullptr);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_EQ(image.bits, c.bits);
        EXPECT_EQ(image.Bytes(pixels.size()), pixels);
    }
}

TEST(rkImage, Bmp8KeepsItsPaletteAsRedGreenBlue) {
    const std::vector<uint8_t> indices = {0, 1, 2, 1, 0, 2};  // 3 x 2
    const std::vector<uint8_t> palette = {10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0};
    const Image image(WriteTempFile("p.bmp", BmpBytes(3, 2, 8, indices, false, palette)));
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(image.bits, 8);
    EXPECT_EQ(image.Bytes(12), std::vector<uint8_t>({10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0}));
    EXPECT_EQ(std::vector<uint8_t>(image.pixels + 1024, image.pixels + 1030), indices);
}

TEST(rkImage, UnsupportedDepthsAndTypesAreRefused) {
    DebugCapture capture;
    std::vector<uint8_t> bmp = BmpBytes(2, 2, 24, Gradient(2, 2, 3));
    bmp[28] = 16;
    EXPECT_EQ(Image(WriteTempFile("d16.bmp", bmp)).pixels, nullptr);
    EXPECT_TRUE(capture.Contains("RK:Depth = 16 ! BMP file can only be 24 or 8 bits\n"));

    std::vector<uint8_t> tga = TgaBytes(2, 2, 24, Gradient(2, 2, 3));
    tga[2] = 10;  // run-length encoded
    const std::string path = WriteTempFile("rle.tga", tga);
    EXPECT_EQ(Image(path).pixels, nullptr);
    EXPECT_TRUE(capture.Contains("RK:Can only process True Color TAGA (" + path + ")\n"));
}

TEST(rkImage, HeadersThatLieAboutTheSizeAreRefused) {
    DebugCapture capture;
    std::vector<uint8_t> bmp = BmpBytes(4, 4, 24, Gradient(4, 4, 3));
    bmp[18 + 3] = 0x40;  // width 2^30
    EXPECT_EQ(Image(WriteTempFile("wide.bmp", bmp)).pixels, nullptr);
    bmp = BmpBytes(4, 4, 24, Gradient(4, 4, 3));
    bmp[22] = 5;  // one row more than stored
    EXPECT_EQ(Image(WriteTempFile("tall.bmp", bmp)).pixels, nullptr);
    bmp = BmpBytes(4, 4, 24, Gradient(4, 4, 3));
    bmp[22] = 0;  // no rows at all
    EXPECT_EQ(Image(WriteTempFile("flat.bmp", bmp)).pixels, nullptr);
    EXPECT_TRUE(capture.Contains("RK:Bad BMP header or truncated file : "));

    std::vector<uint8_t> tga = TgaBytes(4, 4, 32, Gradient(4, 4, 4));
    tga[13] = 0x40;  // width 16384 + 4
    EXPECT_EQ(Image(WriteTempFile("wide.tga", tga)).pixels, nullptr);
    EXPECT_TRUE(capture.Contains("RK:Bad TGA header or truncated file : "));
}

// Every prefix of a file, and random byte changes to it, must be read or refused without
// reading outside the file or the buffer (the sanitizer build checks the latter). Only the
// padding after the last row (slack) may be missing from a file that is still read.
void Torture(const std::string& name, const std::vector<uint8_t>& file, size_t slack = 0) {
    DebugCapture quiet;
    for (size_t length = 0; length < file.size(); ++length) {
        const std::vector<uint8_t> cut(file.begin(), file.begin() + long(length));
        const Image image(WriteTempFile(name, cut));
        if (length < file.size() - slack) {
            EXPECT_EQ(image.pixels, nullptr) << name << " cut to " << length;
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> mutated = file;
        for (int n = 0; n < 3; ++n) {
            mutated[random() % std::min<size_t>(mutated.size(), 64)] = uint8_t(random());
        }
        const Image image(WriteTempFile(name, mutated));
        if (image.pixels) {
            EXPECT_GE(image.width, 1);
            EXPECT_GE(image.height, 1);
            EXPECT_LE(size_t(image.width) * image.height * (image.bits / 8), mutated.size());
        }
    }
}

TEST(rkImage, TruncatedAndMutatedFilesAreReadOrRefusedSafely) {
    Torture("t24.bmp", BmpBytes(5, 3, 24, Gradient(5, 3, 3)), 1);
    Torture("t8.bmp", BmpBytes(5, 3, 8, Gradient(5, 3, 1), true), 3);
    Torture("t32.tga", TgaBytes(5, 3, 32, Gradient(5, 3, 4)));
    Torture("t24.tga", TgaBytes(5, 3, 24, Gradient(5, 3, 3), true));
}

}  // namespace
}  // namespace tavrel::test
