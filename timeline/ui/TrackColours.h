#pragma once
// The track windows' colours, given as 0xBBGGRR values.
#include <QColor>
#include <cstdint>

namespace tavrel::colours {

inline QColor Bgr(uint32_t v) {
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// Pens.
inline const QColor kBandLine = Bgr(0xE4E4E4);
inline const QColor kCurrentFrame = Bgr(0x0000FF);
inline const QColor kTick = Bgr(0x000000);
inline const QColor kClipEdge = Bgr(0x996600);
inline const QColor kMark = Bgr(0x0000CC);
inline const QColor kDragCopy = Bgr(0x0000FF);
inline const QColor kShadow = Bgr(0x808080);
inline const QColor kDarkShadow = Bgr(0x404040);
inline const QColor kHighlight = Bgr(0xFFFFFF);
inline const QColor kLightShadow = Bgr(0xA0A0A0);
inline const QColor kLabel = Bgr(0x909090);

// Brushes.
inline const QColor kBackground = Bgr(0xB8B8B8);
inline const QColor kMarkFill = Bgr(0x0000CC);
inline const QColor kClip = Bgr(0xCC6633);
inline const QColor kSelectedClip = Bgr(0x99CC99);
inline const QColor kOneFrameClip = Bgr(0x00FF00);
// Foot plants on a motion clip: left along its top, right along its bottom.
inline const QColor kLeftPlant = Bgr(0x33CCFF);
inline const QColor kRightPlant = Bgr(0xFFFF66);
inline const QColor kOverlap = Bgr(0x000080);
inline const QColor kTransition = Bgr(0x008000);
inline const QColor kSelectedMedia = Bgr(0x0000FF);
inline const QColor kStrip = Bgr(0xE8E8E8);
inline const QColor kRulerBack = Bgr(0xD8D8D8);
inline const QColor kWhite = Bgr(0xFFFFFF);

}  // namespace tavrel::colours
