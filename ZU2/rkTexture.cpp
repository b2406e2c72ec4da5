#include "ZU2/rkTexture.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkMessage.h"

namespace {

constexpr const char* kSource = "ZU2\\rkTexture";
constexpr int kMaxMipLevels = 16;
constexpr int kMaxTextureSide = 16384;
// Textures are bound here while they are filled, so the stage bindings stay as drawn.
constexpr GLenum kWorkUnit = GL_TEXTURE0 + kRkStages;

// How a device pixel format is held and uploaded in GL.
struct GLFormat {
    rkPixelFormat pixel;
    GLenum internal, format, type;
};

// The formats this device offers; GL has no palette-indexed textures, so 8-bit images are
// expanded through their palette into one of these.
const GLFormat kDeviceFormats[] = {
    {{RK_PF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0}, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
    {{RK_PF_RGB | RK_PF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
     GL_RGB5_A1,
     GL_BGRA,
     GL_UNSIGNED_SHORT_1_5_5_5_REV},
    {{RK_PF_RGB | RK_PF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
     GL_RGBA4,
     GL_BGRA,
     GL_UNSIGNED_SHORT_4_4_4_4_REV},
    {{RK_PF_RGB, 32, 0xFF0000, 0xFF00, 0xFF, 0}, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV},
    {{RK_PF_RGB | RK_PF_ALPHAPIXELS, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
     GL_RGBA8,
     GL_BGRA,
     GL_UNSIGNED_INT_8_8_8_8_REV},
};

struct TextureSlot {
    rkTexture record;  // empty (format 0) when the slot is free
    GLuint surface;
    const GLFormat* gl;
    uint8_t* copy;  // every level, level 1 first
};

rkTextureFormatEntry g_formats[kRkMaxTextureFormats];
int g_formatCount = 0;
TextureSlot g_slots[kRkMaxTextures];

const GLFormat* FindGLFormat(const rkPixelFormat& pixel) {
    for (const GLFormat& f : kDeviceFormats) {
        if (f.pixel.bits == pixel.bits && f.pixel.red == pixel.red &&
            f.pixel.green == pixel.green && f.pixel.blue == pixel.blue &&
            f.pixel.alpha == pixel.alpha) {
            return &f;
        }
    }
    return nullptr;
}

int ClassifyRGB(const rkPixelFormat& f) {
    const int r = std::popcount(f.red), g = std::popcount(f.green), b = std::popcount(f.blue);
    if (f.flags & RK_PF_ALPHAPIXELS) {
        const int a = std::popcount(f.alpha);
        if (r == 4 && g == 4 && b == 4 && a == 4) return RK_TEXFMT_ARGB4444;
        if (r == 5 && g == 5 && b == 5 && a == 1) return RK_TEXFMT_ARGB1555;
        if (r == 8 && g == 8 && b == 8 && a == 8) return RK_TEXFMT_ARGB8888;
        return 0;
    }
    if (r == 5 && (g == 5 || g == 6) && b == 5) return RK_TEXFMT_RGB16;
    if (r == 8 && g == 8 && b == 8) return RK_TEXFMT_RGB888;
    return 0;
}

TextureSlot* SlotOf(const rkTexture* texture) {
    if (!texture || texture->slot < 0 || texture->slot >= kRkMaxTextures) return nullptr;
    TextureSlot* slot = &g_slots[texture->slot];
    if (&slot->record != texture || slot->record.format == 0) return nullptr;
    return slot;
}

int LevelSide(int side, int level) { return std::max(side >> (level - 1), 1); }

size_t LevelBytes(const rkTexture& t, int level) {
    return size_t(LevelSide(t.width, level)) * LevelSide(t.height, level) * (t.bits / 8);
}

uint8_t* LevelCopy(const TextureSlot& slot, int level) {
    size_t offset = 0;
    for (int l = 1; l < level; ++l) offset += LevelBytes(slot.record, l);
    return slot.copy + offset;
}

// Places an 8-bit channel into a mask: keep the top bits the mask holds, shift them in.
uint32_t Pack(uint32_t channel, uint32_t mask) {
    if (!mask) return 0;
    const int bits = std::popcount(mask);
    return ((channel >> (8 - bits)) << std::countr_zero(mask)) & mask;
}

void ConvertPixels(const TextureSlot& slot, int kind, const uint8_t* source, int count,
                   uint8_t* target) {
    const rkPixelFormat& f = slot.gl->pixel;
    const uint8_t* palette = source;
    if (kind == RK_IMAGE_PALETTE8) source += 1024;
    for (int i = 0; i < count; ++i) {
        uint32_t r, g, b, a = 255;
        if (kind == RK_IMAGE_PALETTE8) {
            const uint8_t* entry = palette + 4 * source[i];
            r = entry[0], g = entry[1], b = entry[2];
        } else if (kind == RK_IMAGE_RGB24) {
            r = source[3 * i], g = source[3 * i + 1], b = source[3 * i + 2];
        } else {
            r = source[4 * i], g = source[4 * i + 1], b = source[4 * i + 2], a = source[4 * i + 3];
        }
        const uint32_t value = Pack(r, f.red) | Pack(g, f.green) | Pack(b, f.blue) | Pack(a, f.alpha);
        if (f.bits == 16) {
            const uint16_t half = static_cast<uint16_t>(value);
            std::memcpy(target + 2 * i, &half, 2);
        } else {
            std::memcpy(target + 4 * i, &value, 4);
        }
    }
}

void UploadLevel(const TextureSlot& slot, int level) {
    const rkTexture& t = slot.record;
    glActiveTexture(kWorkUnit);
    glBindTexture(GL_TEXTURE_2D, slot.surface);
    glPixelStorei(GL_UNPACK_ALIGNMENT, t.bits == 16 ? 2 : 4);
    glTexSubImage2D(GL_TEXTURE_2D, level - 1, 0, 0, LevelSide(t.width, level),
                    LevelSide(t.height, level), slot.gl->format, slot.gl->type,
                    LevelCopy(slot, level));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glActiveTexture(GL_TEXTURE0);
}

bool CreateSurface(TextureSlot* slot) {
    const rkTexture& t = slot->record;
    glGenTextures(1, &slot->surface);
    glActiveTexture(kWorkUnit);
    glBindTexture(GL_TEXTURE_2D, slot->surface);
    glPixelStorei(GL_UNPACK_ALIGNMENT, t.bits == 16 ? 2 : 4);
    for (int level = 1; level <= t.mipLevels; ++level) {
        glTexImage2D(GL_TEXTURE_2D, level - 1, slot->gl->internal, LevelSide(t.width, level),
                     LevelSide(t.height, level), 0, slot->gl->format, slot->gl->type,
                     LevelCopy(*slot, level));
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, t.mipLevels - 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glActiveTexture(GL_TEXTURE0);
    return _rkCheckGL(kSource, __LINE__);
}

void ReleaseSlot(TextureSlot* slot) {
    if (slot->surface) {
        // A texture that is gone must not count as still bound on a stage.
        if (rkDevice* device = rkGetCurrentDevice()) {
            for (uint32_t& bound : device->stageTexture) {
                if (bound == slot->surface) bound = 0;
            }
        }
        glDeleteTextures(1, &slot->surface);
    }
    std::free(slot->copy);
    *slot = {};
}

}  // namespace

void rkClearTextureFormats() { g_formatCount = 0; }

int rkEnumTextureFormat(const rkPixelFormat& format) {
    if (g_formatCount >= kRkMaxTextureFormats) {
        rkMessage("Got too many texture formats. Abort enum now.");
        return 0;
    }
    rkTextureFormatEntry entry = {};
    if (format.flags & RK_PF_PALETTEINDEXED8) {
        entry = {RK_TEXFMT_PALETTE8, 1, 8, format};
    } else if (!(format.flags & RK_PF_RGB)) {
        rkMessage("Enum texture format: Got unsupported texture format: %X:%s (%d/%d/%d/%d)",
                  format.flags, (format.flags & RK_PF_FOURCC) ? "FOURCC" : "not RGB",
                  std::popcount(format.red), std::popcount(format.green),
                  std::popcount(format.blue), std::popcount(format.alpha));
        return 1;
    } else {
        entry = {ClassifyRGB(format), 0, format.bits, format};
        if (entry.code == 0) return 1;  // an RGB layout the kit has no code for
    }
    g_formats[g_formatCount++] = entry;
    return 1;
}

void rkEnumTextureFormats() {
    rkClearTextureFormats();
    for (const GLFormat& f : kDeviceFormats) {
        if (!rkEnumTextureFormat(f.pixel)) break;
    }
}

int rkTextureFormatCount() { return g_formatCount; }

const rkTextureFormatEntry* rkFindTextureFormat(int code) {
    for (int i = 0; i < g_formatCount; ++i) {
        if (g_formats[i].code == code) return &g_formats[i];
    }
    return nullptr;
}

rkTexture* rkCreateTexture(int format, int width, int height, int mipLevels, uint32_t flags,
                           intptr_t param) {
    const rkTextureFormatEntry* entry = rkFindTextureFormat(format);
    const GLFormat* gl = entry ? FindGLFormat(entry->pixel) : nullptr;
    if (!gl) {
        rkMessage("Unsupported texture format: %X", format);
        return nullptr;
    }
    if (width < 1 || height < 1 || width > kMaxTextureSide || height > kMaxTextureSide ||
        mipLevels > kMaxMipLevels) {
        rkMessage("Invalid parameters (rkCreateTexture).");
        return nullptr;
    }
    TextureSlot* slot = std::find_if(std::begin(g_slots), std::end(g_slots),
                                     [](const TextureSlot& s) { return s.record.format == 0; });
    if (slot == std::end(g_slots)) {
        rkMessage("Too many texture. Max=%d", kRkMaxTextures);
        return nullptr;
    }
    *slot = {};
    rkTexture& t = slot->record;
    const rkDevice* device = rkGetCurrentDevice();
    t = {width, height, entry->bits, format, static_cast<int32_t>(slot - g_slots), param,
         std::max(mipLevels, 1), flags | RK_TEX_SYSTEM_COPY};
    if (device && !device->hardware) t.flags |= RK_TEX_SOFTWARE;
    if (t.mipLevels > 1) t.flags |= RK_TEX_MIPMAPS;
    slot->gl = gl;

    size_t bytes = 0;
    for (int level = 1; level <= t.mipLevels; ++level) bytes += LevelBytes(t, level);
    slot->copy = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!slot->copy || !CreateSurface(slot)) {
        rkMessage("GetSurfaceDesc FAIL.");
        ReleaseSlot(slot);
        return nullptr;
    }
    return &t;
}

int rkLoadTexture(rkTexture* texture, int kind, int level, const void* pixels) {
    TextureSlot* slot = SlotOf(texture);
    if (level == 0) level = 1;
    if (slot && level > texture->mipLevels) {
        rkMessage("Max Mip level is %d, you request %d", texture->mipLevels, level);
        return 0;
    }
    if (kind != RK_IMAGE_PALETTE8 && kind != RK_IMAGE_RGB24 && kind != RK_IMAGE_RGBA32) {
        rkMessage("Unsupported image format : %X", kind);
        return 0;
    }
    if (!slot || !slot->copy || !pixels) {
        rkMessage("Surface is NULL while downloading image");
        return 0;
    }
    if (level < 1) {
        rkMessage("Cannot retrieve mipmap surface: level=%d/%d", level, texture->mipLevels);
        return 0;
    }
    const int count = LevelSide(texture->width, level) * LevelSide(texture->height, level);
    ConvertPixels(*slot, kind, static_cast<const uint8_t*>(pixels), count, LevelCopy(*slot, level));
    UploadLevel(*slot, level);
    return _rkCheckGL(kSource, __LINE__) ? 1 : 0;
}

void rkFreeTexture(rkTexture* texture) {
    if (TextureSlot* slot = SlotOf(texture)) ReleaseSlot(slot);
}

void rkFreeAllTextures() {
    for (TextureSlot& slot : g_slots) {
        if (slot.record.format != 0) ReleaseSlot(&slot);
    }
}

int rkTextureCount() {
    return static_cast<int>(std::count_if(std::begin(g_slots), std::end(g_slots),
                                          [](const TextureSlot& s) { return s.record.format != 0; }));
}

uint32_t rkGetTextureSurface(const rkTexture* texture) {
    const TextureSlot* slot = SlotOf(texture);
    return slot ? slot->surface : 0;
}

void rkTextureLevelSize(const rkTexture* texture, int level, int* width, int* height) {
    if (level < 1) level = 1;
    *width = texture ? LevelSide(texture->width, level) : 0;
    *height = texture ? LevelSide(texture->height, level) : 0;
}

const void* rkTexturePixels(const rkTexture* texture, int level) {
    const TextureSlot* slot = SlotOf(texture);
    if (!slot || level < 1 || level > texture->mipLevels) return nullptr;
    return LevelCopy(*slot, level);
}
