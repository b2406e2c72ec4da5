#pragma once
// The motion track: clip bodies, transition strips and marks, edited with the mouse. What a
// drag does is CClipDrag's; the window turns the mouse into frames and draws.
#include <QPoint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "timeline/ClipDrag.h"
#include "timeline/MotionClip.h"
#include "timeline/TimelineCommandRules.h"
#include "timeline/ui/TrackWindow.h"
#include "uikit/DragFormats.h"
#include "uikit/MenuShower.h"

class QMenu;
class QMimeData;

namespace tavrel {

class CObjectGrid : public CTrackWindow {
public:
    // Rows of the three bands, from the window's top.
    static constexpr int kMarkTop = 0, kMarkBottom = 12;
    static constexpr int kTransitionTop = 16, kTransitionBottom = 27;
    static constexpr int kClipTop = 28, kClipBottom = 39;
    // The clips' last row at the track's present height.
    int ClipBottom() const;
    // Motion files dragged from the gallery: one path per line.
    static constexpr const char* kMotionFilesMime = ui::kMotionFilesMime;

    using DragMode = CClipDrag::Mode;
    // The width of the handles of clips' ends and blends' edges, at every zoom.
    static constexpr int kHandlePixels = 6;

    CObjectGrid(CTimelinePanel& panel, QWidget* parent);
    ~CObjectGrid() override;

    DragMode Drag() const { return drag_.GetMode(); }
    const CClipDrag::Range& DragCopy() const { return drag_.Copy(); }
    // Whether the mouse rests on an end of a clip that may be resized.
    bool ResizeMayStart() const { return resizeEnd_ != DragMode::kNone; }
    // Whether it rests on an edge of a blend that may be dragged.
    bool EdgeMayStart() const { return edgeUnder_ != DragMode::kNone; }

    // The context menu for the state after a right-click; each action carries its command.
    std::unique_ptr<QMenu> BuildContextMenu();
    CommandState ContextCommandState(int command) const;
    bool IsContextCommandEnabled(int command) const;
    bool IsContextCommandChecked(int command) const;
    void RunContextCommand(int command);
    // Shows the menu and returns the chosen command, 0 for none (tests replace this to look at
    // the menu instead of opening it).
    void SetMenuShower(MenuShower shower) { showMenu_ = std::move(shower); }
    int RightClickFrame() const { return rightClick_.frame; }
    // The transition under the last right-click in time order from 1, or 0 for none.
    int RightClickTransition() const { return rightClick_.transition; }

    // Files that a drop of this data would insert, and whether the data carried any files.
    static std::vector<std::string> DroppedFiles(const QMimeData& data, bool* hadFiles);

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    bool event(QEvent* event) override;

private:
    struct Neighbours {
        int earlier = -1, later = -1;  // positions from First
        int order = 0;                 // the pair's place in time order, from 1
        bool overlap = false;          // the later starts inside the earlier
    };
    // Consecutive clips in time order: each pair blends, over a gap or an overlap.
    std::vector<Neighbours> TransitionPairs() const;
    // The blend under a frame: in the transition band any drawn blend, in the clip band the
    // overlap of two clips; nullopt when there is none.
    std::optional<Neighbours> BlendAt(int frame, bool clipBand) const;
    // Whether a pair's blend is drawn in the transition band.
    bool BlendShown(const Neighbours& pair, TransitionZone* zone) const;
    // The handles' width in frames, and the frames under a pixel.
    double Reach() const;
    double ExactFrame(int x) const;
    struct Placed {
        int position;  // from First
        const MotionClip* clip;
    };
    // Clips in time order, in one walk of the list.
    std::vector<Placed> TimeOrder() const;

    void PressMarks(int frame, int x);
    void PressTransitions(int x);
    void PressClips(int frame, int x);
    void PressRight(QMouseEvent* event);
    void UpdateHover(int x, int y);
    void DragTo(int x);
    void StepZoom(int x);
    void Commit();

    QRect ClipRect(const MotionClip& clip) const;
    void DrawFootPlants(QPainter& painter, const MotionClip& clip) const;
    void DrawClipBody(QPainter& painter, const MotionClip& clip, const QColor& fill) const;
    void DrawClipOutline(QPainter& painter, const MotionClip& clip, const QColor& fill,
                         int labelFrom) const;
    void DrawClipHandles(QPainter& painter, int position, const QColor& fill) const;
    void DrawSpeedMark(QPainter& painter, const MotionClip& clip, const QRect& room,
                       const QColor& fill) const;
    // A blend's curve rising across its zone within the rows top to bottom, and its edges'
    // handles.
    void DrawBlend(QPainter& painter, const MotionClip& a, TransitionZone zone, int top, int bottom,
                   bool strip) const;
    void DrawMarks(QPainter& painter) const;

    CClipDrag drag_;
    DragMode resizeEnd_ = DragMode::kNone;
    DragMode edgeUnder_ = DragMode::kNone;
    int zoomX_ = 0;
    RightClick rightClick_;
    MenuShower showMenu_ = ExecMenu;
};

}  // namespace tavrel
