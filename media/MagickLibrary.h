#pragma once
// ImageMagick's MagickCore, loaded on first use (see SharedLibrary): every call goes through
// Magick()->name(...), typed by MagickCore's own declarations.
#include <magick/MagickCore.h>

#define TAVREL_MAGICK_FUNCTIONS(X)                                                         \
    X(AcquireExceptionInfo) X(AcquireImageInfo) X(CloneImage)                              \
    X(CompositeImage) X(ConstituteImage) X(CopyMagickString) X(CropImage)                  \
    X(DestroyExceptionInfo) X(DestroyImage) X(DestroyImageInfo) X(DestroyImageList)        \
    X(ExportImagePixels) X(MagickCoreGenesis) X(PingImage) X(ReadImage) X(ResizeImage)     \
    X(SetMagickResourceLimit) X(SplitImageList)

namespace tavrel {

struct MagickLibrary {
#define TAVREL_MAGICK_POINTER(name) decltype(&::name) name = nullptr;
    TAVREL_MAGICK_FUNCTIONS(TAVREL_MAGICK_POINTER)
#undef TAVREL_MAGICK_POINTER
};

// The library, loaded by the first call from any thread; null when it cannot be had (a debug
// line says why), and then no picture can be read or made.
const MagickLibrary* Magick();

}  // namespace tavrel
