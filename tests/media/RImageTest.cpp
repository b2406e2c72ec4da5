// The picture type: reading files (and refusing damaged or oversized ones), cutting, scaling
// and copying pictures, and the bitmap handed to the windows.
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
uint32_t Quarters(int x, int y) {
    return x >= 20 && y >= 10 ? 0x00FF00 : x < 20 ? 0xFF0000 : 0x0000FF;
}

uint32_t PixelOf(const CRImage& image, int x, int y) {
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(image.GetPixels(&rgb));
    return ColourAt(rgb.data(), image.GetWidth() * 3, x, y);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

std::string WriteBytes(const TempFolder& dir, const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
}

TEST(RImage, ReadsEachPictureFormat) {
    TempFolder dir;
    for (const char* format : {"PNG", "JPEG", "BMP", "GIF"}) {
        const std::string path = dir / (std::string("q.") + format);
        ASSERT_TRUE(WritePicture(path, format, 40, 20, Quarters));
        CRImage image;
        ASSERT_TRUE(image.Load(path)) << format;
        EXPECT_EQ(image.GetWidth(), 40);
        EXPECT_EQ(image.GetHeight(), 20);
        EXPECT_EQ(image.GetPath(), path);
        const int tolerance = std::string(format) == "JPEG" ? 24 : 0;
        for (auto [x, y] : {std::pair{5, 5}, {35, 5}, {35, 15}})
            EXPECT_TRUE(Near(PixelOf(image, x, y), Quarters(x, y), tolerance)) << format;
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
            EXPECT_EQ(debug.Text(), "CRImage::Load(" + path + ") failed.\n");
            EXPECT_TRUE(image.IsEmpty());
        }
    }
    EXPECT_FALSE(CRImage().Load(WriteBytes(dir, "text.png", "not a picture at all")));
}

TEST(RImage, RefusesPicturesLargerThanTheLimitAndEmptyOnes) {
    // The system's own policy may set a lower limit (Debian's is 16000 pixels a side).
    TempFolder dir;
    CRImage image;
    EXPECT_TRUE(image.Load(WriteBytes(dir, "wide.png", testing::PngOfSize(8000, 2))));
    for (auto [w, h] :
         {std::pair{CRImage::kMaxSide + 1, 1}, {1, 100000}, {1 << 30, 1 << 30}, {0, 0}})
        EXPECT_FALSE(image.Load(WriteBytes(dir, "big.png", testing::PngOfSize(w, h)))) << w;
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
}

TEST(RImage, CopyAndCrop) {
    TempFolder dir;
    const std::string path = dir / "q.png";
    ASSERT_TRUE(WritePicture(path, "PNG", 40, 20, Quarters));
    CRImage read;
    ASSERT_TRUE(read.Load(path));
    const auto copy = read.Copy();
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetPath(), path);
    EXPECT_EQ(PixelOf(*copy, 39, 19), 0x00FF00u);
    const auto whole = read.Crop(0, 0, 40, 20);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->GetWidth(), 40);
    const auto part = read.Crop(18, 8, 4, 4);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->GetWidth(), 4);
    EXPECT_EQ(PixelOf(*part, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelOf(*part, 3, 0), 0x0000FFu);
    EXPECT_EQ(PixelOf(*part, 3, 3), 0x00FF00u);
    DebugCapture debug;
    EXPECT_FALSE(read.Crop(30, 0, 11, 5));
    EXPECT_FALSE(read.Crop(-1, 0, 5, 5));
    EXPECT_EQ(debug.Text(), "CRImage::Crop() failed!\nCRImage::Crop() failed!\n");
}

TEST(RImage, ZoomToFitKeepsTheShapeCentredOnTheFill) {
    // 100 x 50 into 50 x 50: 12 rows of fill, the 50 x 25 picture, 13 rows of fill.
    CRImage wide;
    ASSERT_TRUE(wide.Create(100, 50, 200, 0, 0));
    const auto fit = wide.ZoomToFit(50, 50, true, 0, 0, 255);
    ASSERT_TRUE(fit);
    ASSERT_EQ(fit->GetHeight(), 50);
    for (int y = 0; y < 50; ++y)
        EXPECT_TRUE(Near(PixelOf(*fit, 25, y), y < 12 || y >= 37 ? 0x0000FF : 0xC80000, 2)) << y;
    // A tall picture gets columns of fill; without keeping proportions nothing is filled.
    CRImage tall;
    ASSERT_TRUE(tall.Create(20, 80, 0, 200, 0));
    const auto side = tall.ZoomToFit(40, 40, true, 9, 9, 9);
    ASSERT_TRUE(side);
    EXPECT_EQ(PixelOf(*side, 14, 20), 0x090909u);
    EXPECT_TRUE(Near(PixelOf(*side, 15, 20), 0x00C800, 2));
    EXPECT_EQ(PixelOf(*side, 25, 20), 0x090909u);
    EXPECT_TRUE(Near(PixelOf(*wide.ZoomToFit(50, 50, false, 0, 0, 255), 25, 0), 0xC80000, 2));
    // A sliver keeps one row instead of failing on a scaled height of 0.
    CRImage sliver;
    ASSERT_TRUE(sliver.Create(1000, 1, 1, 2, 3));
    EXPECT_TRUE(sliver.ZoomToFit(50, 50, true, 0, 0, 0));
}

TEST(RImage, BitBltCopiesRegionsWithinTheSource) {
    CRImage source, patch, target;
    ASSERT_TRUE(source.Create(10, 10, 255, 255, 255));
    ASSERT_TRUE(patch.Create(2, 2, 255, 0, 0));
    ASSERT_TRUE(patch.BitBlt(source, 0, 0, 2, 2, 0, 0));  // the whole picture
    ASSERT_TRUE(target.Create(20, 20, 0, 0, 0));
    ASSERT_TRUE(source.BitBlt(target, 5, 6, 3, 3, 1, 1));
    EXPECT_EQ(PixelOf(target, 5, 6), 0xFF0000u);  // source (1, 1)
    EXPECT_EQ(PixelOf(target, 6, 6), 0xFFFFFFu);
    EXPECT_EQ(PixelOf(target, 8, 6), 0x000000u);  // outside the region
    DebugCapture debug;
    EXPECT_FALSE(source.BitBlt(target, 0, 0, 11, 10, 0, 0));
    EXPECT_FALSE(source.BitBlt(target, 0, 0, 5, 5, 6, 0));
    EXPECT_EQ(debug.Text().find("CRImage::BitBlt() failed: width or height out of source bound.\n"),
              0u);
    EXPECT_EQ(PixelOf(target, 0, 0), 0x000000u);  // unchanged
}

TEST(RImage, BitmapRowsStartOnFourByteBoundaries) {
    CRImage image;
    ASSERT_TRUE(image.Create(5, 3, 160, 0, 80));
    const auto bitmap = image.GetHBITMAP();
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitsPerPixel, 24);
    EXPECT_EQ(bitmap->stride, 16);
    ASSERT_EQ(bitmap->bits.size(), 48u);
    EXPECT_EQ(ColourAt(bitmap->bits.data(), bitmap->stride, 4, 2), 0xA00050u);
    EXPECT_EQ(bitmap->bits[15], 0);  // padding
    DebugCapture debug;
    EXPECT_FALSE(CRImage().GetHBITMAP());
    EXPECT_EQ(debug.Text(), "CRImage::GetHBITMAP() failed!\n");
}

}  // namespace
}  // namespace tavrel
