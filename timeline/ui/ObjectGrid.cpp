#include "timeline/ui/ObjectGrid.h"

#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "motion/AnimFileFactory.h"
#include "motion/CurveFunction.h"
#include "motion/RepeatCycle.h"
#include "settings/StringIds.h"
#include "timeline/ClipPlace.h"
#include "timeline/FrameSample.h"
#include "timeline/TimelineCommandRules.h"
#include "timeline/TimelineCommands.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelinePanel.h"
#include "timeline/ui/TimelineStrings.h"
#include "timeline/ui/TrackColours.h"
#include "uikit/UiText.h"

namespace tavrel {
namespace {

// Any file a motion reader takes, as the gallery lists them.
bool IsMotionFile(const std::string& path) {
    return MotionFileTypeOf(path) != kTypeUnknown;
}

}  // namespace

CObjectGrid::CObjectGrid(CTimelinePanel& panel, QWidget* parent)
    : CTrackWindow(panel, parent), drag_(panel.Model()) {
    setMouseTracking(true);
    setAcceptDrops(true);
    setContextMenuPolicy(Qt::PreventContextMenu);  // the right button opens it on press
}

CObjectGrid::~CObjectGrid() = default;

// ---------------------------------------------------------------------------------------------
// Looking at the track

std::vector<CObjectGrid::Placed> CObjectGrid::TimeOrder() const {
    const auto& clips = Model().Project().motionClips;
    std::vector<Placed> order;
    order.reserve(size_t(clips.Count()));
    int position = clips.Count();
    for (auto it = clips.rbegin(); it != clips.rend(); ++it) order.push_back({--position, &*it});
    return order;
}

std::vector<CObjectGrid::Neighbours> CObjectGrid::TransitionPairs() const {
    std::vector<Neighbours> pairs;
    const std::vector<Placed> order = TimeOrder();
    for (size_t i = 1; i < order.size(); ++i) {
        const bool overlap = order[i].clip->firstFrame <= order[i - 1].clip->lastFrame;
        pairs.push_back({order[i - 1].position, order[i].position, int(i), overlap});
    }
    return pairs;
}

bool CObjectGrid::BlendShown(const Neighbours& pair, TransitionZone* zone) const {
    if (!drag_.ShownBlend(pair.earlier, zone)) return false;
    if (pair.overlap) return zone->end >= zone->start;
    // Between clips apart, a blend needs frames of both clips and more than one frame.
    const auto [out, in] = LengthsOfBlend(*Model().ClipAtPosition(pair.earlier),
                                          *Model().ClipAtPosition(pair.later), *zone);
    return out > 0 && in > 0 && zone->end > zone->start;
}

std::optional<CObjectGrid::Neighbours> CObjectGrid::BlendAt(int frame, bool clipBand) const {
    for (const Neighbours& pair : TransitionPairs()) {
        const MotionClip& a = *Model().ClipAtPosition(pair.earlier);
        const MotionClip& b = *Model().ClipAtPosition(pair.later);
        TransitionZone zone{0, -1};
        if (clipBand ? pair.overlap && frame >= b.firstFrame &&
                           frame <= std::min(a.lastFrame, b.lastFrame)
                     : BlendShown(pair, &zone) && zone.Contains(frame)) {
            return pair;
        }
    }
    return std::nullopt;
}

double CObjectGrid::Reach() const {
    return kHandlePixels / Mapping().FrameWidth();
}

double CObjectGrid::ExactFrame(int x) const {
    return Mapping().ExactFrameAt(x);
}

// ---------------------------------------------------------------------------------------------
// Painting

int CObjectGrid::ClipBottom() const {
    // A taller track (its neighbours collapsed) gives the room to its clips.
    return kClipBottom + std::max(0, height() - CTimelinePanel::kMotionHeight);
}

void CObjectGrid::Render(QPainter& painter, int width, int height) {
    const CTrackMapping& m = Mapping();
    painter.fillRect(0, 0, width, height, colours::kBackground);
    painter.fillRect(0, kTransitionTop, width, kTransitionBottom - kTransitionTop + 1,
                     colours::kStrip.darker(108));
    painter.setPen(colours::kBandLine);
    painter.drawLine(0, kMarkBottom + 1, width, kMarkBottom + 1);
    painter.drawLine(0, kClipTop - 1, width, kClipTop - 1);

    const int ppf = m.PixelsPerFrame();
    if (!m.Overview() && ppf >= 3) {
        painter.setPen(colours::kShadow);
        for (int f = m.FirstVisible(); f <= m.LastVisible(); ++f) {
            const int x = m.XOf(f);
            painter.drawLine(x, f % 5 == 0 ? ClipBottom() - 6 : ClipBottom() - 2, x, ClipBottom());
        }
    }

    // In overview the whole timeline is visible.
    const int first = m.Overview() ? 0 : m.FirstVisible();
    const int last = m.Overview() ? kMaxFrame : m.LastVisible();
    const auto fillOf = [this](const MotionClip& clip) {
        if (&clip == Model().SelectedClip()) return colours::kSelectedClip;
        return clip.IsOneFrame() ? colours::kOneFrameClip : colours::kClip;
    };
    std::vector<Placed> shown;
    for (const Placed& placed : TimeOrder()) {
        const MotionClip& clip = *placed.clip;
        if (RangesOverlap(clip.firstFrame, clip.lastFrame, first, last)) shown.push_back(placed);
    }
    for (const Placed& p : shown) DrawClipBody(painter, *p.clip, fillOf(*p.clip));
    // Every blend is drawn above the clips; one over an overlap also where the clips cross,
    // and there a clip's name follows it.
    std::map<const MotionClip*, int> labelFrom;
    for (const Neighbours& pair : TransitionPairs()) {
        const MotionClip* a = Model().ClipAtPosition(pair.earlier);
        const MotionClip* b = Model().ClipAtPosition(pair.later);
        TransitionZone zone{0, -1};
        const bool drawn = BlendShown(pair, &zone);
        if (drawn) DrawBlend(painter, *a, zone, kTransitionTop, kTransitionBottom, true);
        const int end = std::min(a->lastFrame, b->lastFrame);
        if (!pair.overlap || !RangesOverlap(b->firstFrame, end, first, last)) continue;
        const int x = m.XOf(b->firstFrame);
        const int w = std::max(1, m.XOf(end + 1) - x);
        painter.fillRect(x, kClipTop + 4, w, ClipBottom() - kClipTop - 7, colours::kOverlap);
        if (drawn) DrawBlend(painter, *a, zone, kClipTop + 4, ClipBottom() - 4, false);
        labelFrom[b] = end + 1;
    }
    for (const Placed& p : shown) {
        const auto from = labelFrom.find(p.clip);
        DrawClipOutline(painter, *p.clip, fillOf(*p.clip),
                        from == labelFrom.end() ? p.clip->firstFrame : from->second);
        DrawClipHandles(painter, p.position, fillOf(*p.clip));
        DrawFootPlants(painter, *p.clip);
    }
    if (drag_.MovesClip()) {
        const CClipDrag::Range& copy = drag_.Copy();
        const int x = m.XOf(copy.firstFrame);
        painter.setPen(QPen(colours::kDragCopy, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(x, kClipTop, std::max(1, m.XOf(copy.lastFrame + 1) - x - 1),
                         ClipBottom() - kClipTop);
    }
    DrawMarks(painter);
    DrawCurrentFrame(painter, height);
}

QRect CObjectGrid::ClipRect(const MotionClip& clip) const {
    const CTrackMapping& m = Mapping();
    const int x = m.XOf(clip.firstFrame);
    const int w = std::max(1, m.XOf(clip.lastFrame + 1) - x);
    return QRect(x, kClipTop, w, ClipBottom() - kClipTop + 1);
}

void CObjectGrid::DrawClipBody(QPainter& painter, const MotionClip& clip,
                               const QColor& fill) const {
    painter.fillRect(ClipRect(clip), fill);
}

// The clip's edge and its file's name, from labelFrom on (the end of a cross-fade covering
// its start).
void CObjectGrid::DrawClipOutline(QPainter& painter, const MotionClip& clip, const QColor& fill,
                                  int labelFrom) const {
    const QRect body = ClipRect(clip);
    if (body.width() < 3) return;
    DrawClipEdge(painter, body, fill);
    // Clear of the ends' handles.
    QRect label = body.adjusted(kHandlePixels + 3, 0, -kHandlePixels - 3, 0);
    label.setLeft(std::max(label.left(), Mapping().XOf(labelFrom) + 3));
    // Before the name, where the clip's start shows it.
    if (clip.speedCurve != kSpeedConstant && label.width() > 60) {
        DrawSpeedMark(painter, clip, QRect(label.left(), label.top(), 16, label.height()), fill);
        label.setLeft(label.left() + 20);
    }
    DrawClipName(painter, label, clip.fileName, fill);
}

// The clip's speed curve as a small graph of its progress through its source: a curve bent
// low for an ease in, high for an ease out.
void CObjectGrid::DrawSpeedMark(QPainter& painter, const MotionClip& clip, const QRect& room,
                                const QColor& fill) const {
    const int size = std::min(room.width(), room.height() - 2);
    if (size < 6) return;
    const QRect box(room.left(), room.center().y() - size / 2, size, size);
    QPolygon graph;
    constexpr int kSteps = 12;
    for (int k = 0; k <= kSteps; ++k) {
        const double y = SourcePosition(clip.speedCurve, k, kSteps + 1, kSteps + 1) / kSteps;
        graph << QPoint(box.left() + k * (size - 1) / kSteps,
                        box.bottom() - int(std::lround(y * (size - 1))));
    }
    painter.setPen(QPen(fill == colours::kClip ? colours::kWhite : colours::kTick, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(graph);
}

// Where the clip's feet are planted: the left foot's plants along its top edge, the right
// foot's along its bottom edge.
void CObjectGrid::DrawFootPlants(QPainter& painter, const MotionClip& clip) const {
    const QRect body = ClipRect(clip);
    if (body.width() < 3 || clip.IsOneFrame()) return;
    const FootContacts contacts = Model().FootContactsOf(clip);
    const CTrackMapping& m = Mapping();
    for (int side = 0; side < 2; ++side) {
        const int y = side == kLeftFoot ? body.top() + 2 : body.bottom() - 3;
        for (const FootPlant& plant : contacts.Plants(side)) {
            if (plant.first >= clip.Length()) break;
            const int x = m.XOf(clip.firstFrame + plant.first);
            const int end = m.XOf(clip.firstFrame + std::min(plant.last, clip.Length() - 1) + 1);
            painter.fillRect(x + 1, y, std::max(1, end - x - 2), 2,
                             side == kLeftFoot ? colours::kLeftPlant : colours::kRightPlant);
        }
    }
}

// The handles of a clip's free ends: darker tabs with two grip lines, as wide as a press on
// them reaches into the clip.
void CObjectGrid::DrawClipHandles(QPainter& painter, int position, const QColor& fill) const {
    const MotionClip& clip = *Model().ClipAtPosition(position);
    const CTrackMapping& m = Mapping();
    const QRect body = ClipRect(clip);
    if (body.width() < 6 || clip.IsOneFrame()) return;
    for (DragMode end : {DragMode::kMoveFirst, DragMode::kMoveLast}) {
        const int frame = end == DragMode::kMoveFirst ? clip.firstFrame : clip.lastFrame;
        if (CClipDrag::ResizeEndAt(Model(), position, frame) != end) continue;
        const CClipDrag::Span span = CClipDrag::EndHandle(Model(), position, end, Reach());
        const int x0 = std::max(m.ExactXOf(span.from), body.left());
        const int x1 = std::min(m.ExactXOf(span.to), body.right() + 1);
        if (x1 - x0 < 2) continue;
        const QRect tab(x0, body.top() + 1, x1 - x0, body.height() - 2);
        painter.fillRect(tab, fill.darker(135));
        painter.setPen(fill.lighter(160));
        const int middle = tab.center().x();
        painter.drawLine(middle - 1, tab.top() + 3, middle - 1, tab.bottom() - 3);
        painter.drawLine(middle + 1, tab.top() + 3, middle + 1, tab.bottom() - 3);
    }
}

// The curve a blend follows, rising across its zone: in the transition strip on its own
// ground, over an overlap as a line on the overlap's colour; its edges carry handles.
void CObjectGrid::DrawBlend(QPainter& painter, const MotionClip& a, TransitionZone zone, int top,
                            int bottom, bool strip) const {
    const CTrackMapping& m = Mapping();
    const int x = m.XOf(zone.start);
    const int w = std::max(2, m.XOf(zone.end + 1) - x);
    if (x > width() || x + w < 0) return;
    const int h = bottom - top;
    if (w < 4) {
        // Too narrow for a shape (the overview of a long timeline): a mark of the blend.
        if (strip) painter.fillRect(x, top + h / 2, w, h - h / 2 + 1, colours::kCurveFill);
        return;
    }
    const CurveType curve = a.curveType < kCurveCount ? CurveType(a.curveType) : kCurveLinear;
    QPolygon shape;
    shape << QPoint(x, top + h);
    for (int i = 0; i <= w; ++i) {
        const float v = CCurveFunction::GetValue(curve, float(i) / float(w));
        shape << QPoint(x + i, top + h - int(v * h + 0.5f));
    }
    shape << QPoint(x + w, top + h);
    if (strip) {
        painter.fillRect(x, top, w, h + 1, colours::kStrip);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colours::kCurveFill);
        painter.drawPolygon(shape);
    }
    painter.setPen(QPen(strip ? colours::kTransition : colours::kCurveFill, strip ? 1 : 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(shape.data() + 1, int(shape.size()) - 2);
    if (strip) {
        painter.setPen(colours::kDarkShadow);
        painter.drawRect(x, top, w - 1, h);
    }
    // The edges' handles: where a press drags them.
    const QColor grip = strip ? colours::kTransition : colours::kCurveFill;
    const int gw = std::min(3, w / 3);
    painter.fillRect(x, top, gw, h + 1, grip);
    painter.fillRect(x + w - gw, top, gw, h + 1, grip);
}

void CObjectGrid::DrawMarks(QPainter& painter) const {
    const CTrackMapping& m = Mapping();
    // The range that Space plays, shaded while a mark is set.
    const auto range = Model().PlayRangeOf(true, panel_.Wave().FrameCount());
    if (range.marked && range.end >= range.start) {
        QColor shade = colours::kMarkFill;
        shade.setAlpha(panel_.PlaysMarkedRange() ? 110 : 55);
        painter.fillRect(m.XOf(range.start), kMarkTop + 3,
                         std::max(1, m.XOf(range.end + 1) - m.XOf(range.start)), 7, shade);
    }
    painter.setPen(colours::kMark);
    painter.setBrush(colours::kMarkFill);
    if (Model().InMark() >= 0) {
        const int x = m.XOf(Model().InMark());
        painter.drawPolygon(QPolygon({{x, kMarkTop}, {x + 7, kMarkTop + 6}, {x, kMarkBottom}}));
    }
    if (Model().OutMark() >= 0) {
        const int x = m.XOf(Model().OutMark() + 1) - 1;
        painter.drawPolygon(QPolygon({{x, kMarkTop}, {x - 7, kMarkTop + 6}, {x, kMarkBottom}}));
    }
    if (Model().InMark() >= 0 && Model().OutMark() >= 0) {
        const int y = kMarkTop + 6;
        painter.drawLine(m.XOf(Model().InMark()), y, m.XOf(Model().OutMark() + 1) - 1, y);
    }
    painter.setBrush(Qt::NoBrush);
}

// ---------------------------------------------------------------------------------------------
// The mouse

void CObjectGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) return PressRight(event);
    if (event->button() != Qt::LeftButton || panel_.IsPlaying()) return;
    const QPoint at = event->position().toPoint();
    const int frame = Mapping().FrameAt(at.x());
    if (event->modifiers() & Qt::ShiftModifier) {
        drag_.StartZoom();
        zoomX_ = at.x();
        return;
    }
    if (at.y() <= kMarkBottom) {
        PressMarks(frame, at.x());
    } else if (at.y() >= kTransitionTop && at.y() <= kTransitionBottom) {
        PressTransitions(at.x());
    } else if (at.y() >= kClipTop && at.y() <= ClipBottom()) {
        PressClips(frame, at.x());
    }
    panel_.RedrawTracks();
}

void CObjectGrid::PressMarks(int frame, int x) {
    const CTrackMapping& m = Mapping();
    const int reach = std::max(3, int(m.FrameWidth() / 2));
    const auto near = [&](int mark) {
        return mark >= 0 && std::abs(x - (m.XOf(mark) + int(m.FrameWidth() / 2))) <= reach;
    };
    if (near(Model().InMark())) {
        drag_.StartMark(DragMode::kInMark);
    } else if (near(Model().OutMark())) {
        drag_.StartMark(DragMode::kOutMark);
    } else {
        panel_.SetCurrentFrame(frame);
    }
}

void CObjectGrid::PressTransitions(int x) {
    const auto edge = CClipDrag::BlendEdgeAt(Model(), ExactFrame(x), Reach(), false);
    if (edge) drag_.StartTransition(edge.edge, edge.position);
}

// On the clips: a blend's edge over an overlap, a clip's end, or the clip itself.
void CObjectGrid::PressClips(int frame, int x) {
    if (const auto edge = CClipDrag::BlendEdgeAt(Model(), ExactFrame(x), Reach(), true)) {
        return drag_.StartTransition(edge.edge, edge.position);
    }
    if (const auto end = CClipDrag::ClipEndAt(Model(), ExactFrame(x), Reach())) {
        Model().Select(end.position);
        panel_.NotifyStillPose();
        drag_.StartResize(end, frame);
        setToolTip(panel_.Text(strings::kDragToResize));
        return;
    }
    const int position = Model().PositionOfClipAt(frame);
    if (position < 0) {
        Model().Select(-1);
        panel_.SetCurrentFrame(frame);
        return;
    }
    Model().Select(position);
    panel_.NotifyStillPose();
    drag_.StartClip(position, frame);
    if (drag_.GetMode() == DragMode::kMoveFirst || drag_.GetMode() == DragMode::kMoveLast) {
        setToolTip(panel_.Text(strings::kDragToResize));
    }
}

void CObjectGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_.GetMode() == DragMode::kZoom) return StepZoom(at.x());
    if (!drag_.Active()) return UpdateHover(at.x(), at.y());
    DragTo(at.x());
}

void CObjectGrid::StepZoom(int x) {
    constexpr int kStepPixels = 16;
    // Left of the starting point zooms in, right of it zooms out.
    if (x <= zoomX_ - kStepPixels) {
        panel_.Zoom(CTimelinePanel::kZoomStepIn);
        zoomX_ = x;
    } else if (x >= zoomX_ + kStepPixels) {
        panel_.Zoom(CTimelinePanel::kZoomStepOut);
        zoomX_ = x;
    }
}

void CObjectGrid::DragTo(int x) {
    const int frame = Mapping().FrameAt(x);  // before the tracks scroll
    // Dragged past an edge, the tracks scroll after the mouse.
    if (!Mapping().Overview() && (x < 0 || x >= width())) {
        panel_.ScrollTo(Mapping().Scroll() + (x < 0 ? x : x - width() + 1));
    }
    drag_.DragTo(frame);
    panel_.RedrawTracks();
}

void CObjectGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    Commit();
}

void CObjectGrid::Commit() {
    const EditResult result = drag_.Finish();
    setToolTip(QString());
    panel_.Apply(result);
}

void CObjectGrid::UpdateHover(int x, int y) {
    resizeEnd_ = DragMode::kNone;
    edgeUnder_ = DragMode::kNone;
    QString tip;
    const bool clips = y >= kClipTop && y <= ClipBottom();
    if (clips || (y >= kTransitionTop && y <= kTransitionBottom)) {
        edgeUnder_ = CClipDrag::BlendEdgeAt(Model(), ExactFrame(x), Reach(), clips).edge;
    }
    if (clips) {
        const int frame = Mapping().FrameAt(x);
        const int position = Model().PositionOfClipAt(frame);
        if (edgeUnder_ == DragMode::kNone) {
            resizeEnd_ = CClipDrag::ClipEndAt(Model(), ExactFrame(x), Reach()).edge;
        }
        if (position >= 0 && !panel_.IsPlaying()) {
            const MotionClip& clip = *Model().ClipAtPosition(position);
            tip = QString::fromStdString(std::filesystem::path(clip.fileName).filename().string());
            if (clip.speedCurve != kSpeedConstant) {
                tip += " - " + panel_.Text(commands::kSpeedCommands[clip.speedCurve]);
            }
        }
    }
    const bool handle = resizeEnd_ != DragMode::kNone || edgeUnder_ != DragMode::kNone;
    setCursor(handle && !panel_.IsPlaying() ? Qt::SizeHorCursor : Qt::ArrowCursor);
    setToolTip(tip);
}

void CObjectGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || at.y() < kClipTop || at.y() > ClipBottom() ||
        panel_.IsPlaying() || Mapping().Overview()) {
        return;
    }
    const MotionClip* clip = Model().ClipAt(Mapping().FrameAt(at.x()));
    if (clip && panel_.Colleague()) panel_.Colleague()->ShowClip(clip->fileName);
}

// ---------------------------------------------------------------------------------------------
// The context menu

void CObjectGrid::PressRight(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    rightClick_ = {.frame = Mapping().FrameAt(at.x())};
    // A blend's curve is chosen where it is drawn: above the clips, or over their overlap.
    const bool strip = at.y() >= kTransitionTop && at.y() <= kTransitionBottom;
    if (strip || (at.y() >= kClipTop && at.y() <= ClipBottom())) {
        if (const auto pair = BlendAt(rightClick_.frame, !strip)) {
            rightClick_.transition = pair->order;
            rightClick_.transitionEarlier = pair->earlier;
        }
    }
    const int position = Model().PositionOfClipAt(rightClick_.frame);
    if (at.y() >= kClipTop && position >= 0 && !panel_.IsPlaying()) {
        Model().Select(position);
        panel_.NotifyStillPose();
    }
    panel_.RedrawTracks();
    std::unique_ptr<QMenu> menu = BuildContextMenu();
    const int command = showMenu_(*menu, event->globalPosition().toPoint());
    if (command && IsContextCommandEnabled(command)) RunContextCommand(command);
}

std::unique_ptr<QMenu> CObjectGrid::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [&](QMenu* to, int command) {
        QAction* action = to->addAction(panel_.Text(command));
        action->setData(command);
        action->setEnabled(IsContextCommandEnabled(command));
        if (IsCheckableContextCommand(command)) {
            action->setCheckable(true);
            action->setChecked(IsContextCommandChecked(command));
        }
    };
    for (int command : commands::kCurveCommands) add(menu.get(), command);
    add(menu.get(), commands::kKeepInStep);
    add(menu.get(), commands::kBlendAtBestPoint);
    menu->addSeparator();
    for (int command : {commands::kMenuSplit, commands::kCopy[0], commands::kCut[0],
                        commands::kDelete[0], commands::kPaste[0], commands::kReverse,
                        commands::kMirror, commands::kRepeat, commands::kClipRequest}) {
        add(menu.get(), command);
    }
    QMenu* speed = menu->addMenu(panel_.Text(strings::kSpeedMenu));
    for (int command : commands::kSpeedCommands) add(speed, command);
    speed->setEnabled(Model().CanSetSpeedCurve(Model().SelectedPosition()));
    menu->addSeparator();
    for (int command :
         {commands::kKeepOwnPlace, commands::kKeepFeetPlanted, commands::kNewClipsKeepFeet}) {
        add(menu.get(), command);
    }
    menu->addSeparator();
    for (int command : {commands::kMenuAddMotion, commands::kMenuAddPose,
                        commands::kMenuAddInitialPose, commands::kMenuAddCurrentPose}) {
        add(menu.get(), command);
    }
    menu->addSeparator();
    QMenu* align = menu->addMenu(panel_.Text(strings::kAlignMenu));
    for (const auto& pair : commands::kAlignAt) add(align, pair[0]);
    menu->addSeparator();
    for (int command : {commands::kSetInMark, commands::kSetOutMark, commands::kClearInMark,
                        commands::kClearOutMark, commands::kGoInMark, commands::kGoOutMark}) {
        add(menu.get(), command);
    }
    menu->addSeparator();
    add(menu.get(), commands::kAddLayer);
    return menu;
}

CommandState CObjectGrid::ContextCommandState(int command) const {
    return tavrel::ContextCommandState(Model(), panel_.State(), rightClick_, command);
}

bool CObjectGrid::IsContextCommandEnabled(int command) const {
    return ContextCommandState(command).enabled;
}

bool CObjectGrid::IsContextCommandChecked(int command) const {
    return ContextCommandState(command).checked;
}

void CObjectGrid::RunContextCommand(int command) {
    if (!IsContextCommandEnabled(command)) return;
    CTimelineModel& model = Model();
    if (const int curve = CurveOfCommand(command); curve >= 0) {
        model.SetCurveType(rightClick_.transitionEarlier, uint32_t(curve));
        return panel_.Refresh();  // one edit of its own; nothing to say when it changes nothing
    }
    if (const int speed = SpeedCurveOfCommand(command); speed >= 0) {
        return panel_.Apply(model.SetSpeedCurve(model.SelectedPosition(), SpeedCurve(speed)));
    }
    if (const int segment = AlignSegmentOfCommand(command); segment >= 0) {
        return panel_.Apply(model.AlignToPrevious(CTimelineModel::kAlignSegments[segment]));
    }
    if (command == commands::kKeepInStep) {
        const bool inStep = ContextCommandState(command).checked;
        return panel_.Apply(model.SetKeepInStep(rightClick_.transitionEarlier, !inStep));
    }
    if (command == commands::kBlendAtBestPoint) {
        return panel_.Apply(model.BlendAtBestPoint(rightClick_.transitionEarlier - 1));
    }
    if (command == commands::kAddLayer) return panel_.AddLayer();
    if (OneOf(command, commands::kCopy)) return model.CopySelected();
    if (OneOf(command, commands::kCut)) {
        model.CopySelected();
        return panel_.Apply(model.DeleteSelected());
    }
    if (OneOf(command, commands::kDelete)) return panel_.Apply(model.DeleteSelected());
    if (OneOf(command, commands::kPaste)) return panel_.Apply(model.Paste());
    if (command == commands::kNewClipsKeepFeet) {
        model.SetNewClipsKeepFeetPlanted(!model.NewClipsKeepFeetPlanted());
        if (panel_.Colleague())
            panel_.Colleague()->NewClipsKeepFeetChanged(model.NewClipsKeepFeetPlanted());
        return;
    }
    if (IsClipSwitchCommand(command)) {
        const ClipPlace place = ClipPlaceOf(model.SelectedClip()->offset);
        const bool own = place.ownPlace != (command == commands::kKeepOwnPlace);
        const bool planted = place.feetFree == (command == commands::kKeepFeetPlanted);
        return panel_.Apply(model.SetClipSwitches(model.SelectedPosition(), own, planted));
    }
    switch (command) {
        case commands::kMenuSplit:
            return panel_.RunCommand(commands::kSplit);
        case commands::kReverse:
            return panel_.Apply(model.ReverseSelected());
        case commands::kMirror:
            return panel_.Apply(model.MirrorSelected());
        case commands::kRepeat:
            if (const int times = panel_.AskNumber(strings::kRepeatQuestion, RepeatLimits::kFewest,
                                                   RepeatLimits::kMost, RepeatLimits::kFewest)) {
                return panel_.Apply(model.RepeatSelected(times));
            }
            return;
        case commands::kClipRequest:
            if (panel_.Colleague()) {
                panel_.Colleague()->Request(command, model.SelectedClip()->fileName);
            }
            return;
        case commands::kMenuAddMotion:
            return panel_.RunCommand(commands::kAddMotion);
        case commands::kMenuAddPose:
            return panel_.RunCommand(commands::kAddPose);
        case commands::kMenuAddInitialPose:
            return panel_.RunCommand(commands::kAddInitialPose);
        case commands::kMenuAddCurrentPose:
            return panel_.RunCommand(commands::kAddCurrentPose);
        case commands::kSetInMark:
            model.SetInMark(rightClick_.frame);
            return panel_.RedrawTracks();
        case commands::kSetOutMark:
            model.SetOutMark(rightClick_.frame);
            return panel_.RedrawTracks();
        case commands::kClearInMark:
            model.ClearInMark();
            return panel_.RedrawTracks();
        case commands::kClearOutMark:
            model.ClearOutMark();
            return panel_.RedrawTracks();
        case commands::kGoInMark:
            panel_.SetCurrentFrame(model.InMark());
            return;
        case commands::kGoOutMark:
            panel_.SetCurrentFrame(model.OutMark());
            return;
        default:
            return;
    }
}

// ---------------------------------------------------------------------------------------------
// Drops of motion files

std::vector<std::string> CObjectGrid::DroppedFiles(const QMimeData& data, bool* hadFiles) {
    std::vector<std::string> all;
    if (data.hasFormat(kMotionFilesMime)) {
        for (const QString& line : QString::fromUtf8(data.data(kMotionFilesMime)).split('\n')) {
            if (!line.trimmed().isEmpty()) all.push_back(line.trimmed().toStdString());
        }
    } else if (data.hasUrls()) {
        for (const QUrl& url : data.urls()) {
            if (url.isLocalFile()) all.push_back(url.toLocalFile().toStdString());
        }
    }
    if (hadFiles) *hadFiles = !all.empty();
    std::vector<std::string> motions;
    std::copy_if(all.begin(), all.end(), std::back_inserter(motions), IsMotionFile);
    return motions;
}

void CObjectGrid::dragEnterEvent(QDragEnterEvent* event) {
    bool hadFiles = false;
    DroppedFiles(*event->mimeData(), &hadFiles);
    if (hadFiles && !panel_.IsPlaying() && Model().HasProject()) event->acceptProposedAction();
}

void CObjectGrid::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void CObjectGrid::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = DroppedFiles(*event->mimeData(), nullptr);
    event->acceptProposedAction();
    // The keys follow the drop: the drag left its source (the gallery, say) with the focus,
    // yet Delete, Undo and Play are now meant for the clip that arrived here.
    panel_.setFocus(Qt::OtherFocusReason);
    if (files.empty()) return panel_.ShowMessage(MakeMessage(strings::kNotMotionFiles));
    // Each further file follows the one before it. A blend moves to where the motions are most
    // alike unless Shift holds the clip where it fell.
    int frame = Mapping().FrameAt(event->position().toPoint().x());
    const bool exactly = event->modifiers() & Qt::ShiftModifier;
    for (const std::string& file : files) {
        if (!panel_.SetCurrentFrame(frame)) return;
        const EditResult result = Model().AddMotionFile(file, exactly);
        panel_.Apply(result);
        const MotionClip* added = Model().SelectedClip();
        if (!result.done || !added || added->lastFrame >= kMaxFrame) return;
        frame = added->lastFrame + 1;
    }
}

// Over a blend: how alike its motions are through it, and where the last drop moved it from.
bool CObjectGrid::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return CTrackWindow::event(event);
    const QPoint at = static_cast<QHelpEvent*>(event)->pos();
    const bool strip = at.y() >= kTransitionTop && at.y() <= kTransitionBottom;
    const auto pair = BlendAt(Mapping().FrameAt(at.x()), !strip);
    const std::optional<float> distance =
        pair ? Model().BlendDistance(pair->earlier) : std::nullopt;
    // Off a blend the clip's own tip (its file and speed, or a resize handle) shows.
    if (!distance) return CTrackWindow::event(event);
    const auto mm = [](float d) { return std::to_string(int(std::lround(d))); };
    const auto& snap = Model().LastBlendSnap();
    const bool moved = snap && Model().SelectedPosition() == pair->earlier - 1;
    const Message told =
        moved ? MakeMessage(strings::kBlendSnapped,
                            {{"%Distance", mm(*distance)}, {"%Dropped", mm(snap->droppedDistance)}})
              : MakeMessage(strings::kBlendDistance, {{"%Distance", mm(*distance)}});
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), ui::MessageText(told), this);
    return true;
}

}  // namespace tavrel
