// Where a picture lies in the padded picture that the device stretches over the window.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "RKWindow/RKBackground.h"

namespace {

std::string Le(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

TEST(RKBackground, PaddingGivesThePictureTheWindowsShape) {
    // Wider than the window: bands above and below.
    CRKBackground::Fit fit = CRKBackground::FitInto(60, 30, 120, 160);
    EXPECT_EQ(fit.width, 60);
    EXPECT_EQ(fit.height, 80);
    EXPECT_EQ(fit.top, 25);
    EXPECT_EQ(fit.left, 0);
    // Taller: bands left and right.
    fit = CRKBackground::FitInto(30, 60, 800, 600);
    EXPECT_EQ(fit.width, 80);
    EXPECT_EQ(fit.height, 60);
    EXPECT_EQ(fit.left, 25);
    EXPECT_EQ(fit.top, 0);
    // An uneven ratio rounds the padded side up.
    fit = CRKBackground::FitInto(7, 3, 10, 10);
    EXPECT_EQ(fit.height, 7);
    EXPECT_EQ(fit.top, 2);
}

TEST(RKBackground, NamesAndPicturesComeAndGo) {
    const std::string picture = testing::TempDir().c_str() + std::string("/tavrel-bg.bmp");
    {
        // A 1 x 1 BMP of 24 bits: file header, picture header, one blue pixel padded to 4 bytes.
        std::string bmp = std::string("BM") + Le(58) + Le(0) + Le(54);
        bmp += Le(40) + Le(1) + Le(1) + std::string("\1\0\x18\0", 4) + Le(0) + Le(4);
        bmp += Le(0) + Le(0) + Le(0) + Le(0) + std::string("\xff\0\0\0", 4);
        std::ofstream(picture, std::ios::binary) << bmp;
    }
    CRKBackground background;
    ASSERT_TRUE(background.SetImage(picture));
    EXPECT_EQ(background.ImageName(), picture);
    EXPECT_TRUE(background.SetImage(""));
    EXPECT_FALSE(background.SetImage("/no/such/picture.png"));
    EXPECT_FALSE(background.HasPicture());
    const uint8_t rgb[2 * 3 * 2] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_FALSE(background.SetBitmap(rgb, 2, 2, 5));  // rows shorter than the width
    EXPECT_TRUE(background.SetBitmap(rgb, 2, 2, 6));
    EXPECT_TRUE(background.HasPicture());
    // A video frame replaced the file's picture: the file is no longer what is shown.
    EXPECT_EQ(background.ImageName(), "");
    EXPECT_FALSE(background.SetImage("/no/such/picture.png"));
    EXPECT_TRUE(background.HasPicture());  // a failure keeps what was there
    background.Remove();
    EXPECT_FALSE(background.HasPicture());
}

}  // namespace
