#include "timeline/ui/MediaTrack.h"

#include <QMouseEvent>
#include <QPainter>
#include <filesystem>

#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {

CMediaTrack::CMediaTrack(CTimelinePanel& panel, QWidget* parent)
    : CTrackWindow(panel, parent), drag_(panel.Model()) {}

void CMediaTrack::Render(QPainter& painter, int width, int height) {
    painter.fillRect(0, 0, width, height, colours::kBackground);
    const CTrackMapping& m = Mapping();
    const int first = m.FirstVisible(), last = m.LastVisible();
    int position = 0;
    for (const MediaClip& clip : Model().Project().mediaClips) {
        const int at = position++;
        if (!RangesOverlap(clip.firstFrame, clip.lastFrame, first, last)) continue;
        // Files missing from the working folder are reported after the redraw, not drawn.
        if (!std::filesystem::exists(clip.fileName)) continue;
        const int x = m.XOf(clip.firstFrame);
        const int w = std::max(2, m.XOf(clip.lastFrame + 1) - x);
        const QColor fill = at == Model().SelectedMediaPosition()    ? colours::kSelectedClip
                            : clip.header != MediaClip::kHeaderImage ? colours::kClip
                                                                     : colours::kOneFrameClip;
        const QRect body(x, 3, w, height - 6);
        painter.fillRect(body, fill);
        DrawClipEdge(painter, body, fill);
        DrawClipName(painter, body.adjusted(3, 0, -3, 0), clip.fileName, fill);
    }
    if (drag_.Active()) {
        const CClipDrag::Range& copy = drag_.Copy();
        const int x = m.XOf(copy.firstFrame);
        painter.setPen(colours::kDragCopy);
        painter.drawRect(x, 2, m.XOf(copy.lastFrame + 1) - x - 1, height - 5);
    }
    DrawCurrentFrame(painter, height);
}

int CMediaTrack::PositionAt(int frame) const {
    int position = 0;
    for (const MediaClip& clip : Model().Project().mediaClips) {
        if (clip.Contains(frame)) return position;
        ++position;
    }
    return -1;
}

void CMediaTrack::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || panel_.IsPlaying()) return;
    const int frame = Mapping().FrameAt(event->position().toPoint().x());
    const int position = PositionAt(frame);
    Model().SelectMedia(position);
    if (position >= 0 && !Mapping().Overview()) drag_.StartMediaClip(position, frame);
    panel_.RedrawTracks();
}

void CMediaTrack::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Active()) return;
    drag_.DragTo(Mapping().FrameAt(event->position().toPoint().x()));
    panel_.RedrawTracks();
}

void CMediaTrack::mouseReleaseEvent(QMouseEvent*) {
    if (!drag_.Active()) return;
    panel_.Apply(drag_.Finish());
}

}  // namespace tavrel
