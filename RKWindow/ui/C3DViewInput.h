#pragma once
// The one seam between the on-screen 3D view and the tools that act on its world: the view
// hands every mouse and key event to the input set on it, which answers whether it used the
// event. The camera and object tools connect here.
class QKeyEvent;
class QMouseEvent;

class C3DViewInput {
public:
    virtual ~C3DViewInput() = default;
    virtual bool MouseEvent(QMouseEvent* event) = 0;
    virtual bool KeyEvent(QKeyEvent* event) = 0;
};
