// Where a picture lies in the padded picture that the device stretches over the window.
#include <gtest/gtest.h>

#include "RKWindow/RKBackground.h"

namespace {

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
    // The same shape needs no padding; an uneven ratio rounds the padded side up.
    fit = CRKBackground::FitInto(640, 480, 800, 600);
    EXPECT_EQ(fit.width, 640);
    EXPECT_EQ(fit.height, 480);
    fit = CRKBackground::FitInto(100, 33, 100, 100);
    EXPECT_EQ(fit.height, 100);
    EXPECT_EQ(fit.top, 33);
    fit = CRKBackground::FitInto(7, 3, 10, 10);
    EXPECT_EQ(fit.height, 7);
    EXPECT_EQ(fit.top, 2);
}

TEST(RKBackground, NamesAndPicturesComeAndGo) {
    CRKBackground background;
    EXPECT_TRUE(background.SetImage(""));
    EXPECT_FALSE(background.SetImage("/no/such/picture.png"));
    EXPECT_FALSE(background.HasPicture());
    const uint8_t rgb[2 * 3 * 2] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_FALSE(background.SetBitmap(rgb, 2, 2, 5));  // rows shorter than the width
    EXPECT_TRUE(background.SetBitmap(rgb, 2, 2, 6));
    EXPECT_TRUE(background.HasPicture());
    EXPECT_FALSE(background.SetImage("/no/such/picture.png"));
    EXPECT_TRUE(background.HasPicture());  // a failure keeps what was there
    background.Remove();
    EXPECT_FALSE(background.HasPicture());
}

}  // namespace
