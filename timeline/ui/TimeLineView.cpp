#include "timeline/ui/TimeLineView.h"

#include <QKeyEvent>

namespace tavrel {

CTimeLineView::CTimeLineView(std::unique_ptr<CTimelineModel> model,
                             CTimelinePanel::Services services, QWidget* parent)
    : QWidget(parent), panel_(new CTimelinePanel(std::move(model), std::move(services), this)) {
    setFocusProxy(panel_);
    setMinimumHeight(kFrameMinHeight - 30);
}

void CTimeLineView::resizeEvent(QResizeEvent*) {
    panel_->setGeometry(rect());
}

void CTimeLineView::keyPressEvent(QKeyEvent* event) {
    if (!panel_->HandleKey(event->key())) QWidget::keyPressEvent(event);
}

}  // namespace tavrel
