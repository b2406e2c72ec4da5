#pragma once
// Hands the view's Qt events to the 3D window's tools as their plain numbers: buttons,
// modifiers and keys in the tools' own bits and codes, and positions in the pixels the tools
// draw and pick in (Qt gives points, several pixels each on a high-density screen).
#include <QPoint>
#include <Qt>
#include <set>

#include "RKWindow/ui/C3DViewInput.h"

class QWidget;

namespace tavrel {

class CRKWindowTools;

class C3DToolInput : public C3DViewInput {
public:
    // surface: the widget the events come from, whose pixel ratio turns points into pixels.
    C3DToolInput(CRKWindowTools& tools, const QWidget& surface)
        : tools_(tools), surface_(surface) {}

    bool MouseEvent(QMouseEvent* event) override;
    bool KeyEvent(QKeyEvent* event) override;
    bool WheelEvent(QWheelEvent* event) override;
    void FocusLost() override;

    static int Buttons(Qt::MouseButtons buttons);
    static int Modifiers(Qt::KeyboardModifiers modifiers);
    // A position in the surface's points as the tools' pixel.
    QPoint ToPixels(const QPointF& at) const;

private:
    CRKWindowTools& tools_;
    const QWidget& surface_;
    std::set<int> held_;  // keys pressed and not yet released
};

}  // namespace tavrel
