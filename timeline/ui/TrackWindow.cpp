#include "timeline/ui/TrackWindow.h"

#include <QPainter>
#include <filesystem>

#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {

CTrackWindow::CTrackWindow(CTimelinePanel& panel, QWidget* parent)
    : QWidget(parent), panel_(panel) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A click on a track gives the keys to the panel.
    setFocusPolicy(Qt::ClickFocus);
    setFocusProxy(&panel);
}

const QImage& CTrackWindow::RenderImage() {
    const int w = std::max(width(), CTrackMapping::kImageWidth);
    const int h = std::max(height(), 1);
    // The image lives as long as the window; only a change of size makes a new one.
    if (image_.width() < w || image_.height() != h) {
        image_ = QImage(w, h, QImage::Format_RGB32);
    }
    QPainter painter(&image_);
    Render(painter, width(), h);
    return image_;
}

void CTrackWindow::paintEvent(QPaintEvent*) {
    const QImage& image = RenderImage();
    QPainter(this).drawImage(0, 0, image);
}

const CTrackMapping& CTrackWindow::Mapping() const {
    return panel_.Mapping();
}

CTimelineModel& CTrackWindow::Model() const {
    return panel_.Model();
}

void CTrackWindow::DrawCurrentFrame(QPainter& painter, int height) const {
    const CTrackMapping& m = Mapping();
    const int frame = Model().CurrentFrame();
    const int x = m.XOf(frame) + int(m.FrameWidth() / 2);
    painter.setPen(colours::kCurrentFrame);
    painter.drawLine(x, 0, x, height - 1);
}

void CTrackWindow::DrawClipEdge(QPainter& painter, const QRect& body, const QColor& fill) {
    const bool selected = fill == colours::kSelectedClip;
    painter.setPen(QPen(selected ? colours::kSelectedEdge : colours::kClipEdge, selected ? 2 : 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(selected ? body.adjusted(1, 1, -1, -1) : body.adjusted(0, 0, -1, -1));
}

void CTrackWindow::DrawClipName(QPainter& painter, const QRect& room, const std::string& file,
                                const QColor& fill) {
    if (room.width() <= 34) return;
    const QString name = QString::fromStdString(std::filesystem::path(file).stem().string());
    painter.setPen(fill == colours::kClip ? colours::kWhite : colours::kTick);
    painter.drawText(room, Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(name, Qt::ElideMiddle, room.width()));
}

}  // namespace tavrel
