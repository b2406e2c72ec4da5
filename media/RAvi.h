#pragma once
// Single frames of a video file as pictures, by time in milliseconds. Frames go from the
// decoder straight into the picture; saving one as a BMP file is CAviFile::WriteBmp.
#include <cstdint>
#include <memory>
#include <string>

#include "media/AviFile.h"
#include "media/RImage.h"

namespace tavrel {

class CRAvi {
public:
    CRAvi();
    ~CRAvi();
    CRAvi(const CRAvi&) = delete;
    CRAvi& operator=(const CRAvi&) = delete;

    // Opens the file on its first video stream; false when it cannot be opened, has no video
    // stream or gives no frame at time 0.
    bool Load(const std::string& path);
    void Unload();

    // The frame shown at ms as a new picture (owned by the caller); none past the end.
    std::unique_ptr<CRImage> GetFrameAt(int64_t ms);
    // The same frame without making a picture; it belongs to the reader until the next call.
    const CAviFrame* FrameAt(int64_t ms);

    const std::string& GetPath() const { return path_; }
    bool IsLoaded() const { return !path_.empty(); }
    int GetVideoStreamCount() const { return videoStreams_; }
    int GetWidth() const { return format_.width; }
    int GetHeight() const { return format_.height; }
    int GetBitsPerPixel() const { return format_.bitsPerPixel; }
    // Milliseconds of the first video stream.
    int64_t GetLength() const { return length_; }
    CAviFile& File() { return *reader_; }

private:
    std::string path_;
    std::unique_ptr<CAviFile> reader_;
    int videoStreams_ = 0;
    CAviFormat format_;
    int64_t length_ = 0;
};

}  // namespace tavrel
