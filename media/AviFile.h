#pragma once
// A video file opened for reading single frames by time: its audio and video streams (up to 5
// of each), their formats and durations, and per video stream a frame reader that decodes
// straight into an RGB picture. AVI, MP4, MOV, MKV and WebM all read the same way.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/CodecBuffer.h"

namespace tavrel {

// A decoded frame: 24-bit RGB rows, top row first, stride bytes apart (the stride is padded:
// the scaler writes whole vectors).
struct CAviFrame {
    int width = 0;
    int height = 0;
    int stride = 0;
    CCodecBuffer rgb;
};

// What a video stream holds, as its bitmap header would say.
struct CAviFormat {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;  // frames are always handed out as 24-bit RGB
};

class CAviFile {
public:
    static constexpr int kMaxStreams = 5;
    // Larger frames are refused before a decoder allocates them: a small damaged or crafted
    // file may claim any size.
    static constexpr int kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = int64_t(8192) * 4320;

    CAviFile();
    ~CAviFile();
    CAviFile(const CAviFile&) = delete;
    CAviFile& operator=(const CAviFile&) = delete;

    // Opens the file and collects its streams; false (everything closed) when it cannot.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const;

    int AudioStreamCount() const;
    int VideoStreamCount() const;

    // Opens a frame reader on the video stream; false for a bad index, no decoder or frames
    // larger than the bounds above.
    bool BeginFrames(int video);
    void EndFrames(int video);
    // The frame shown at ms (counted from the stream's start): the one whose presentation
    // interval contains it. None for a bad index, a stream without a reader, a time before 0
    // or at or after the stream's end, or a frame that cannot be decoded. The frame belongs to
    // the reader and stays valid until the next call.
    const CAviFrame* FrameAt(int video, int64_t ms);

    bool Format(int video, CAviFormat* format) const;
    // Milliseconds of the video stream, or -1 for a bad index.
    int64_t Duration(int video) const;

    // Writes a frame as a 24-bit BMP file (bottom row first, rows padded to 4 bytes); false
    // when the file cannot be created or written.
    static bool WriteBmp(const std::string& path, const CAviFrame& frame);

private:
    struct Reader;
    struct Container;

    std::unique_ptr<Container> file_;
    std::vector<int> audio_;  // stream indexes in the container
    std::vector<int> video_;
    std::vector<std::unique_ptr<Reader>> readers_;  // one per video stream
};

}  // namespace tavrel
