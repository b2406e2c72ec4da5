#include "media/FfmpegLibrary.h"

#include <memory>

#include "media/SharedLibrary.h"

namespace tavrel {
namespace {

#define TAVREL_SONAME(name, major) "lib" name ".so." AV_STRINGIFY(major)

std::unique_ptr<FfmpegLibrary> Load() {
    SharedLibrary files({TAVREL_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
                         TAVREL_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
                         TAVREL_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
                         TAVREL_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR)});
    if (!files.IsOpen()) return nullptr;
    auto library = std::make_unique<FfmpegLibrary>();
    bool found = true;
#define TAVREL_FFMPEG_FIND(name) found &= files.Find(#name, &library->name);
    TAVREL_FFMPEG_FUNCTIONS(TAVREL_FFMPEG_FIND)
#undef TAVREL_FFMPEG_FIND
    return found ? std::move(library) : nullptr;
}

}  // namespace

const FfmpegLibrary* Ffmpeg() {
    static const std::unique_ptr<FfmpegLibrary> library = Load();
    return library.get();
}

}  // namespace tavrel
