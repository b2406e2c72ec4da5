#pragma once
// What the 3D window's ghosts and motion paths are made from: the timeline as it stands.
#include <cstdint>
#include <functional>

#include "timeline/TimelineProject.h"

namespace tavrel {

// The project and the state of its clips (CTimelineModel::ContentState): equal states, equal
// clips. No project: no ghosts and no paths.
struct TimelineView {
    const CTimelineProject* project = nullptr;
    uint64_t state = 0;
};
using TimelineSource = std::function<TimelineView()>;

}  // namespace tavrel
