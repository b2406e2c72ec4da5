#include "timeline/ui/FrameRuler.h"

#include <QMouseEvent>
#include <QPainter>

#include "timeline/TimelineCommandRules.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {
namespace {

// Past frame 1000 the numbers grow wide: only every 50th frame keeps its label.
bool RoomForLabel(int frame) {
    return frame < 1000 || (frame - 1000) % 50 == 0;
}

}  // namespace

RulerMark RulerMarkAt(int frame, int p) {
    if (frame % 5 != 0) return {p >= 4 ? RulerTick::kShort : RulerTick::kNone, false};
    const bool labelled = p >= 4 || (p == 3 && frame % 10 == 0) || (p == 2 && frame % 20 == 0) ||
                          (p == 1 && frame % 30 == 0);
    if (labelled) return {RulerTick::kLong, RoomForLabel(frame)};
    return {p == 3 ? RulerTick::kMedium : RulerTick::kNone, false};
}

int OverviewLabelStep(int end) {
    return end < 3600 ? 120 : 240;
}

bool OverviewLabelAt(int frame, int step) {
    if (frame < 1000) return step == 120;
    return (frame - 1000) % 50 == 0;
}

void CFrameRuler::Render(QPainter& painter, int width, int height) {
    labelRects_.clear();
    painter.fillRect(0, 0, width, height, colours::kRulerBack);
    painter.setFont(font());
    if (Mapping().Overview()) {
        RenderOverview(painter, width, height);
    } else {
        RenderZoomed(painter, width, height);
    }
    painter.setPen(colours::kShadow);
    painter.drawLine(0, 0, width, 0);
    DrawCurrentFrame(painter, height);
}

void CFrameRuler::RenderZoomed(QPainter& painter, int width, int height) {
    const CTrackMapping& m = Mapping();
    const int p = m.PixelsPerFrame();
    const int last = std::min(kMaxFrame, m.FrameAt(width - 1) + 1);
    for (int f = m.FrameAt(0); f <= last; ++f) {
        const RulerMark mark = RulerMarkAt(f, p);
        if (mark.tick == RulerTick::kNone) continue;
        const int x = m.XOf(f);
        const int length = mark.tick == RulerTick::kLong     ? 8
                           : mark.tick == RulerTick::kMedium ? 5
                                                             : 3;
        painter.setPen(colours::kTick);
        painter.drawLine(x, 1, x, length);
        if (mark.label) DrawLabel(painter, x, f, height);
    }
}

void CFrameRuler::RenderOverview(QPainter& painter, int, int height) {
    const CTrackMapping& m = Mapping();
    const int end = m.OverviewEnd();
    const int step = OverviewLabelStep(end);
    for (int f = 0; f <= end; f += step) {
        const int x = m.XOf(f);
        painter.setPen(colours::kTick);
        painter.drawLine(x, 1, x, 8);
        if (OverviewLabelAt(f, step)) DrawLabel(painter, x, f, height);
    }
}

// A number that would touch the one before it is left out: at fine zooms wide numbers would
// otherwise run together.
void CFrameRuler::DrawLabel(QPainter& painter, int x, int frame, int height) {
    constexpr int kGap = 4;
    const QString text = QString::number(frame);
    const QRect rect(x + 2, 1, painter.fontMetrics().horizontalAdvance(text), height - 2);
    if (!labelRects_.empty() && rect.left() < labelRects_.back().right() + kGap) return;
    painter.setPen(colours::kLabel);
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignBottom, text);
    labelRects_.push_back(rect);
}

void CFrameRuler::ScrubTo(int x) {
    const int frame = Mapping().FrameAt(x);
    if (frame != Model().CurrentFrame()) panel_.ScrubToFrame(frame);
}

void CFrameRuler::mousePressEvent(QMouseEvent* event) {
    const int frame = Mapping().FrameAt(event->position().toPoint().x());
    if (event->button() == Qt::RightButton && panel_.SelectedLayer() >= 0 && !panel_.IsPlaying()) {
        std::unique_ptr<QMenu> menu = BuildKeyMenu(frame);
        const int command = showMenu_(*menu, event->globalPosition().toPoint());
        if (command) RunKeyCommand(command, frame);
        return;
    }
    if (event->button() != Qt::LeftButton || panel_.IsPlaying()) return;
    scrubbing_ = true;
    ScrubTo(event->position().toPoint().x());
}

std::unique_ptr<QMenu> CFrameRuler::BuildKeyMenu(int frame) {
    auto menu = std::make_unique<QMenu>(this);
    const LayerClick at{panel_.SelectedLayer(), frame};
    for (int command : {commands::kDeleteKeys, commands::kClearKeys, commands::kMoveKeysHere}) {
        QAction* action = menu->addAction(panel_.Text(command));
        action->setData(command);
        action->setEnabled(LayerCommandState(Model(), panel_.State(), at, command).enabled);
    }
    return menu;
}

void CFrameRuler::RunKeyCommand(int command, int frame) {
    const LayerClick at{panel_.SelectedLayer(), frame};
    if (!LayerCommandState(Model(), panel_.State(), at, command).enabled) return;
    CTimelineModel& model = Model();
    switch (command) {
        case commands::kDeleteKeys:
            return panel_.Apply(model.DeleteKeys(at.layer, frame));
        case commands::kClearKeys:
            return panel_.Apply(model.ClearKeys(at.layer, frame));
        case commands::kMoveKeysHere:
            return panel_.Apply(model.MoveKeys(at.layer, model.CurrentFrame(), frame));
        default:
            return;
    }
}

void CFrameRuler::mouseMoveEvent(QMouseEvent* event) {
    if (scrubbing_) ScrubTo(event->position().toPoint().x());
}

void CFrameRuler::mouseReleaseEvent(QMouseEvent*) {
    scrubbing_ = false;
}

}  // namespace tavrel
