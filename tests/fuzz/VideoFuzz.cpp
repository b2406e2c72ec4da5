// Video files: opened, then frames asked for over the whole length (a few, evenly spread).
#include <cstdio>
#include <cstdlib>

#include "media/RAvi.h"
#include "tests/fuzz/FuzzSupport.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    // A tiny clip made by the ffmpeg command; none when it is missing.
    const std::string path = Scratch() + "/seed.avi";
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=16x16:rate=5:duration=1 "
        "-c:v mjpeg '" +
        path + "'";
    if (std::system(command.c_str()) != 0) return {};
    return {ReadFile(path)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tavrel::fuzz::WriteInput(data, size, "in.avi");
    tavrel::CRAvi video;
    if (!video.Load(path)) return 0;
    const int64_t length = video.GetLength();
    for (int i = 0; i <= 4; ++i) {
        if (auto frame = video.GetFrameAt(length * i / 4)) {
            if (frame->GetWidth() <= 0 || frame->GetHeight() <= 0) {
                tavrel::fuzz::Fail("a frame without pixels");
            }
        }
    }
    return 0;
}
