#include "timeline/ui/LayerRows.h"

#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "settings/StringIds.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/ObjectGrid.h"
#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TimelineStrings.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel {
namespace {

const QColor kOverrideClip = colours::Bgr(0x994422);
const QColor kKeyClip = colours::Bgr(0x66AA66);
const QColor kSelectedRow = colours::Bgr(0xD8C8B0);
const QColor kKey = colours::Bgr(0x000000);

}  // namespace

CLayerRows::CLayerRows(CTimelinePanel& panel, QWidget* parent) : CTrackWindow(panel, parent) {
    setAcceptDrops(true);
    setMouseTracking(true);  // the ends' cursor
}

void CLayerRows::ShowRows(int rows, int layer) {
    const int count = int(Model().Layers().tracks.size());
    shown_ = std::clamp(rows, 0, count);
    if (top_ < 0 || top_ >= count) top_ = count - 1;
    if (layer > top_) top_ = layer;
    if (layer >= 0 && layer < top_ - shown_ + 1) top_ = layer + shown_ - 1;
    top_ = std::clamp(top_, shown_ - 1, count - 1);
}

int CLayerRows::RowTop(int layer) const {
    return (top_ - layer) * kRowHeight;
}

int CLayerRows::LayerAt(int y) const {
    const int layer = top_ - y / kRowHeight;
    return y >= 0 && layer >= 0 && layer > top_ - shown_ ? layer : -1;
}

void CLayerRows::Render(QPainter& painter, int width, int height) {
    painter.fillRect(0, 0, width, height, colours::kBackground);
    const CTrackMapping& m = Mapping();
    const auto& tracks = Model().Layers().tracks;
    for (int layer = 0; layer < int(tracks.size()); ++layer) {
        const int top = RowTop(layer);
        if (top < 0 || top >= height) continue;
        if (layer == panel_.SelectedLayer()) {
            painter.fillRect(0, top, width, kRowHeight, kSelectedRow);
        }
        painter.setPen(colours::kBandLine);
        painter.drawLine(0, top + kRowHeight - 1, width, top + kRowHeight - 1);
        for (int c = 0; c < int(tracks[layer].clips.size()); ++c) {
            const LayerClip& clip = tracks[layer].clips[c];
            const bool dragged = drag_.layer == layer && drag_.clip == c;
            const auto [first, last] =
                dragged ? DraggedFrames(clip, drag_) : std::pair(clip.firstFrame, clip.lastFrame);
            const int x = m.XOf(first);
            const int w = std::max(2, m.XOf(last + 1) - x);
            const QColor fill = clip.IsKeyClip()                    ? kKeyClip
                                : clip.mode == LayerMode::kOverride ? kOverrideClip
                                                                    : colours::kClip;
            const QRect body(x, top + 2, w, kRowHeight - 4);
            painter.fillRect(body, fill);
            DrawClipEdge(painter, body, fill);
            if (!clip.IsKeyClip()) {
                DrawClipName(painter, body.adjusted(3, 0, -3, 0), clip.fileName, fill);
            }
            painter.setPen(kKey);
            // Keys keep their frames while an end is dragged, and go with a moved clip.
            const int keysFrom = drag_.grip == Grip::kBody ? first : clip.firstFrame;
            for (const SegmentKey& key : clip.keys) {
                if (!RangesOverlap(first, last, keysFrom + key.frame, keysFrom + key.frame))
                    continue;
                const int kx = m.XOf(keysFrom + key.frame) + m.PixelsPerFrame() / 2;
                painter.drawLine(kx, top + 4, kx, top + kRowHeight - 5);
            }
        }
    }
    DrawCurrentFrame(painter, height);
}

void CLayerRows::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int layer = LayerAt(at.y());
    if (panel_.IsPlaying() || layer < 0) return;
    panel_.SelectLayer(layer);
    const int frame = Mapping().FrameAt(at.x());
    if (event->button() == Qt::RightButton) {
        return ShowContextMenu(at, event->globalPosition().toPoint());
    }
    if (event->button() != Qt::LeftButton) return;
    Grip grip = Grip::kBody;
    const int clip = ClipUnder(layer, at.x(), &grip);
    drag_ = clip >= 0 && !Mapping().Overview() ? Drag{layer, clip, frame, 0, grip} : Drag{};
    panel_.RedrawTracks();
}

// An end's grip reaches a few pixels to each side of it, inside the clip at least one frame.
int CLayerRows::ClipUnder(int layer, int x, Grip* grip) const {
    constexpr int kReach = 3;
    const CTrackMapping& m = Mapping();
    const auto& clips = Model().Layers().tracks[layer].clips;
    for (int c = 0; c < int(clips.size()); ++c) {
        const int left = m.XOf(clips[c].firstFrame), right = m.XOf(clips[c].lastFrame + 1);
        if (x < left - kReach || x >= right + kReach) continue;
        const int reach = std::min(kReach, (right - left) / 3);
        *grip = x < left + reach ? Grip::kFirst : x >= right - reach ? Grip::kLast : Grip::kBody;
        return c;
    }
    return -1;
}

std::pair<int, int> CLayerRows::DraggedFrames(const LayerClip& clip, const Drag& drag) {
    switch (drag.grip) {
        case Grip::kFirst:
            return {std::min(clip.firstFrame + drag.by, clip.lastFrame), clip.lastFrame};
        case Grip::kLast:
            return {clip.firstFrame, std::max(clip.lastFrame + drag.by, clip.firstFrame)};
        default:
            return {clip.firstFrame + drag.by, clip.lastFrame + drag.by};
    }
}

void CLayerRows::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_.clip < 0) {
        const int layer = LayerAt(at.y());
        Grip grip = Grip::kBody;
        const bool end = layer >= 0 && ClipUnder(layer, at.x(), &grip) >= 0 &&
                         grip != Grip::kBody && !panel_.IsPlaying();
        setCursor(end ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    drag_.by = Mapping().FrameAt(at.x()) - drag_.grabbedAt;
    update();
}

void CLayerRows::mouseReleaseEvent(QMouseEvent*) {
    const Drag drag = drag_;
    drag_ = Drag{};
    if (drag.clip < 0 || drag.by == 0) return update();
    const LayerClip& clip = Model().Layers().tracks[drag.layer].clips[drag.clip];
    if (drag.grip == Grip::kBody) {
        return panel_.Apply(
            Model().MoveLayerClip(drag.layer, drag.clip, clip.firstFrame + drag.by));
    }
    const auto [first, last] = DraggedFrames(clip, drag);
    panel_.Apply(Model().ResizeLayerClip(drag.layer, drag.clip, first, last));
}

void CLayerRows::ShowContextMenu(QPoint local, QPoint global) {
    rightClick_ = {LayerAt(local.y()), Mapping().FrameAt(local.x())};
    std::unique_ptr<QMenu> menu = BuildContextMenu();
    const int command = showMenu_(*menu, global);
    if (command && StateOf(command).enabled) RunContextCommand(command);
}

CommandState CLayerRows::StateOf(int command) const {
    return LayerCommandState(Model(), panel_.State(), rightClick_, command);
}

std::unique_ptr<QMenu> CLayerRows::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [&](QMenu* to, int command, bool checkable, QString text = {}) {
        QAction* action = to->addAction(text.isEmpty() ? panel_.Text(command) : text);
        action->setData(command);
        const CommandState state = StateOf(command);
        action->setEnabled(state.enabled);
        action->setCheckable(checkable);
        action->setChecked(state.checked);
    };
    add(menu.get(), commands::kLayerAdditive, true);
    add(menu.get(), commands::kLayerOverride, true);
    menu->addSeparator();
    for (int command : commands::kLayerWeights) add(menu.get(), command, true);
    add(menu.get(), commands::kLayerWeightAsk, true);
    add(menu.get(), commands::kLayerEase, true);
    add(menu.get(), commands::kLayerNoEase, true);
    add(menu.get(), commands::kLayerEaseAsk, true);
    menu->addSeparator();
    for (int command : commands::kLayerMasks) add(menu.get(), command, true);
    // Any set of segments: each one turned in or out of the mask.
    QMenu* segments = menu->addMenu(panel_.Text(strings::kLayerSegmentsMenu));
    for (int segment = 0; segment < kStandardSegmentCount; ++segment) {
        add(segments, commands::kLayerSegment + segment, true, kStandardSkeleton[segment].name);
    }
    menu->addSeparator();
    add(menu.get(), commands::kRemoveLayerClip, false);
    add(menu.get(), commands::kAddLayer, false);
    add(menu.get(), commands::kRemoveLayer, false);
    return menu;
}

void CLayerRows::RunContextCommand(int command) {
    if (!StateOf(command).enabled) return;
    CTimelineModel& model = Model();
    const int layer = rightClick_.layer;
    const int clip = layer >= 0 ? model.Layers().tracks[layer].IndexAt(rightClick_.frame) : -1;
    const LayerClip* c = clip >= 0 ? &model.Layers().tracks[layer].clips[clip] : nullptr;
    if (const float weight = WeightOfCommand(command); weight >= 0.0f && c) {
        return panel_.Apply(
            model.SetLayerClipWeight(layer, clip, weight, c->easeIn, c->easeOut, c->curve));
    }
    if (const int mask = MaskOfCommand(command); mask >= 0) {
        return panel_.Apply(model.SetLayerClipMask(layer, clip, kBodyMaskPresets[mask].mask));
    }
    if (const int segment = SegmentOfCommand(command); segment >= 0) {
        return panel_.Apply(model.SetLayerClipMask(layer, clip, c->mask ^ SegmentBit(segment)));
    }
    switch (command) {
        case commands::kLayerAdditive:
        case commands::kLayerOverride: {
            const bool over = command == commands::kLayerOverride;
            return panel_.Apply(model.SetLayerClipMode(
                layer, clip, over ? LayerMode::kOverride : LayerMode::kAdditive));
        }
        case commands::kLayerEase:
        case commands::kLayerNoEase: {
            const int ease = command == commands::kLayerEase ? commands::kLayerEaseFrames : 0;
            return panel_.Apply(
                model.SetLayerClipWeight(layer, clip, c->weight, ease, ease, kCurveCurve));
        }
        case commands::kLayerWeightAsk:
            if (const int percent = panel_.AskNumber(strings::kLayerWeightQuestion, 1, 100,
                                                     int(std::lround(c->weight * 100)))) {
                return panel_.Apply(model.SetLayerClipWeight(layer, clip, float(percent) / 100.0f,
                                                             c->easeIn, c->easeOut, c->curve));
            }
            return;
        case commands::kLayerEaseAsk:
            if (const int frames = panel_.AskNumber(strings::kLayerEaseQuestion, 1, c->Length() / 2,
                                                    std::max(1, c->easeIn))) {
                const CurveType curve = c->easeIn || c->easeOut ? c->curve : kCurveCurve;
                return panel_.Apply(
                    model.SetLayerClipWeight(layer, clip, c->weight, frames, frames, curve));
            }
            return;
        case commands::kRemoveLayerClip:
            return panel_.Apply(model.RemoveLayerClip(layer, clip));
        case commands::kAddLayer:
            return panel_.AddLayer();
        case commands::kRemoveLayer:
            return panel_.RemoveLayer(layer);
        default:
            return;
    }
}

void CLayerRows::dragEnterEvent(QDragEnterEvent* event) {
    bool hadFiles = false;
    CObjectGrid::DroppedFiles(*event->mimeData(), &hadFiles);
    if (hadFiles && !panel_.IsPlaying() && Model().HasProject()) event->acceptProposedAction();
}

void CLayerRows::dragMoveEvent(QDragMoveEvent* event) {
    if (LayerAt(event->position().toPoint().y()) >= 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

// Motion onto motion: each dropped file an additive clip on the layer, one after the other.
void CLayerRows::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = CObjectGrid::DroppedFiles(*event->mimeData(), nullptr);
    const int layer = LayerAt(event->position().toPoint().y());
    event->acceptProposedAction();
    panel_.setFocus(Qt::OtherFocusReason);
    if (layer < 0) return;
    if (files.empty()) return panel_.ShowMessage(MakeMessage(strings::kNotMotionFiles));
    panel_.SelectLayer(layer);
    int frame = Mapping().FrameAt(event->position().toPoint().x());
    for (const std::string& file : files) {
        const EditResult result = Model().AddLayerClip(layer, file, frame);
        panel_.Apply(result);
        if (!result.done) return;
        frame = Model().Layers().tracks[layer].ClipAt(frame)->lastFrame + 1;
    }
}

}  // namespace tavrel
