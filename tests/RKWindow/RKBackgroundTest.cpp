// Where a picture lies in the padded picture that the device stretches over the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "RKWindow/RKBackground.h"

using namespace tavrel;

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

// A picture of w x h, red on its left half and blue on its right, as packed RGB.
std::vector<uint8_t> Halves(int w, int h) {
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i + ((i / 3) % w < size_t(w) / 2 ? 0 : 2)] = 200;
    return rgb;
}

// However long and thin the picture and the window, the padded picture keeps within the limit
// and the window's shape, shows both halves where they belong and the fill in its bands.
TEST(RKBackground, PaddedPicturesKeepWithinTheLimit) {
    const uint8_t fill[3] = {9, 99, 199};
    struct Case {
        int w, h, surfaceWidth, surfaceHeight;
    };
    const int max = CRKBackground::kMaxSide;
    for (const Case c :
         {Case{4096, 1, 64, 4096}, Case{4096, 4, 4, 4096}, Case{2048, 4096, 4096, 16},
          Case{4096, 2160, 300, 600}, Case{60, 30, 120, 160}, Case{5000, 20, 250, 1},
          Case{16000, 4, 16000, 4}, Case{4200, 50, 800, 600}}) {
        SCOPED_TRACE(::testing::Message()
                     << c.w << "x" << c.h << " in " << c.surfaceWidth << "x" << c.surfaceHeight);
        const std::vector<uint8_t> rgb = Halves(c.w, c.h);
        CRKBackground background;
        ASSERT_TRUE(background.SetBitmap(rgb.data(), c.w, c.h, c.w * 3));
        const CRKBackground::Picture padded =
            background.Padded(c.surfaceWidth, c.surfaceHeight, fill);
        ASSERT_GT(padded.width, 0);
        ASSERT_LE(std::max(padded.width, padded.height), max);
        ASSERT_EQ(padded.rgb.size(), size_t(padded.width) * padded.height * 3);
        // The window's shape, within a pixel of the padded picture's shorter side.
        const double shape = double(c.surfaceWidth) / c.surfaceHeight;
        EXPECT_NEAR(double(padded.width) / padded.height, shape,
                    shape / std::min(padded.width, padded.height) + 1e-9);
        auto at = [&](int x, int y) { return &padded.rgb[(size_t(y) * padded.width + x) * 3]; };
        auto isFill = [&](int x, int y) { return std::memcmp(at(x, y), fill, 3) == 0; };
        // Some row runs from the red half to the blue one between its bands.
        bool halves = false;
        for (int y = 0; y < padded.height && !halves; ++y) {
            int first = 0, last = padded.width - 1;
            while (first < last && isFill(first, y)) ++first;
            while (last > first && isFill(last, y)) --last;
            halves = at(first, y)[0] == 200 && at(last, y)[2] == 200;
        }
        EXPECT_TRUE(halves);
        // A band above or beside the picture shows the fill.
        if (double(c.w) / c.h > shape * 1.1) {
            EXPECT_TRUE(isFill(0, 0));
        } else if (double(c.w) / c.h < shape / 1.1) {
            EXPECT_TRUE(isFill(0, padded.height / 2));
        }
    }
}

}  // namespace
