#include "timeline/ClipDrag.h"

#include <algorithm>
#include <cmath>
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

namespace {

bool IsEnd(CClipDrag::Mode mode) {
    return mode == CClipDrag::Mode::kMoveFirst || mode == CClipDrag::Mode::kMoveLast;
}

bool IsEdge(CClipDrag::Mode mode) {
    return mode == CClipDrag::Mode::kTransitionOut || mode == CClipDrag::Mode::kTransitionIn;
}

// Empty frames beside a clip's end, up to `most`: how far its handle may reach out.
double FreeBeside(const CTimelineModel& model, int position, CClipDrag::Mode end, double most) {
    const MotionClip& clip = *model.ClipAtPosition(position);
    double free = end == CClipDrag::Mode::kMoveFirst ? clip.firstFrame : kMaxFrame - clip.lastFrame;
    int i = 0;
    for (const MotionClip& other : model.Project().motionClips) {
        if (i++ == position) continue;
        if (end == CClipDrag::Mode::kMoveLast && other.lastFrame > clip.lastFrame) {
            free = std::min(free, double(other.firstFrame - clip.lastFrame - 1));
        } else if (end == CClipDrag::Mode::kMoveFirst && other.firstFrame < clip.firstFrame) {
            free = std::min(free, double(clip.firstFrame - other.lastFrame - 1));
        }
    }
    return std::clamp(free, 0.0, most);
}

// Of the handles under a press, the one whose edge lies nearest.
struct Nearest {
    CClipDrag::Handle handle;
    double distance = 1e9;
    void Offer(CClipDrag::Handle h, const CClipDrag::Span& span, double edge, double at) {
        if (!span.Contains(at) || std::abs(at - edge) >= distance) return;
        handle = h;
        distance = std::abs(at - edge);
    }
};

}  // namespace

CClipDrag::Span CClipDrag::EndHandle(const CTimelineModel& model, int position, Mode end,
                                     double reach) {
    const MotionClip* clip = model.ClipAtPosition(position);
    if (!clip || !IsEnd(end)) return {};
    const double length = clip->Length();
    const double inside = std::min(std::max(reach, 1.0), std::max(1.0, length / 3));
    const double outside = FreeBeside(model, position, end, reach / 2);
    if (end == Mode::kMoveFirst) return {clip->firstFrame - outside, clip->firstFrame + inside};
    return {clip->lastFrame + 1 - inside, clip->lastFrame + 1 + outside};
}

CClipDrag::Span CClipDrag::EdgeHandle(const CTimelineModel& model, int earlier, Mode edge,
                                      double reach) {
    const MotionClip* a = model.ClipAtPosition(earlier);
    const MotionClip* b = model.ClipAtPosition(earlier - 1);
    if (!a || !b || !IsEdge(edge)) return {};
    const TransitionZone zone = BlendZoneOf(*a, *b);
    const double half = reach / 2, within = std::max(1.0, reach / 2);
    if (edge == Mode::kTransitionOut) return {zone.start - half, zone.start + within};
    return {zone.end + 1 - within, zone.end + 1 + half};
}

CClipDrag::Handle CClipDrag::ClipEndAt(const CTimelineModel& model, double at, double reach) {
    Nearest nearest;
    const int count = model.Project().motionClips.Count();
    for (int position = 0; position < count; ++position) {
        const MotionClip& clip = *model.ClipAtPosition(position);
        for (Mode end : {Mode::kMoveFirst, Mode::kMoveLast}) {
            const int frame = end == Mode::kMoveFirst ? clip.firstFrame : clip.lastFrame;
            if (ResizeEndAt(model, position, frame) != end) continue;
            const double edge = end == Mode::kMoveFirst ? clip.firstFrame : clip.lastFrame + 1;
            nearest.Offer({end, position}, EndHandle(model, position, end, reach), edge, at);
        }
    }
    return nearest.handle;
}

CClipDrag::Handle CClipDrag::BlendEdgeAt(const CTimelineModel& model, double at, double reach,
                                         bool overlapsOnly) {
    Nearest nearest;
    for (int earlier = model.Project().motionClips.Count() - 1; earlier > 0; --earlier) {
        const MotionClip& a = *model.ClipAtPosition(earlier);
        const MotionClip& b = *model.ClipAtPosition(earlier - 1);
        const bool overlap = b.firstFrame <= a.lastFrame;
        const TransitionZone zone = BlendZoneOf(a, b);
        if ((overlapsOnly && !overlap) || zone.end < zone.start) continue;
        for (Mode edge : {Mode::kTransitionOut, Mode::kTransitionIn}) {
            const double line = edge == Mode::kTransitionOut ? zone.start : zone.end + 1;
            nearest.Offer({edge, earlier}, EdgeHandle(model, earlier, edge, reach), line, at);
        }
    }
    return nearest.handle;
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
    StartResize({end, position}, frame);
}

void CClipDrag::StartResize(Handle end, int frame) {
    const MotionClip* clip = model_.ClipAtPosition(end.position);
    if (!clip || !IsEnd(end.edge)) return Cancel();
    copy_ = {clip->firstFrame, clip->lastFrame};
    // The end follows the mouse from where it was pressed, beside the end or on it.
    grab_ = frame - (end.edge == Mode::kMoveFirst ? clip->firstFrame : clip->lastFrame);
    const ResizeBounds bounds = ResizeBoundsOf(model_.Project(), end.position);
    if (end.edge == Mode::kMoveFirst) {
        return Start(end.edge, end.position, bounds.firstMin, bounds.firstMax);
    }
    Start(end.edge, end.position, bounds.lastMin, bounds.lastMax);
}

void CClipDrag::StartMediaClip(int position, int frame) {
    const MediaClip* clip = model_.MediaClipAtPosition(position);
    if (!clip) return Cancel();
    copy_ = {clip->firstFrame, clip->lastFrame};
    grab_ = frame - clip->firstFrame;
    Start(Mode::kMoveMedia, position, 0, kMaxFrame);
}

void CClipDrag::StartTransition(Mode edge, int earlier) {
    const MotionClip* a = model_.ClipAtPosition(earlier);
    const MotionClip* b = model_.ClipAtPosition(earlier - 1);
    if (!a || !b || !IsEdge(edge)) return Cancel();
    blend_ = BlendZoneOf(*a, *b);
    // A clip's in and out zones never overlap: each edge stops at the clip's other zone, and
    // at the blend's other edge.
    if (edge == Mode::kTransitionOut) {
        const int lower = a->IsOneFrame() ? a->firstFrame : a->firstFrame + a->transitionIn;
        const int upper = std::min(a->lastFrame, blend_.end);
        return Start(edge, earlier, std::min(lower, upper), upper);
    }
    const int upper = b->IsOneFrame() ? b->lastFrame : b->lastFrame - b->transitionOut;
    const int lower = std::max(b->firstFrame, blend_.start);
    Start(edge, earlier, lower, std::max(lower, upper));
}

bool CClipDrag::ShownBlend(int earlier, TransitionZone* zone) const {
    if (IsEdge(GetMode()) && position_ == earlier) {
        *zone = blend_;
        return true;
    }
    const MotionClip* a = model_.ClipAtPosition(earlier);
    const MotionClip* b = model_.ClipAtPosition(earlier - 1);
    if (!a || !b) return false;
    *zone = BlendZoneOf(*a, *b);
    return true;
}

void CClipDrag::StartMark(Mode mark) {
    Start(mark == Mode::kOutMark ? Mode::kOutMark : Mode::kInMark, -1, 0, kMaxFrame);
}

void CClipDrag::DragTo(int frame) {
    if (Stale()) return Cancel();
    frame = std::clamp(IsEnd(mode_) ? frame - grab_ : frame, lower_, upper_);
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
            blend_.start = frame;
            break;
        case Mode::kTransitionIn:
            blend_.end = frame;
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
    if (IsEdge(mode)) {
        TransitionZone now{0, -1};
        ShownBlend(position, &now);
        // A blend left where it was leaves no undo record.
        if (now.start == blend_.start && now.end == blend_.end) return EditResult::Refused();
        return model_.SetBlend(position, blend_);
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
