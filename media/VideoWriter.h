#pragma once
// Encodes pictures and sound into a video file (MP4, MKV, MOV... by the name's extension) over
// FFmpeg: H.264 when the libx264 encoder is there, else MPEG-4 Part 2; sound as AAC or what the
// container takes. The file is written under a temporary name and renamed by Finish, so that a
// writer dropped before Finish (cancelled, failed) leaves no file at all.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavrel {

class CRWave;

struct VideoFormat {
    int width = 640;  // even, as the encoders' colour sampling needs
    int height = 360;
    int fps = 60;
    int audioRate = 0;  // samples a second; 0: no sound track
    int audioChannels = 0;
};

class CVideoWriter {
public:
    CVideoWriter();
    ~CVideoWriter();
    CVideoWriter(const CVideoWriter&) = delete;
    CVideoWriter& operator=(const CVideoWriter&) = delete;

    // Opens the encoders and the temporary file; false with Error() on failure.
    bool Open(const std::string& path, const VideoFormat& format);
    // One picture of width x height pixels, 32 bits each (B, G, R, A in memory), top row first.
    bool WriteFrame(const uint32_t* pixels);
    // The sound as encoded: the rate asked for when the encoder takes it, else the nearest it
    // takes; one or two channels. 0 without a sound track.
    int AudioRate() const;
    int AudioChannels() const;
    // Interleaved samples (-1..1) at AudioRate() and AudioChannels(); any count, queued until a
    // whole encoder frame is there. Call it in step with the pictures so the file interleaves.
    bool WriteAudio(const float* samples, int frames);
    // Flushes the encoders, closes the file and gives it its name.
    bool Finish();

    const std::string& Error() const { return error_; }
    // The video encoder in use ("libx264" or "mpeg4").
    std::string VideoCodecName() const;
    int FramesWritten() const { return framesWritten_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
    int framesWritten_ = 0;
};

// The WAV file's samples as interleaved floats of `channels` channels at `rate` samples a second
// (linear resampling; a mono sound is doubled, channels beyond those wanted are dropped).
std::vector<float> WaveAsFloat(const CRWave& wave, int rate, int channels);

}  // namespace tavrel
