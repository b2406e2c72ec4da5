#pragma once
// A thin bar marking the left or right edge of the track area.
#include <QWidget>

namespace tavrel {

class CTrackEdge : public QWidget {
public:
    static constexpr int kWidth = 2;
    explicit CTrackEdge(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavrel
