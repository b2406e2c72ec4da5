#include "timeline/ui/SoundTrack.h"

#include <QMouseEvent>
#include <QPainter>

#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {

void CSoundTrack::Render(QPainter& painter, int width, int height) {
    painter.fillRect(0, 0, width, height, colours::kBackground);
    const CSoundLevels& wave = panel_.Wave();
    if (wave.FrameCount() > 0) {
        const CTrackMapping& m = Mapping();
        const int end = std::min(wave.FrameCount() - 1, kMaxFrame);
        const int xEnd = m.XOf(end + 1);
        painter.fillRect(m.XOf(0), 2, xEnd - m.XOf(0), height - 4, colours::kStrip);
        // One line per pixel column: the loudest frame under it.
        const int middle = height / 2;
        painter.setPen(colours::kTransition);
        for (int x = std::max(0, m.XOf(0)); x < std::min(width, xEnd); ++x) {
            const int f0 = m.FrameAt(x), f1 = std::max(f0, m.FrameAt(x + 1) - 1);
            float level = 0.0f;
            for (int f = f0; f <= f1 && f <= end; ++f) level = std::max(level, wave.LevelAt(f));
            const int half = int(level * (middle - 3));
            painter.drawLine(x, middle - half, x, middle + half);
        }
        const int spacing = SecondMarkSpacing(wave.Seconds());
        painter.setPen(colours::kTick);
        for (int f = spacing; f <= end; f += spacing) {
            const int x = m.XOf(f);
            if (x >= width) break;
            painter.drawLine(x, 2, x, 7);
        }
    }
    DrawCurrentFrame(painter, height);
}

void CSoundTrack::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || panel_.IsPlaying()) return;
    scrubbing_ = true;
    mouseMoveEvent(event);
}

void CSoundTrack::mouseMoveEvent(QMouseEvent* event) {
    if (!scrubbing_) return;
    const int frame = Mapping().FrameAt(event->position().toPoint().x());
    if (frame != Model().CurrentFrame()) panel_.ScrubToFrame(frame);
}

void CSoundTrack::mouseReleaseEvent(QMouseEvent*) {
    scrubbing_ = false;
}

}  // namespace tavrel
