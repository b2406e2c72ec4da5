#pragma once
// Where the three fixed child frames go in a main-window client area of width x height.
#include <QRect>
#include <algorithm>

namespace tavrel {

struct CWindowLayout {
    QRect view3D;
    QRect gallery;
    QRect timeline;
};

// The 3D window takes the left 60 % above a 216-pixel timeline strip, the gallery the rest;
// a gap of one pixel between the upper frames and of three at the right edge. Where the upper
// frames would be shorter than upperMinimum (a small screen, a large scale factor), the strip
// gives up height down to its own minimum rather than have a frame reach over it. The strip
// grows by stripExtra (the timeline's layer rows) where the upper frames leave the room.
inline CWindowLayout ComputeWindowLayout(int width, int height, int upperMinimum = 0,
                                         int stripExtra = 0) {
    constexpr int kStrip = 216;
    constexpr int kStripMinimum = 168;
    const int strip =
        std::clamp(height - 1 - upperMinimum, kStripMinimum, kStrip + std::max(0, stripExtra));
    const int split = static_cast<int>(width * 0.6);
    const int upper = height - 1 - strip;
    return {QRect(0, 0, static_cast<int>(width * 0.6 - 1.0), upper),
            QRect(split, 0, (width - 3) - split, upper), QRect(0, upper, width - 3, strip)};
}

}  // namespace tavrel
