#include "media/MagickLibrary.h"

#include <memory>

#include "base/SharedLibrary.h"

namespace tavrel {
namespace {

#define TAVREL_TEXT(x) #x
#define TAVREL_NUMBER(x) TAVREL_TEXT(x)
#if MAGICKCORE_HDRI_ENABLE
#define TAVREL_MAGICK_HDRI "HDRI"
#else
#define TAVREL_MAGICK_HDRI ""
#endif

std::unique_ptr<MagickLibrary> Load() {
    return SharedLibrary::Load<MagickLibrary>(
        {"libMagickCore-6.Q" TAVREL_NUMBER(MAGICKCORE_QUANTUM_DEPTH)
             TAVREL_MAGICK_HDRI ".so." TAVREL_NUMBER(MagickLibInterface)},
        [](SharedLibrary& files, MagickLibrary& table) {
            bool found = true;
            TAVREL_MAGICK_FUNCTIONS(TAVREL_FIND_FUNCTION)
            return found;
        });
}

}  // namespace

const MagickLibrary* Magick() {
    static const std::unique_ptr<MagickLibrary> library = Load();
    return library.get();
}

}  // namespace tavrel
