#pragma once
// The view that holds the timeline panel inside the timeline's child frame, and hands it the
// keys that reach the view.
#include <QWidget>
#include <memory>

#include "timeline/ui/TimelinePanel.h"

namespace tavrel {

class CTimeLineView : public QWidget {
public:
    // Limits for the frame that hosts the view.
    static constexpr int kFrameMinHeight = 168;
    static constexpr int kFrameMaxWidth = 1290;
    static constexpr int kFrameMaxHeight = 216;

    CTimeLineView(std::unique_ptr<CTimelineModel> model, CTimelinePanel::Services services,
                  QWidget* parent = nullptr);
    CTimelinePanel& Panel() { return *panel_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CTimelinePanel* panel_;
};

}  // namespace tavrel
