#include "timeline/ui/TrackEdge.h"

#include <QPainter>

#include "timeline/ui/TrackColours.h"

namespace tavrel {

void CTrackEdge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colours::kShadow);
    painter.drawLine(0, 0, 0, height());
    painter.setPen(colours::kHighlight);
    painter.drawLine(1, 0, 1, height());
}

}  // namespace tavrel
