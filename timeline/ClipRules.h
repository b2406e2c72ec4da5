#pragma once
// The rules a moved or resized clip must keep on the motion track. Positions count from the
// list's First (the latest-starting clip) from 0.
#include "timeline/TimelineProject.h"

namespace tavrel {

// A move may cross-fade with at most two clips that do not overlap each other; it may not
// involve a one-frame clip, swallow a clip or be swallowed by one, or leave 0 to kMaxFrame.
bool CanMoveClip(const CTimelineProject& project, int position, int first, int last);
// The same rules for a clip that is not on the track yet (one read from a project file).
bool CanPlaceClip(const CTimelineProject& project, int first, int last);

// How far each end of a clip may be dragged: the clip stays at least 3 frames long and clear
// of its neighbours in time.
struct ResizeBounds {
    int firstMin, firstMax;
    int lastMin, lastMax;
};
ResizeBounds ResizeBoundsOf(const CTimelineProject& project, int position);

// The ends that change must lie within their bounds, the clip keeps its place in the list, and
// the new range keeps the rules of a move (shortening a clip that cross-fades could otherwise
// leave it inside its partner); a one-frame clip is never resized.
bool CanResizeClip(const CTimelineProject& project, int position, int first, int last);

}  // namespace tavrel
