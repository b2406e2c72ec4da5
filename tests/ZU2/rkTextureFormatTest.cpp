// Sorting the formats a device offers into the kit's format codes.
#include <gtest/gtest.h>

#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"

namespace {

rkPixelFormat Rgb(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a = 0) {
    return {RK_PF_RGB | (a ? RK_PF_ALPHAPIXELS : 0u), bits, r, g, b, a};
}

TEST(rkTextureFormats, OfferedFormatsGetTheirCodes) {
    rkClearTextureFormats();
    EXPECT_EQ(rkEnumTextureFormat({RK_PF_PALETTEINDEXED8, 8, 0, 0, 0, 0}), 1);
    rkEnumTextureFormat(Rgb(16, 0x7C00, 0x03E0, 0x001F));
    rkEnumTextureFormat(Rgb(16, 0x0F00, 0x00F0, 0x000F, 0xF000));
    rkEnumTextureFormat(Rgb(16, 0x7C00, 0x03E0, 0x001F, 0x8000));
    rkEnumTextureFormat(Rgb(24, 0xFF0000, 0xFF00, 0xFF));
    rkEnumTextureFormat(Rgb(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000));
    rkEnumTextureFormat(Rgb(8, 0xE0, 0x1C, 0x03));  // 3-3-2: no code
    ASSERT_EQ(rkTextureFormatCount(), 6);
    EXPECT_EQ(rkFindTextureFormat(RK_TEXFMT_PALETTE8)->palettised, 1);
    EXPECT_EQ(rkFindTextureFormat(RK_TEXFMT_RGB16)->bits, 16);
    EXPECT_NE(rkFindTextureFormat(RK_TEXFMT_ARGB4444), nullptr);
    EXPECT_NE(rkFindTextureFormat(RK_TEXFMT_ARGB1555), nullptr);
    EXPECT_EQ(rkFindTextureFormat(RK_TEXFMT_RGB888)->bits, 24);
    EXPECT_EQ(rkFindTextureFormat(RK_TEXFMT_ARGB8888)->bits, 32);
}

TEST(rkTextureFormats, ForeignFormatsAreReportedAndTheTableStopsAtSixteen) {
    rkClearTextureFormats();
    tavrel::DebugCapture capture;
    EXPECT_EQ(rkEnumTextureFormat({RK_PF_FOURCC, 0, 0, 0, 0, 0}), 1);
    EXPECT_TRUE(capture.Contains(
        "RK:Enum texture format: Got unsupported texture format: 4:FOURCC (0/0/0/0)\n"));
    EXPECT_EQ(rkTextureFormatCount(), 0);
    for (int i = 0; i < kRkMaxTextureFormats; ++i) {
        EXPECT_EQ(rkEnumTextureFormat(Rgb(16, 0xF800, 0x07E0, 0x001F)), 1);
    }
    EXPECT_EQ(rkEnumTextureFormat(Rgb(16, 0xF800, 0x07E0, 0x001F)), 0);
    EXPECT_TRUE(capture.Contains("RK:Got too many texture formats. Abort enum now.\n"));
    EXPECT_EQ(rkTextureFormatCount(), kRkMaxTextureFormats);
}

}  // namespace
