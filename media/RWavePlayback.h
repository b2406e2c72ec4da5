#pragma once
// The timeline's sound: loads a WAV file by path and plays it in step with the frames.
//
// The timeline panel uses it as follows:
//   Load(path)                 when a sound is laid under the timeline (same file: no reread)
//   SetPosition(frame ms)      before Play, and on every wrap of a loop while playing
//   Play() / Stop()            with the play commands; Abort() to end without waiting
//   GetPosition()              on each play tick: the milliseconds heard now, to follow
//   Scrub(frame)               while stopped, when the current frame is dragged
#include <cstdint>
#include <filesystem>
#include <string>

#include "media/RWaveOut.h"

namespace tavrel {

class CRWavePlayback : public CRWaveOut {
public:
    static constexpr int kFramesPerSecond = 60;

    using CRWaveOut::CRWaveOut;

    // Reads the file unless it is the one already loaded, unchanged on disk (a new project's
    // sound may come under the old one's name). False on failure, which leaves the previous
    // sound in place.
    bool Load(const std::string& path);
    const std::string& Path() const { return path_; }

    bool Play() override;
    // Also forgets the path, so the same file loads again.
    void Clear() override;

    // Plays the sound under one timeline frame (1/60 s) and ends. Refused (false) during a
    // normal play; a scrub still sounding is cut off by the new one.
    bool Scrub(int frame);
    bool IsScrubbing() const { return scrubbing_ && IsPlaying(); }

    // The timeline frame whose time is being heard (for keeping the picture in step).
    int GetFrame() const;

    // Milliseconds at the start of a timeline frame.
    static uint32_t FrameToMilliseconds(int frame);

private:
    // What the loaded file was when it was read: a file rewritten under its path differs.
    struct FileStamp {
        uintmax_t size = 0;
        std::filesystem::file_time_type written{};
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const std::string& path);

    std::string path_;
    FileStamp stamp_;
    bool scrubbing_ = false;
};

}  // namespace tavrel
