#include "timeline/ClipRules.h"

#include <iterator>
#include <vector>

namespace tavrel {
namespace {

const MotionClip* ClipAtPosition(const CTimelineProject& project, int position) {
    if (position < 0 || position >= project.motionClips.Count()) return nullptr;
    return &*std::next(project.motionClips.begin(), position);
}

// Whether [first, last] keeps the rules with every clip but the one at `skip`.
bool KeepsTrackRules(const CTimelineProject& project, int skip, int first, int last) {
    if (first < 0 || last > kMaxFrame || last < first) return false;
    const bool oneFrame = first == last;
    std::vector<const MotionClip*> overlapped;
    int i = 0;
    for (const MotionClip& other : project.motionClips) {
        if (i++ == skip || !RangesOverlap(first, last, other.firstFrame, other.lastFrame)) {
            continue;
        }
        if (oneFrame || other.IsOneFrame()) return false;
        if (other.firstFrame > first && other.lastFrame < last) return false;
        if (first > other.firstFrame && last < other.lastFrame) return false;
        overlapped.push_back(&other);
    }
    if (overlapped.size() > 2) return false;
    return overlapped.size() < 2 ||
           !RangesOverlap(overlapped[0]->firstFrame, overlapped[0]->lastFrame,
                          overlapped[1]->firstFrame, overlapped[1]->lastFrame);
}

}  // namespace

bool CanMoveClip(const CTimelineProject& project, int position, int first, int last) {
    return ClipAtPosition(project, position) && KeepsTrackRules(project, position, first, last);
}

bool CanPlaceClip(const CTimelineProject& project, int first, int last) {
    return KeepsTrackRules(project, -1, first, last);
}

ResizeBounds ResizeBoundsOf(const CTimelineProject& project, int position) {
    const MotionClip* clip = ClipAtPosition(project, position);
    if (!clip) return {0, -1, 0, -1};
    // In list order the clip after is the one before in time, and the other way round.
    const MotionClip* before = ClipAtPosition(project, position + 1);
    const MotionClip* after = ClipAtPosition(project, position - 1);
    return {before ? before->lastFrame + 1 : 0, clip->lastFrame - 2, clip->firstFrame + 2,
            after ? after->firstFrame - 1 : kMaxFrame};
}

bool CanResizeClip(const CTimelineProject& project, int position, int first, int last) {
    const MotionClip* clip = ClipAtPosition(project, position);
    if (!clip || clip->IsOneFrame() || last - first + 1 < 3) return false;
    const MotionClip* before = ClipAtPosition(project, position + 1);
    const MotionClip* after = ClipAtPosition(project, position - 1);
    const ResizeBounds bounds = ResizeBoundsOf(project, position);
    if (first != clip->firstFrame && (first < bounds.firstMin || first > last - 2)) return false;
    if (last != clip->lastFrame && (last > bounds.lastMax || last < first + 2)) return false;
    // The clip keeps its place in the list: undo and redo find it there to rewrite its file.
    MotionClip moved = *clip;
    moved.SetFrames(first, last);
    if (after && CompareMotionClips(*after, moved) >= 0) return false;
    if (before && CompareMotionClips(moved, *before) >= 0) return false;
    // Shortening a clip that cross-fades could leave it inside its partner.
    return CanMoveClip(project, position, first, last);
}

}  // namespace tavrel
