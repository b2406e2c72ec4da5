#pragma once
// The media track: videos and pictures behind the avatar. A clip is selected by a click and
// moved by dragging it.
#include "timeline/ClipDrag.h"
#include "timeline/ui/TrackWindow.h"

namespace tavrel {

class CMediaTrack : public CTrackWindow {
public:
    CMediaTrack(CTimelinePanel& panel, QWidget* parent);

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int PositionAt(int frame) const;

    CClipDrag drag_;
};

}  // namespace tavrel
