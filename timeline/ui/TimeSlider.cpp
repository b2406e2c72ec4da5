#include "timeline/ui/TimeSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

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

// Drawn by the style as the parts of a scroll bar, which is what it is, over our own
// geometry so that what is drawn and what a press finds agree.
void CTimeSlider::Render(QPainter& painter, int width, int height) {
    painter.fillRect(0, 0, width, height, palette().window());
    const auto [x, w] = Thumb(width);
    QStyleOptionSlider option;
    option.initFrom(this);
    option.orientation = Qt::Horizontal;
    option.minimum = 0;
    option.maximum = Mapping().MaxScroll();
    option.pageStep = Mapping().Width();
    option.sliderPosition = option.sliderValue = Mapping().Scroll();
    option.state |= QStyle::State_Horizontal;
    const auto draw = [&](QStyle::ControlElement element, const QRect& rect) {
        option.rect = rect;
        style()->drawControl(element, &option, &painter, this);
    };
    draw(QStyle::CE_ScrollBarSubPage, QRect(0, 0, x, height));
    draw(QStyle::CE_ScrollBarAddPage, QRect(x + w, 0, width - x - w, height));
    if (dragging_) option.state |= QStyle::State_Sunken;
    draw(QStyle::CE_ScrollBarSlider, QRect(x, 0, w, height));
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
    update();
}

}  // namespace tavrel
