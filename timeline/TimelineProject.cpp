#include "timeline/TimelineProject.h"

namespace tavrel {

int CTimelineProject::FirstFrame() const {
    return motionClips.Count() ? motionClips.rbegin()->firstFrame : -1;
}

int CTimelineProject::LastFrame() const {
    return motionClips.Count() ? motionClips.begin()->lastFrame : -1;
}

}  // namespace tavrel

namespace tavrel {

const CLayerStack& CTimelineProject::Layers() const {
    static const CLayerStack kNone;
    return layers ? *layers : kNone;
}

}  // namespace tavrel
