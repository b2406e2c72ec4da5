#include "timeline/ui/TimeSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {

// The slider is drawn, and pressed, as the style's own scroll bar over the visible part of
// the timeline: the style places the thumb, so what is drawn and what a press finds agree.
QStyleOptionSlider CTimeSlider::Option(int width) const {
    const CTrackMapping& m = Mapping();
    QStyleOptionSlider option;
    option.initFrom(this);
    option.rect = QRect(0, 0, width, height());
    option.orientation = Qt::Horizontal;
    option.state |= QStyle::State_Horizontal;
    option.subControls = QStyle::SC_All;
    option.minimum = 0;
    option.maximum = m.Overview() ? 0 : m.MaxScroll();
    option.pageStep = m.Width();
    option.singleStep = m.PixelsPerFrame() * 10;
    option.sliderPosition = option.sliderValue = m.Overview() ? 0 : m.Scroll();
    if (dragging_) {
        option.activeSubControls = QStyle::SC_ScrollBarSlider;
        option.state |= QStyle::State_Sunken;
    }
    return option;
}

QRect CTimeSlider::Part(int width, QStyle::SubControl part) const {
    const QStyleOptionSlider option = Option(width);
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
}

std::pair<int, int> CTimeSlider::Thumb(int width) const {
    const QRect thumb = Part(width, QStyle::SC_ScrollBarSlider);
    return {thumb.left(), thumb.width()};
}

void CTimeSlider::Render(QPainter& painter, int width, int height) {
    painter.fillRect(0, 0, width, height, palette().window());
    const QStyleOptionSlider option = Option(width);
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
}

void CTimeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || Mapping().Overview()) return;
    const int x = event->position().toPoint().x();
    const QRect groove = Part(width(), QStyle::SC_ScrollBarGroove);
    // The arrows step a tenth of the view's width.
    if (x < groove.left() || x > groove.right()) {
        const int step = std::max(1, Mapping().Width() / 10);
        panel_.ScrollTo(std::clamp(Mapping().Scroll() + (x < groove.left() ? -step : step), 0,
                                   Mapping().MaxScroll()));
        return;
    }
    const auto [left, w] = Thumb(width());
    // A press beside the thumb brings the thumb's middle there.
    grab_ = (x >= left && x < left + w) ? x - left : w / 2;
    dragging_ = true;
    mouseMoveEvent(event);
}

void CTimeSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QRect groove = Part(width(), QStyle::SC_ScrollBarGroove);
    const int w = Thumb(width()).second;
    const int travel = std::max(1, groove.width() - w);
    const int x = std::clamp(int(event->position().x()) - grab_ - groove.left(), 0, travel);
    panel_.ScrollTo(QStyle::sliderValueFromPosition(0, Mapping().MaxScroll(), x, travel));
}

void CTimeSlider::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    update();
}

}  // namespace tavrel
