#include "timeline/ui/TimeSlider.h"

#include <QMouseEvent>
#include <QPainter>

#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {

std::pair<int, int> CTimeSlider::Thumb(int width) const {
    const CTrackMapping& m = Mapping();
    if (m.Overview()) return {0, width};
    const double total = double(kMaxFrame + 1) * m.PixelsPerFrame();
    const int w = std::max(12, int(width * m.Width() / total));
    const int range = m.MaxScroll();
    const int x = range > 0 ? int(double(m.Scroll()) / range * (width - w)) : 0;
    return {x, w};
}

void CTimeSlider::Render(QPainter& painter, int width, int height) {
    painter.fillRect(0, 0, width, height, colours::kBackground);
    const auto [x, w] = Thumb(width);
    const QRect thumb(x, 2, w, height - 4);
    painter.fillRect(thumb, colours::kStrip);
    // A raised edge: light top and left, dark bottom and right.
    painter.setPen(colours::kHighlight);
    painter.drawLine(thumb.topLeft(), thumb.topRight());
    painter.drawLine(thumb.topLeft(), thumb.bottomLeft());
    painter.setPen(colours::kDarkShadow);
    painter.drawLine(thumb.bottomLeft(), thumb.bottomRight());
    painter.drawLine(thumb.topRight(), thumb.bottomRight());
    painter.setPen(colours::kShadow);
    painter.drawLine(thumb.left() + 1, thumb.bottom() - 1, thumb.right() - 1, thumb.bottom() - 1);
    painter.setPen(colours::kLightShadow);
    painter.drawLine(thumb.left() + 1, thumb.top() + 1, thumb.right() - 1, thumb.top() + 1);
}

void CTimeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || Mapping().Overview()) return;
    const int x = event->position().toPoint().x();
    const auto [left, w] = Thumb(width());
    // A press beside the thumb brings the thumb's middle there.
    grab_ = (x >= left && x < left + w) ? x - left : w / 2;
    dragging_ = true;
    mouseMoveEvent(event);
}

void CTimeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const auto [left, w] = Thumb(width());
    const int travel = std::max(1, width() - w);
    const int x = std::clamp(int(event->position().x()) - grab_, 0, travel);
    panel_.ScrollTo(int(double(x) / travel * Mapping().MaxScroll()));
}

void CTimeSlider::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
}

}  // namespace tavrel
