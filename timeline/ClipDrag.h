#pragma once
// A drag on a track: a clip moved or resized, or a blend's edge (each shown as it would be,
// committed to the model on release as one edit), or a mark (written as it is dragged). The
// window turns pixels into frames; everything a drag decides is here, and so is what a press
// finds: the handles of clips' ends and blends' edges, which keep a width of their own in
// pixels at every zoom. A drag names its clip by list position, so
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

    // A handle under a press: the end of a clip (kMoveFirst, kMoveLast) or the edge of a
    // blend (kTransitionOut: where it starts, kTransitionIn: where it ends; position names
    // the earlier clip of the blend). kNone: no handle there.
    struct Handle {
        Mode edge = Mode::kNone;
        int position = -1;
        explicit operator bool() const { return edge != Mode::kNone; }
    };
    // Where a handle lies in frames (fractions of frames: from a pixel, x / frame width).
    struct Span {
        double from = 0, to = 0;
        bool Contains(double at) const { return at >= from && at < to; }
    };
    // A handle is `reach` frames wide (the window's handle width over its frame width); a
    // clip's end handle lies inside the clip, a frame wide at least and a third of the clip at
    // most, and reaches half as far again over empty track.
    static Span EndHandle(const CTimelineModel& model, int position, Mode end, double reach);
    // A blend's edge handle lies across its edge, the edge's frame at least.
    static Span EdgeHandle(const CTimelineModel& model, int earlier, Mode edge, double reach);
    // The end of a clip that a press at `at` would resize; only free ends are resized (no other
    // clip there), never those of one-frame clips.
    static Handle ClipEndAt(const CTimelineModel& model, double at, double reach);
    // The edge of a blend under `at`; overlapsOnly: only blends of clips that overlap (those
    // drawn over the clips).
    static Handle BlendEdgeAt(const CTimelineModel& model, double at, double reach,
                              bool overlapsOnly);
    // The end of the motion clip at a position that a press at the frame would resize:
    // kMoveFirst, kMoveLast or kNone (a press on the end's frame itself).
    static Mode ResizeEndAt(const CTimelineModel& model, int position, int frame);

    // A press on the motion clip at the position, at the frame: a resize on a free end, else
    // a move.
    void StartClip(int position, int frame);
    // A press on a clip's end handle at the frame.
    void StartResize(Handle end, int frame);
    void StartMediaClip(int position, int frame);
    // An edge of the blend of the clip at `earlier` into the next: kTransitionOut its start,
    // kTransitionIn its end.
    void StartTransition(Mode edge, int earlier);
    // The blend of the clip at `earlier` as it is shown: while its edge is dragged, where the
    // release would leave it; false when there is no blend there.
    bool ShownBlend(int earlier, TransitionZone* zone) const;
    void StartMark(Mode mark);
    void StartZoom() { Start(Mode::kZoom, -1, 0, kMaxFrame); }

    // The mouse is over the frame (any frame: the drag keeps it in its bounds).
    void DragTo(int frame);
    // The button is released: a move, resize or blend's edge becomes one edit of the model
    // (the edit's result; a clip dropped where it was is left alone). A mark is written.
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
    TransitionZone blend_{0, -1};  // the dragged blend as a release would leave it
    uint64_t revision_ = 0;        // the model's when the drag started
};

}  // namespace tavrel
