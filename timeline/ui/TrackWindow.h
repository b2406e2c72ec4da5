#pragma once
// A window of the track stack: it draws into one off-screen image kept for its lifetime and
// copies it to the screen in one step, so a redraw never flickers.
#include <QImage>
#include <QWidget>
#include <string>

#include "timeline/ui/TrackMapping.h"

class QPainter;

namespace tavrel {

class CTimelinePanel;
class CTimelineModel;

class CTrackWindow : public QWidget {
public:
    CTrackWindow(CTimelinePanel& panel, QWidget* parent);

    // Draws the window into its off-screen image and returns it.
    const QImage& RenderImage();
    void Redraw() { update(); }

protected:
    virtual void Render(QPainter& painter, int width, int height) = 0;
    void paintEvent(QPaintEvent* event) override;

    const CTrackMapping& Mapping() const;
    CTimelineModel& Model() const;
    // The current frame as a vertical line in the middle of its frame.
    void DrawCurrentFrame(QPainter& painter, int height) const;
    // A clip's edge, doubled and dark when the clip is the selected one.
    static void DrawClipEdge(QPainter& painter, const QRect& body, const QColor& fill);
    // A clip's file name without folder and extension, where it fits in `room`.
    static void DrawClipName(QPainter& painter, const QRect& room, const std::string& file,
                             const QColor& fill);

    CTimelinePanel& panel_;

private:
    QImage image_;
};

}  // namespace tavrel
