#pragma once
// One clip of the media track: a video or a still picture behind the avatar.
#include <cstdint>
#include <string>

namespace tavrel {

struct MediaClip {
    static constexpr uint32_t kHeaderImage = 0;
    static constexpr uint32_t kHeaderVideo = 1;

    uint32_t header = kHeaderImage;  // what kind of file the clip shows
    uint16_t firstFrame = 0;
    uint16_t lastFrame = 0;
    std::string fileName;  // the video or picture in the working directory

    // A picture stays on its one frame; a video plays its frame k at first + k, also when it is
    // one frame long (taken for a picture, its file would be read as one and show nothing).
    bool IsStill() const { return header != kHeaderVideo; }
    bool Contains(int frame) const { return frame >= firstFrame && frame <= lastFrame; }
    int Length() const { return lastFrame - firstFrame + 1; }
    // Keeps both frames within 0 to kMaxFrame.
    void SetFrames(int first, int last);

    bool operator==(const MediaClip&) const = default;
};

// The media track's order: latest first frame first, like the motion track.
int CompareMediaClips(const MediaClip& a, const MediaClip& b);

}  // namespace tavrel
