#pragma once
// A drag on a track: a clip moved or resized (shown as a copy, committed to the model on
// release), a transition's edge or a mark (written as it is dragged). The window turns pixels
// into frames; everything a drag decides is here. A drag names its clip by list position, so
// any change of the model while the button is held (an undo, a delete from a menu) ends it
// without touching anything: the position may name another clip by then.
#include "timeline/MotionClip.h"
#include "timeline/TimelineModel.h"

namespace tavrel {

class CClipDrag {
public:
    enum class Mode {
        kNone,
        kMove,
        kMoveFirst,
        kMoveLast,
        kInMark,
        kOutMark,
        kTransitionIn,
        kTransitionOut,
        kZoom,       // the view's zoom: the window steps it, the model is not touched
        kMoveMedia,  // a clip of the media track
    };
    // The frames of the dragged clip as they would be after a release now.
    struct Range {
        int firstFrame = 0, lastFrame = -1;
        int Length() const { return lastFrame - firstFrame + 1; }
    };

    explicit CClipDrag(CTimelineModel& model) : model_(model) {}

    Mode GetMode() const { return Stale() ? Mode::kNone : mode_; }
    bool Active() const { return GetMode() != Mode::kNone; }
    bool MovesClip() const {
        const Mode mode = GetMode();
        return mode == Mode::kMove || mode == Mode::kMoveFirst || mode == Mode::kMoveLast ||
               mode == Mode::kMoveMedia;
    }
    const Range& Copy() const { return copy_; }

    // The end of the motion clip at a position that a press at the frame would resize:
    // kMoveFirst, kMoveLast or kNone.
    static Mode ResizeEndAt(const CTimelineModel& model, int position, int frame);

    // A press on the motion clip at the position, at the frame: a resize on a free end, else
    // a move.
    void StartClip(int position, int frame);
    void StartMediaClip(int position, int frame);
    // The transition length at the end (kTransitionOut) or start (kTransitionIn) of a clip.
    void StartTransition(Mode edge, int position);
    void StartMark(Mode mark);
    void StartZoom() { Start(Mode::kZoom, -1, 0, kMaxFrame); }

    // The mouse is over the frame (any frame: the drag keeps it in its bounds).
    void DragTo(int frame);
    // The button is released: a move or resize becomes one edit of the model (the edit's
    // result; a clip dropped where it was is left alone). Other drags are already written.
    EditResult Finish();
    void Cancel() { mode_ = Mode::kNone; }

private:
    void Start(Mode mode, int position, int lower, int upper);
    bool Stale() const { return model_.Revision() != revision_; }

    CTimelineModel& model_;
    Mode mode_ = Mode::kNone;
    Range copy_;
    int position_ = -1;
    int lower_ = 0, upper_ = kMaxFrame;
    int grab_ = 0;
    uint64_t revision_ = 0;  // the model's when the drag started
};

}  // namespace tavrel
