// The picture type: reading files (and refusing damaged or oversized ones), making, cutting,
// scaling and copying pictures, and the bitmap handed to the windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "MediaFixtures.h"
#include "base/DebugOutput.h"
#include "media/RImage.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using testing::ColourAt;
using testing::TempFolder;
using testing::WritePicture;

// Red on the left half, blue on the right, green in the bottom-right quarter.
uint32_t Quarters(int x, int y, int w, int h) {
    if (x >= w / 2 && y >= h / 2) return 0x00FF00;
    return x < w / 2 ? 0xFF0000 : 0x0000FF;
}

uint32_t PixelOf(const CRImage& image, int x, int y) {
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(image.GetPixels(&rgb));
    return ColourAt(rgb.data(), image.GetWidth() * 3, x, y);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

std::string WriteBytes(const TempFolder& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(RImage, ReadsEachPictureFormat) {
    TempFolder dir;
    for (const char* format : {"PNG", "JPEG", "BMP", "GIF"}) {
        const std::string path = dir / (std::string("q.") + format);
        ASSERT_TRUE(WritePicture(path, format, 40, 20,
                                 [](int x, int y) { return Quarters(x, y, 40, 20); }));
        CRImage image;
        ASSERT_TRUE(image.Load(path)) << format;
        EXPECT_EQ(image.GetWidth(), 40);
        EXPECT_EQ(image.GetHeight(), 20);
        EXPECT_EQ(image.GetPath(), path);
        const int tolerance = std::string(format) == "JPEG" ? 24 : 0;
        EXPECT_TRUE(Near(PixelOf(image, 5, 5), 0xFF0000, tolerance)) << format;
        EXPECT_TRUE(Near(PixelOf(image, 35, 5), 0x0000FF, tolerance)) << format;
        EXPECT_TRUE(Near(PixelOf(image, 35, 15), 0x00FF00, tolerance)) << format;
    }
}

TEST(RImage, DamagedFilesFailWithTheirMessageAndLeaveNoPicture) {
    TempFolder dir;
    for (const char* format : {"PNG", "JPEG", "BMP", "GIF"}) {
        const std::string whole = dir / (std::string("whole.") + format);
        ASSERT_TRUE(
            WritePicture(whole, format, 64, 64, [](int x, int y) { return x * 4 << 8 | y; }));
        const std::string bytes = testing::ReadFile(whole);
        std::string corrupt = bytes;
        for (size_t i = 16; i < corrupt.size(); i += 3) corrupt[i] = static_cast<char>(i * 7);
        for (const auto& [name, content] :
             {std::pair{"truncated", bytes.substr(0, bytes.size() / 2)},
              std::pair{"corrupt", corrupt}, std::pair{"header", bytes.substr(0, 12)}}) {
            const std::string path = WriteBytes(dir, std::string(name) + "." + format, content);
            CRImage image;
            ASSERT_TRUE(image.Create(2, 2));
            DebugCapture debug;
            EXPECT_FALSE(image.Load(path)) << name << ' ' << format;
            EXPECT_EQ(debug.Text(), "CRImage::Load(" + path + ") failed.\n") << name << format;
            EXPECT_TRUE(image.IsEmpty());
        }
    }
    CRImage image;
    DebugCapture debug;
    EXPECT_FALSE(image.Load(dir / "missing.png"));
    EXPECT_FALSE(image.Load(WriteBytes(dir, "text.png", "not a picture at all")));
    EXPECT_TRUE(debug.Contains("CRImage::Load(" + dir / "text.png" + ") failed.\n"));
}

TEST(RImage, RefusesPicturesLargerThanTheLimitAndEmptyOnes) {
    TempFolder dir;
    // The system's own policy may set a lower limit (Debian's is 16000 pixels a side).
    CRImage image;
    EXPECT_TRUE(image.Load(WriteBytes(dir, "wide.png", testing::PngOfSize(8000, 2))));
    EXPECT_EQ(image.GetWidth(), 8000);
    DebugCapture debug;
    EXPECT_FALSE(
        image.Load(WriteBytes(dir, "wider.png", testing::PngOfSize(CRImage::kMaxSide + 1, 1))));
    EXPECT_FALSE(image.Load(WriteBytes(dir, "tall.png", testing::PngOfSize(1, 100000))));
    EXPECT_FALSE(image.Load(WriteBytes(dir, "huge.png", testing::PngOfSize(1u << 30, 1u << 30))));
    EXPECT_FALSE(image.Load(WriteBytes(dir, "none.png", testing::PngOfSize(0, 0))));
    EXPECT_TRUE(debug.Contains("CRImage::Load(" + dir / "huge.png" + ") failed.\n"));
    EXPECT_TRUE(image.IsEmpty());
}

TEST(RImage, FileNamesAreNamesNotInstructions) {
    // The library reads "name[geometry]" as a crop and "format:name" as an order; a user's
    // file of such a name is read whole, as the file it is.
    TempFolder dir;
    const std::string path = dir / "pic.png[2x2+0+0]";
    ASSERT_TRUE(WritePicture(dir / "plain.png", "PNG", 8, 6, [](int, int) { return 0x336699; }));
    std::filesystem::rename(dir / "plain.png", path);
    CRImage image;
    ASSERT_TRUE(image.Load(path));
    EXPECT_EQ(image.GetWidth(), 8);
    EXPECT_EQ(image.GetHeight(), 6);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(RImage, CreateCopyAndCrop) {
    CRImage image;
    ASSERT_TRUE(image.Create(6, 4, 10, 20, 30));
    EXPECT_EQ(PixelOf(image, 5, 3), 0x0A141Eu);
    CRImage black;
    ASSERT_TRUE(black.Create(3, 3));
    EXPECT_EQ(PixelOf(black, 1, 1), 0u);
    DebugCapture debug;
    EXPECT_FALSE(black.Create(0, 5));
    EXPECT_EQ(black.GetWidth(), 3);  // a failed operation changes nothing

    TempFolder dir;
    const std::string path = dir / "q.png";
    ASSERT_TRUE(
        WritePicture(path, "PNG", 40, 20, [](int x, int y) { return Quarters(x, y, 40, 20); }));
    CRImage read;
    ASSERT_TRUE(read.Load(path));
    const auto copy = read.Copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetPath(), path);
    EXPECT_EQ(PixelOf(*copy, 39, 19), 0x00FF00u);

    const auto whole = read.Crop(0, 0, 40, 20);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->GetWidth(), 40);
    EXPECT_EQ(whole->GetPath(), path);
    EXPECT_EQ(PixelOf(*whole, 0, 0), 0xFF0000u);
    const auto part = read.Crop(18, 8, 4, 4);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->GetWidth(), 4);
    EXPECT_EQ(PixelOf(*part, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelOf(*part, 3, 0), 0x0000FFu);
    EXPECT_EQ(PixelOf(*part, 3, 3), 0x00FF00u);
    debug.Clear();
    EXPECT_FALSE(read.Crop(30, 0, 11, 5));
    EXPECT_FALSE(read.Crop(-1, 0, 5, 5));
    EXPECT_FALSE(read.Crop(50, 50, 5, 5));
    EXPECT_FALSE(CRImage().Crop(0, 0, 1, 1));
    std::string four;
    for (int i = 0; i < 4; ++i) four += "CRImage::Crop() failed!\n";
    EXPECT_EQ(debug.Text(), four);
}

TEST(RImage, ZoomAndZoomToFit) {
    CRImage wide;
    ASSERT_TRUE(wide.Create(100, 50, 200, 0, 0));
    const auto zoomed = wide.Zoom(30, 70);
    ASSERT_TRUE(zoomed);
    EXPECT_EQ(zoomed->GetWidth(), 30);
    EXPECT_EQ(zoomed->GetHeight(), 70);

    // 100 x 50 into 50 x 50: 12 rows of fill, the 50 x 25 picture, 13 rows of fill.
    const auto fit = wide.ZoomToFit(50, 50, true, 0, 0, 255);
    ASSERT_TRUE(fit);
    ASSERT_EQ(fit->GetWidth(), 50);
    ASSERT_EQ(fit->GetHeight(), 50);
    for (int y = 0; y < 50; ++y) {
        const uint32_t expected = y < 12 || y >= 37 ? 0x0000FF : 0xC80000;
        EXPECT_TRUE(Near(PixelOf(*fit, 25, y), expected, 2)) << "row " << y;
    }
    // A tall picture gets columns of fill on both sides.
    CRImage tall;
    ASSERT_TRUE(tall.Create(20, 80, 0, 200, 0));
    const auto side = tall.ZoomToFit(40, 40, true, 9, 9, 9);
    ASSERT_TRUE(side);
    EXPECT_EQ(PixelOf(*side, 14, 20), 0x090909u);
    EXPECT_TRUE(Near(PixelOf(*side, 15, 20), 0x00C800, 2));
    EXPECT_TRUE(Near(PixelOf(*side, 24, 20), 0x00C800, 2));
    EXPECT_EQ(PixelOf(*side, 25, 20), 0x090909u);
    // Without keeping proportions the picture fills everything.
    const auto stretched = wide.ZoomToFit(50, 50, false, 0, 0, 255);
    ASSERT_TRUE(stretched);
    EXPECT_TRUE(Near(PixelOf(*stretched, 25, 0), 0xC80000, 2));
    // A sliver keeps at least one row instead of failing on a zero size.
    CRImage sliver;
    ASSERT_TRUE(sliver.Create(1000, 1, 1, 2, 3));
    EXPECT_TRUE(sliver.ZoomToFit(50, 50, true, 0, 0, 0));
    DebugCapture debug;
    EXPECT_FALSE(CRImage().ZoomToFit(5, 5, true, 0, 0, 0));
    EXPECT_FALSE(wide.Zoom(0, 5));
    EXPECT_TRUE(debug.Contains("CRImage::Zoom() failed!\n"));
}

TEST(RImage, BitBltCopiesRegionsWithinTheSource) {
    CRImage source;
    ASSERT_TRUE(source.Create(10, 10, 255, 255, 255));
    CRImage patch;
    ASSERT_TRUE(patch.Create(2, 2, 255, 0, 0));
    ASSERT_TRUE(patch.BitBlt(source, 0, 0, 2, 2, 0, 0));  // the whole picture
    CRImage target;
    ASSERT_TRUE(target.Create(20, 20, 0, 0, 0));
    ASSERT_TRUE(source.BitBlt(target, 5, 6, 3, 3, 1, 1));
    EXPECT_EQ(PixelOf(target, 5, 6), 0xFF0000u);  // source (1, 1)
    EXPECT_EQ(PixelOf(target, 6, 6), 0xFFFFFFu);  // source (2, 1)
    EXPECT_EQ(PixelOf(target, 8, 6), 0x000000u);  // outside the region
    EXPECT_EQ(PixelOf(target, 4, 6), 0x000000u);

    DebugCapture debug;
    EXPECT_FALSE(source.BitBlt(target, 0, 0, 11, 10, 0, 0));
    EXPECT_FALSE(source.BitBlt(target, 0, 0, 5, 5, 6, 0));
    EXPECT_FALSE(source.BitBlt(target, 0, 0, 5, 5, 0, 6));
    EXPECT_EQ(debug.Text().find("CRImage::BitBlt() failed: width or height out of source bound.\n"),
              0u);
    EXPECT_EQ(PixelOf(target, 0, 0), 0x000000u);  // unchanged
}

TEST(RImage, BitmapRowsStartOnFourByteBoundaries) {
    TempFolder dir;
    const std::string path = dir / "odd.png";
    ASSERT_TRUE(WritePicture(path, "PNG", 5, 3,
                             [](int x, int y) { return uint32_t(x * 40 << 16 | y * 80); }));
    CRImage image;
    ASSERT_TRUE(image.Load(path));
    const auto bitmap = image.GetHBITMAP();
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 5);
    EXPECT_EQ(bitmap->height, 3);
    EXPECT_EQ(bitmap->bitsPerPixel, 24);
    EXPECT_EQ(bitmap->stride, 16);
    ASSERT_EQ(bitmap->bits.size(), 48u);
    EXPECT_EQ(ColourAt(bitmap->bits.data(), bitmap->stride, 4, 2), uint32_t(160 << 16 | 160));
    EXPECT_EQ(ColourAt(bitmap->bits.data(), bitmap->stride, 0, 1), uint32_t(80));
    DebugCapture debug;
    EXPECT_FALSE(CRImage().GetHBITMAP());
    EXPECT_EQ(debug.Text(), "CRImage::GetHBITMAP() failed!\n");
}

}  // namespace
}  // namespace tavrel
