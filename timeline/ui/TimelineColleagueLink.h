#pragma once
// What the timeline tells the rest of the program, through its colleague: the frame to show on
// the avatar, whether the current frame rests on an editable still pose, and requests about clips.
#include <string>

#include "timeline/FrameSample.h"

namespace tavrel {

class CTimelineColleagueLink {
public:
    virtual ~CTimelineColleagueLink() = default;
    // Every change of the current frame (and every edit that changes what it shows).
    virtual void ShowFrameSample(const FrameSample& sample) = 0;
    // Stopped on a selected one-frame clip: its pose may be edited on the avatar.
    virtual void StillPoseChanged(bool onStillPose) = 0;
    // A double-clicked clip's motion file, for the 3D window.
    virtual void ShowClip(const std::string& fileName) = 0;
    // A command the timeline passes on (the selected clip's file, or "" when none).
    virtual void Request(int command, const std::string& fileName) = 0;
    // Playback started or ended (what else waits for the timeline may go on).
    virtual void PlayingChanged(bool) {}
    // The user chose whether clips dropped from now on keep their feet planted.
    virtual void NewClipsKeepFeetChanged(bool) {}
    // The layers came or went: the panel would show all their rows with this much more height.
    virtual void StripHeightWanted(int) {}
};

}  // namespace tavrel
