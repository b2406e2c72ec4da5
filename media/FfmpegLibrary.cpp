#include "media/FfmpegLibrary.h"

#include <memory>

#include "base/SharedLibrary.h"

namespace tavrel {
namespace {

#define TAVREL_SONAME(name, major) "lib" name ".so." AV_STRINGIFY(major)

std::unique_ptr<FfmpegLibrary> Load() {
    return SharedLibrary::Load<FfmpegLibrary>(
        {TAVREL_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
         TAVREL_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
         TAVREL_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
         TAVREL_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR)},
        [](SharedLibrary& files, FfmpegLibrary& table) {
            bool found = true;
            TAVREL_FFMPEG_FUNCTIONS(TAVREL_FIND_FUNCTION)
            return found;
        });
}

}  // namespace

const FfmpegLibrary* Ffmpeg() {
    static const std::unique_ptr<FfmpegLibrary> library = Load();
    return library.get();
}

}  // namespace tavrel
