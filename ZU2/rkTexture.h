#pragma once
// Device textures: the table of texture formats the device offers, 1024 texture slots, and
// the download of image buffers (with mip levels) into them.
#include <cstdint>

// Texture format codes.
enum rkTextureFormat : int32_t {
    RK_TEXFMT_PALETTE8 = 1,
    RK_TEXFMT_RGB16 = 2,  // 5-5-5 or 5-6-5
    RK_TEXFMT_ARGB1555 = 4,
    RK_TEXFMT_ARGB4444 = 8,
    RK_TEXFMT_RGB888 = 16,
    RK_TEXFMT_ARGB8888 = 32,
};

// Image kinds a caller labels a buffer with (see rkImage.h for the layouts).
enum rkImageKind : int32_t { RK_IMAGE_PALETTE8 = 1, RK_IMAGE_RGB24 = 2, RK_IMAGE_RGBA32 = 4 };

enum rkTextureFlags : uint32_t {
    RK_TEX_SOFTWARE = 2,  // made for a device without 3D hardware
    RK_TEX_MIPMAPS = 4,
    RK_TEX_SYSTEM_COPY = 8,  // a system-memory copy of the pixels exists
};

// A pixel format as the device describes it.
enum rkPixelFormatFlags : uint32_t {
    RK_PF_ALPHAPIXELS = 0x1,
    RK_PF_FOURCC = 0x4,
    RK_PF_PALETTEINDEXED8 = 0x20,
    RK_PF_RGB = 0x40,
};

struct rkPixelFormat {
    uint32_t flags;
    int32_t bits;
    uint32_t red, green, blue, alpha;  // channel masks
};

struct rkTextureFormatEntry {
    int32_t code;
    int32_t palettised;
    int32_t bits;
    rkPixelFormat pixel;
};

struct rkTexture {
    int32_t width, height;  // size of mip level 1
    int32_t bits;
    int32_t format;
    int32_t slot;
    intptr_t param;  // the creator's value, kept unchanged
    int32_t mipLevels;
    uint32_t flags;
};

constexpr int kRkMaxTextures = 1024;
constexpr int kRkMaxTextureFormats = 16;

// Empties the format table and offers every format the GL device can hold to
// rkEnumTextureFormat. Called by rkCreateDevice.
void rkEnumTextureFormats();
// Classifies one offered format into the table; 0 when the table is full (stop offering).
int rkEnumTextureFormat(const rkPixelFormat& format);
void rkClearTextureFormats();
int rkTextureFormatCount();
const rkTextureFormatEntry* rkFindTextureFormat(int code);

// A texture in the first free slot; mip levels 0 counts as 1. Needs a current device.
rkTexture* rkCreateTexture(int format, int width, int height, int mipLevels = 0,
                           uint32_t flags = 0, intptr_t param = 0);
// Copies an image buffer (the level's size, of the given kind) into one mip level (1 = full
// size). 1 on success, 0 on failure.
int rkLoadTexture(rkTexture* texture, int kind, int level, const void* pixels);
inline int rkLoadTexture(rkTexture* texture, int kind, const void* pixels) {
    return rkLoadTexture(texture, kind, 1, pixels);
}
void rkFreeTexture(rkTexture* texture);
// Frees every live texture (a device going away takes its GL objects with it).
void rkFreeAllTextures();
int rkTextureCount();

// The GL texture of a texture's slot; 0 for none or a slot outside the table.
uint32_t rkGetTextureSurface(const rkTexture* texture);
// Size of a mip level (1 = full size), at least 1 x 1.
void rkTextureLevelSize(const rkTexture* texture, int level, int* width, int* height);
// The system-memory copy of a level as the device holds it (16 or 32-bit pixels, rows of
// width pixels); null when there is none.
const void* rkTexturePixels(const rkTexture* texture, int level);
