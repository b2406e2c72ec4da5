#pragma once
// The whole edited state of a timeline, copied as a unit by undo and redo.
#include <cstdint>
#include <string>

#include "timeline/CursorList.h"
#include "timeline/LayerTrack.h"
#include "timeline/MediaClip.h"
#include "timeline/MotionClip.h"

namespace tavrel {

class CTimelineProject {
public:
    CTimelineProject() : motionClips(CompareMotionClips), mediaClips(CompareMediaClips) {}

    std::string name;        // the project's name (a new project's, or a project file's)
    std::string folder;      // folder a new project was named in
    std::string file;        // the project file
    std::string dataFolder;  // folder of the project file read; its names are relative to it
    std::string headerText;  // second field of a project file's header line
    uint8_t fromFile = 0;    // 1 when read from a project file
    uint8_t complete = 1;    // 0 when the project file's reading stopped at a bad line
    int32_t number = 0;      // the number in a new project's name
    CCursorList<MotionClip> motionClips;
    CCursorList<MediaClip> mediaClips;
    std::string soundFile;     // the WAV file under the timeline, or ""
    int32_t closingValue = 0;  // number of a project file's last line
    int32_t reserved = 0;
    LayerStackPtr layers;  // null or empty: no layers
    // The project file's layer section could not be read: saving would write the file
    // without it, so the user is asked first.
    uint8_t layersDamaged = 0;

    // The layers, empty when there are none.
    const CLayerStack& Layers() const;

    // firstFrame of the earliest-starting clip, or -1 for an empty track.
    int FirstFrame() const;
    // lastFrame of the latest-starting clip, or -1 for an empty track.
    int LastFrame() const;
};

}  // namespace tavrel
