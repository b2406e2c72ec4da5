#pragma once
// The sound track: the loaded WAV drawn along the frames it covers, with a mark at every second
// (every fifth second for a sound of a minute or more). Pressing moves the current frame.
#include "timeline/ui/TrackWindow.h"

namespace tavrel {

class CSoundTrack : public CTrackWindow {
public:
    using CTrackWindow::CTrackWindow;

    // Frames between two second marks for a sound of that length.
    static int SecondMarkSpacing(double seconds) { return seconds < 60.0 ? 60 : 300; }

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool scrubbing_ = false;
};

}  // namespace tavrel
