#pragma once
// Hands the view's Qt events to the 3D window's tools as their plain numbers: buttons,
// modifiers and keys in the tools' own bits and codes.
#include <Qt>
#include <set>

#include "RKWindow/ui/C3DViewInput.h"

class CRKWindowTools;

class C3DToolInput : public C3DViewInput {
public:
    explicit C3DToolInput(CRKWindowTools& tools) : tools_(tools) {}

    bool MouseEvent(QMouseEvent* event) override;
    bool KeyEvent(QKeyEvent* event) override;
    bool WheelEvent(QWheelEvent* event) override;
    void FocusLost() override;

    static int Buttons(Qt::MouseButtons buttons);
    static int Modifiers(Qt::KeyboardModifiers modifiers);

private:
    CRKWindowTools& tools_;
    std::set<int> held_;  // keys pressed and not yet released
};
