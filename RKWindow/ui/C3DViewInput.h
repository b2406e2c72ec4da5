#pragma once
// The one seam between the on-screen 3D view and the tools that act on its world: the view
// hands every mouse, wheel and key event to the input set on it, which answers whether it
// used the event. The camera and object tools connect here.

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace tavrel {

class C3DViewInput {
public:
    virtual ~C3DViewInput() = default;
    virtual bool MouseEvent(QMouseEvent* event) = 0;
    virtual bool KeyEvent(QKeyEvent* event) = 0;
    // An input that does not take the wheel leaves it to the view's zoom request.
    virtual bool WheelEvent(QWheelEvent*) { return false; }
    // The view lost the keyboard: keys held now will not be seen released.
    virtual void FocusLost() {}
};

}  // namespace tavrel
