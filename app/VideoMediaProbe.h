#pragma once
// Reads the length of a video file (AVI, MP4 and what else FFmpeg opens) for the timeline.
#include "timeline/ui/PanelDialogs.h"

namespace tavrel {

class CVideoMediaProbe : public CMediaProbe {
public:
    // Timeline frames (60 a second) the video covers, at least one; -1 when it cannot be read.
    int VideoFrameCount(const std::string& path) override;
};

}  // namespace tavrel
