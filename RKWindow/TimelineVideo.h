#pragma once
// Render to video: the timeline's frames drawn by the 3D window (the avatar in front of the
// media track's picture or video frame) and encoded at 60 frames a second with the project's
// sound track in step. The camera follows the avatar as in the 3D window. Nothing is left on
// disk unless the whole video was written.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "RKWindow/RKWindow.h"
#include "timeline/TimelineProject.h"

namespace tavrel {

struct VideoExport {
    std::string out;  // .mp4, .mkv, .mov, ... (the container follows the extension)
    int width = 640;  // the size the window was initialised with (even)
    int height = 360;
    int camera = 0;  // a camera preset, placed around the avatar at the first frame
    std::optional<RKCameraPose> view;  // instead of the preset: a 3D window's camera
    uint8_t background[3] = {kViewBackground[0], kViewBackground[1], kViewBackground[2]};
    int from = 0;
    int to = -1;  // -1: the timeline's last frame
    // Ghosts and motion paths over the avatar, as the 3D window draws them; off unless asked.
    GhostSettings ghosts;
    bool paths = false;
};

struct VideoOutcome {
    bool ok = false;
    bool cancelled = false;
    int frames = 0;
    bool sound = false;   // a sound track was muxed
    std::string codec;    // the video encoder used
    std::string error;    // why nothing was written; empty when ok or cancelled
    std::string warning;  // written, but without what could not be read (the sound)
};

// Called after each frame with the frames done and the total; false cancels.
using VideoProgress = std::function<bool(int done, int total)>;

// The window must be initialised on a host of the job's size; its scene scale is used as it
// is, and its camera follows the avatar from then on.
VideoOutcome RenderTimelineVideo(CRKWindow& window, const CTimelineProject& project,
                                 const VideoExport& job, const VideoProgress& progress = {});

}  // namespace tavrel
