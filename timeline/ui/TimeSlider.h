#pragma once
// The time slider: a scroll bar whose thumb shows the visible part of the timeline; dragging it
// scrolls every track window.
#include <QStyle>

#include "timeline/ui/TrackWindow.h"

class QStyleOptionSlider;

namespace tavrel {

class CTimeSlider : public CTrackWindow {
public:
    using CTrackWindow::CTrackWindow;

    // The thumb's left pixel and width in a slider of that width.
    std::pair<int, int> Thumb(int width) const;

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QStyleOptionSlider Option(int width) const;
    QRect Part(int width, QStyle::SubControl part) const;

    bool dragging_ = false;
    int grab_ = 0;  // pixel of the press within the thumb
};

}  // namespace tavrel
