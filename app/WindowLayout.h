#pragma once
// Where the three fixed child frames go in a main-window client area of width x height.
#include <QRect>

struct CWindowLayout {
    QRect view3D;
    QRect gallery;
    QRect timeline;
};

// The 3D window takes the left 60 % above a 216-pixel timeline strip, the gallery the rest;
// a gap of one pixel between the upper frames and of three at the right edge.
inline CWindowLayout ComputeWindowLayout(int width, int height) {
    const int split = static_cast<int>(width * 0.6);
    const int upper = height - 217;
    return {QRect(0, 0, static_cast<int>(width * 0.6 - 1.0), upper),
            QRect(split, 0, (width - 3) - split, upper), QRect(0, upper, width - 3, 216)};
}
