#pragma once
// The layer rows above the motion track, the top layer on top: each row shows its layer's clips
// (motion clips with their mode, key clips with their keys). A click selects a layer (keys and
// turns in the 3D window go to it) and a clip is dragged along its row; the right button opens
// the layer's menu and a dropped motion file becomes an additive clip where it falls.
#include <QMenu>
#include <functional>
#include <memory>
#include <utility>

#include "timeline/LayerTrack.h"
#include "timeline/TimelineCommandRules.h"
#include "timeline/ui/TrackWindow.h"
#include "uikit/MenuShower.h"

namespace tavrel {

class CLayerRows : public CTrackWindow {
public:
    static constexpr int kRowHeight = 16;

    CLayerRows(CTimelinePanel& panel, QWidget* parent);

    // The rows shown: as many as there is room for, at most one a layer, and among them the
    // layer given (the rows of the others scroll away).
    void ShowRows(int rows, int layer);
    int ShownRows() const { return shown_; }
    // The layer of a row at a height, or -1.
    int LayerAt(int y) const;
    // The top of the layer's row (outside the window when its row is not shown).
    int RowTop(int layer) const;

    // The menu for the last right-click; each action carries its command.
    std::unique_ptr<QMenu> BuildContextMenu();
    void RunContextCommand(int command);
    const LayerClick& RightClick() const { return rightClick_; }
    void SetMenuShower(MenuShower shower) { showMenu_ = std::move(shower); }

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowContextMenu(QPoint local, QPoint global);
    CommandState StateOf(int command) const;

    int shown_ = 0;
    int top_ = -1;  // the layer of the top row
    LayerClick rightClick_;
    MenuShower showMenu_ = ExecMenu;
    enum class Grip { kBody, kFirst, kLast };
    // The part of a clip of the layer under x: its body or one of its ends; -1 for no clip.
    int ClipUnder(int layer, int x, Grip* grip) const;
    // A clip being dragged along its row, or by one end: where it was taken and how far it
    // went. The clip's frames as the drag would leave them.
    struct Drag {
        int layer = -1, clip = -1, grabbedAt = 0, by = 0;
        Grip grip = Grip::kBody;
    } drag_;
    static std::pair<int, int> DraggedFrames(const LayerClip& clip, const Drag& drag);
};

}  // namespace tavrel
