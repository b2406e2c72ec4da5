#include "timeline/ClipDrag.h"

#include <algorithm>
#include <utility>

#include "timeline/ClipRules.h"

namespace tavrel {

CClipDrag::Mode CClipDrag::ResizeEndAt(const CTimelineModel& model, int position, int frame) {
    const MotionClip* clip = model.ClipAtPosition(position);
    if (!clip || clip->IsOneFrame()) return Mode::kNone;
    if (frame != clip->firstFrame && frame != clip->lastFrame) return Mode::kNone;
    int i = 0;
    for (const MotionClip& other : model.Project().motionClips) {
        if (i++ != position && other.Contains(frame)) return Mode::kNone;
    }
    return frame == clip->firstFrame ? Mode::kMoveFirst : Mode::kMoveLast;
}

void CClipDrag::Start(Mode mode, int position, int lower, int upper) {
    mode_ = mode;
    revision_ = model_.Revision();
    position_ = position;
    lower_ = lower;
    upper_ = upper;
}

void CClipDrag::StartClip(int position, int frame) {
    const MotionClip* clip = model_.ClipAtPosition(position);
    if (!clip) return Cancel();
    copy_ = {clip->firstFrame, clip->lastFrame};
    grab_ = frame - clip->firstFrame;
    const Mode end = ResizeEndAt(model_, position, frame);
    if (end == Mode::kNone) return Start(Mode::kMove, position, 0, kMaxFrame);
    const ResizeBounds bounds = ResizeBoundsOf(model_.Project(), position);
    if (end == Mode::kMoveFirst) return Start(end, position, bounds.firstMin, bounds.firstMax);
    Start(end, position, bounds.lastMin, bounds.lastMax);
}

void CClipDrag::StartMediaClip(int position, int frame) {
    const MediaClip* clip = model_.MediaClipAtPosition(position);
    if (!clip) return Cancel();
    copy_ = {clip->firstFrame, clip->lastFrame};
    grab_ = frame - clip->firstFrame;
    Start(Mode::kMoveMedia, position, 0, kMaxFrame);
}

void CClipDrag::StartTransition(Mode edge, int position) {
    const MotionClip* clip = model_.ClipAtPosition(position);
    if (!clip) return Cancel();
    // A clip's in and out zones never overlap: each end stops at the other zone.
    if (edge == Mode::kTransitionOut) {
        const int lower =
            clip->IsOneFrame() ? clip->firstFrame : clip->firstFrame + clip->transitionIn;
        Start(edge, position, lower, clip->lastFrame);
    } else {
        const int upper =
            clip->IsOneFrame() ? clip->lastFrame : clip->lastFrame - clip->transitionOut;
        Start(Mode::kTransitionIn, position, clip->firstFrame, upper);
    }
}

void CClipDrag::StartMark(Mode mark) {
    Start(mark == Mode::kOutMark ? Mode::kOutMark : Mode::kInMark, -1, 0, kMaxFrame);
}

void CClipDrag::DragTo(int frame) {
    if (Stale()) return Cancel();
    frame = std::clamp(frame, lower_, upper_);
    switch (mode_) {
        case Mode::kMove:
        case Mode::kMoveMedia: {
            const int length = copy_.Length();
            const int first = std::clamp(frame - grab_, 0, kMaxFrame + 1 - length);
            copy_ = {first, first + length - 1};
            break;
        }
        case Mode::kMoveFirst:
            copy_.firstFrame = frame;
            break;
        case Mode::kMoveLast:
            copy_.lastFrame = frame;
            break;
        case Mode::kTransitionOut:
            if (const MotionClip* clip = model_.ClipAtPosition(position_)) {
                model_.SetTransitionOut(position_, clip->lastFrame - frame + 1);
            }
            break;
        case Mode::kTransitionIn:
            if (const MotionClip* clip = model_.ClipAtPosition(position_)) {
                model_.SetTransitionIn(position_, frame - clip->firstFrame + 1);
            }
            break;
        case Mode::kInMark:
            model_.SetInMark(frame);
            // Dragged past the out mark, the marks swap: the drag goes on with the other one.
            if (model_.InMark() != frame) mode_ = Mode::kOutMark;
            break;
        case Mode::kOutMark:
            model_.SetOutMark(frame);
            if (model_.OutMark() != frame) mode_ = Mode::kInMark;
            break;
        default:
            break;
    }
}

EditResult CClipDrag::Finish() {
    const Mode mode = std::exchange(mode_, Mode::kNone);
    if (mode == Mode::kNone || Stale()) return EditResult::Refused();
    const int position = std::exchange(position_, -1);
    if (mode == Mode::kMoveMedia) {
        // An unchanged place or an overlap is refused by the model without an undo record.
        return model_.MoveMediaClip(position, copy_.firstFrame);
    }
    const MotionClip* clip = model_.ClipAtPosition(position);
    // A clip dropped where it was leaves no undo record: the model refuses an unchanged place.
    if (mode == Mode::kMove && clip && copy_.firstFrame != clip->firstFrame) {
        return model_.MoveClip(position, copy_.firstFrame);
    }
    if ((mode == Mode::kMoveFirst || mode == Mode::kMoveLast) && clip &&
        (copy_.firstFrame != clip->firstFrame || copy_.lastFrame != clip->lastFrame)) {
        return model_.ResizeClip(position, copy_.firstFrame, copy_.lastFrame);
    }
    return EditResult::Refused();
}

}  // namespace tavrel
