#pragma once
// The media track: videos and pictures behind the avatar. A clip is selected by a click and
// moved by dragging it.
#include "timeline/ui/TrackWindow.h"

namespace tavrel {

class CMediaTrack : public CTrackWindow {
public:
    using CTrackWindow::CTrackWindow;

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int PositionAt(int frame) const;

    int dragPosition_ = -1;
    int grab_ = 0;
    int dragFirst_ = 0;
};

}  // namespace tavrel
