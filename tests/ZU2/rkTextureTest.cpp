// Texture slots, mip levels and the conversion of image buffers into the texture formats.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZU2/rkTexture.h"
#include "base/DebugOutput.h"
#include "support/GlFixture.h"
#include "support/TestScenes.h"

namespace tavrel::test {
namespace {

using Textures = GlTest;

uint32_t FirstPixel(const rkTexture* texture, int level = 1) {
    uint32_t value = 0;
    std::memcpy(&value, rkTexturePixels(texture, level), texture->bits / 8);
    return value;
}

TEST_F(Textures, TheTableHoldsAThousandAndTwentyFour) {
    std::vector<rkTexture*> made;
    for (int i = 0; i < kRkMaxTextures; ++i) {
        rkTexture* t = rkCreateTexture(RK_TEXFMT_RGB16, 1, 1);
        ASSERT_NE(t, nullptr) << i;
        made.push_back(t);
    }
    EXPECT_EQ(made.back()->slot, kRkMaxTextures - 1);
    DebugCapture capture;
    EXPECT_EQ(rkCreateTexture(RK_TEXFMT_RGB16, 1, 1), nullptr);
    EXPECT_TRUE(capture.Contains("RK:Too many texture. Max=1024\n"));
    rkFreeTexture(made[17]);
    EXPECT_EQ(rkGetTextureSurface(made[17]), 0u);
    rkTexture* again = rkCreateTexture(RK_TEXFMT_RGB16, 1, 1);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->slot, 17);  // the freed slot is the first free one
}

TEST_F(Textures, RecordsSizeFormatFlagsAndLevels) {
    rkTexture* t = rkCreateTexture(RK_TEXFMT_ARGB8888, 256, 128, 3, 0x100, 42);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->bits, 32);
    EXPECT_EQ(t->param, 42);
    EXPECT_EQ(t->flags, 0x100u | RK_TEX_SYSTEM_COPY | RK_TEX_MIPMAPS);
    int w = 0, h = 0;
    rkTextureLevelSize(t, 2, &w, &h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 64);
    rkTextureLevelSize(t, 9, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
}

TEST_F(Textures, RefusesUnknownFormatsKindsAndLevels) {
    DebugCapture capture;
    EXPECT_EQ(rkCreateTexture(RK_TEXFMT_PALETTE8, 4, 4), nullptr);  // GL has no palettes
    EXPECT_TRUE(capture.Contains("RK:Unsupported texture format: 1\n"));
    EXPECT_EQ(rkCreateTexture(RK_TEXFMT_RGB16, 0, 4), nullptr);
    EXPECT_EQ(rkCreateTexture(RK_TEXFMT_RGB16, 1 << 30, 1), nullptr);

    rkTexture* t = rkCreateTexture(RK_TEXFMT_RGB16, 8, 8, 3);
    const uint8_t pixels[8 * 8 * 4] = {};
    EXPECT_EQ(rkLoadTexture(t, RK_IMAGE_RGB24, 4, pixels), 0);
    EXPECT_TRUE(capture.Contains("RK:Max Mip level is 3, you request 4\n"));
    EXPECT_EQ(rkLoadTexture(t, 3, 1, pixels), 0);
    EXPECT_TRUE(capture.Contains("RK:Unsupported image format : 3\n"));
    EXPECT_EQ(rkLoadTexture(t, RK_IMAGE_RGB24, 0, pixels), 1);  // level 0 means 1
    EXPECT_EQ(rkLoadTexture(nullptr, RK_IMAGE_RGB24, 1, pixels), 0);
    EXPECT_TRUE(capture.Contains("RK:Surface is NULL while downloading image\n"));
}

TEST_F(Textures, ChannelsKeepTheirTopBitsInEachFormat) {
    const uint8_t rgba[4] = {0x12, 0x34, 0x56, 0x78};
    const uint8_t rgb[3] = {255, 128, 8};
    struct {
        int format, kind;
        const uint8_t* pixel;
        uint32_t expected;
    } cases[] = {
        {RK_TEXFMT_RGB16, RK_IMAGE_RGB24, rgb, 0xF800 | (128 >> 2) << 5 | (8 >> 3)},
        {RK_TEXFMT_ARGB1555, RK_IMAGE_RGBA32, rgba, 0x0000 | 2 << 10 | 6 << 5 | 10},
        {RK_TEXFMT_ARGB4444, RK_IMAGE_RGBA32, rgba, 0x7135},
        {RK_TEXFMT_RGB888, RK_IMAGE_RGBA32, rgba, 0x123456},
        {RK_TEXFMT_ARGB8888, RK_IMAGE_RGBA32, rgba, 0x78123456},
        {RK_TEXFMT_ARGB8888, RK_IMAGE_RGB24, rgb, 0xFFFF8008},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        rkTexture* t = rkCreateTexture(c.format, 1, 1);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(rkLoadTexture(t, c.kind, c.pixel), 1);
        EXPECT_EQ(FirstPixel(t), c.expected);
        rkFreeTexture(t);
    }
}

TEST_F(Textures, PaletteImagesAreExpandedThroughTheirPalette) {
    std::vector<uint8_t> image(1024 + 4, 0);
    image[4 * 7] = 0xFF, image[4 * 7 + 1] = 0x80, image[4 * 7 + 2] = 0x01;  // entry 7
    image[1024] = 7;
    image[1025] = 0;
    rkTexture* t = rkCreateTexture(RK_TEXFMT_ARGB8888, 2, 2);
    ASSERT_EQ(rkLoadTexture(t, RK_IMAGE_PALETTE8, image.data()), 1);
    const auto* pixels = static_cast<const uint32_t*>(rkTexturePixels(t, 1));
    EXPECT_EQ(pixels[0], 0xFFFF8001u);
    EXPECT_EQ(pixels[1], 0xFF000000u);
}

TEST_F(Textures, MipLevelsAreUsedWhenTheTextureShrinks) {
    // Level 1 red, level 2 green, level 3 blue: a far-away quad shows a smaller level.
    rkTexture* t = rkCreateTexture(RK_TEXFMT_RGB888, 64, 64, 3);
    const uint8_t colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int level = 1; level <= 3; ++level) {
        int w = 0, h = 0;
        rkTextureLevelSize(t, level, &w, &h);
        std::vector<uint8_t> pixels;
        for (int i = 0; i < w * h; ++i) pixels.insert(pixels.end(), colours[level - 1], colours[level - 1] + 3);
        ASSERT_EQ(rkLoadTexture(t, RK_IMAGE_RGB24, level, pixels.data()), 1);
    }
    rkMesh* quad = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_UNLIT, false);
    AddQuad(quad, -20, -20, 20, 20, 0, 0xFFFFFFFF);  // about 16 pixels wide
    quad->textures[0] = t;
    rkView view = FrontView(300);
    ASSERT_EQ(rkNewScene(&view), 1);
    rkSetState(RK_STATE_LIGHTING, 0);
    rkSetTextureStageState(0, RK_STAGE_BLEND, 4);
    ASSERT_EQ(rkSetTextureStageState(0, RK_STAGE_MINFILTER, 3), 1);  // point, nearest level
    ASSERT_EQ(rkDrawMesh(quad), 1);
    rkShowScene(nullptr);
    EXPECT_EQ(PixelAt(64, 64), 0xFF0000FFu);
    rkFreeMesh(quad);
}

TEST_F(Textures, AFreedTextureIsNoLongerBound) {
    rkTexture* t = rkCreateTexture(RK_TEXFMT_RGB16, 2, 2);
    rkMesh* mesh = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_UNLIT, false);
    rkAddVertex(mesh, Vertex(0, 0, 0));
    mesh->textures[0] = t;
    ASSERT_EQ(rkNewScene(nullptr), 1);
    rkDrawMesh(mesh);
    EXPECT_NE(device_.stageTexture[0], 0u);
    rkFreeTexture(t);
    EXPECT_EQ(device_.stageTexture[0], 0u);
    EXPECT_EQ(rkTextureCount(), 0);
    rkFreeMesh(mesh);
}

}  // namespace
}  // namespace tavrel::test
