#pragma once
#include <QMenu>
#include <functional>
#include <memory>

#include "uikit/MenuShower.h"
// The frame ruler under the tracks: ticks and frame numbers at the zoom, or the overview's
// coarse labels. Pressing or dragging on it moves the current frame.
#include <QRect>
#include <vector>

#include "timeline/ui/TrackWindow.h"

namespace tavrel {

enum class RulerTick { kNone, kShort, kMedium, kLong };

struct RulerMark {
    RulerTick tick = RulerTick::kNone;
    bool label = false;
    bool operator==(const RulerMark&) const = default;
};

// What frame f shows at p pixels per frame.
RulerMark RulerMarkAt(int frame, int pixelsPerFrame);
// Overview: the distance between labelled frames for a ruler that ends at `end`.
int OverviewLabelStep(int end);
// Overview: whether a frame (a multiple of the step) carries its number.
bool OverviewLabelAt(int frame, int step);

class CFrameRuler : public CTrackWindow {
public:
    using CTrackWindow::CTrackWindow;
    // Where the last drawing put its frame numbers, left to right.
    const std::vector<QRect>& LabelRects() const { return labelRects_; }

    // Over the selected layer, the right button opens the menu of its keys at the frame:
    // delete them, clear the key clip, or move the current frame's keys there.
    std::unique_ptr<QMenu> BuildKeyMenu(int frame);
    void RunKeyCommand(int command, int frame);
    void SetMenuShower(MenuShower shower) { showMenu_ = std::move(shower); }

protected:
    void Render(QPainter& painter, int width, int height) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RenderZoomed(QPainter& painter, int width, int height);
    void RenderOverview(QPainter& painter, int width, int height);
    void DrawLabel(QPainter& painter, int x, int frame, int height);
    void ScrubTo(int x);

    bool scrubbing_ = false;
    std::vector<QRect> labelRects_;
    MenuShower showMenu_ = ExecMenu;
};

}  // namespace tavrel
