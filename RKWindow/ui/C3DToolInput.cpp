#include "RKWindow/ui/C3DToolInput.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "RKWindow/RKWindowTools.h"

namespace tavrel {

int C3DToolInput::Buttons(Qt::MouseButtons buttons) {
    int bits = 0;
    if (buttons & Qt::LeftButton) bits |= RKInputEvent::LeftButton;
    if (buttons & Qt::MiddleButton) bits |= RKInputEvent::MiddleButton;
    if (buttons & Qt::RightButton) bits |= RKInputEvent::RightButton;
    return bits;
}

int C3DToolInput::Modifiers(Qt::KeyboardModifiers modifiers) {
    int bits = 0;
    if (modifiers & Qt::ShiftModifier) bits |= RKInputEvent::Shift;
    if (modifiers & Qt::ControlModifier) bits |= RKInputEvent::Control;
    if (modifiers & Qt::AltModifier) bits |= RKInputEvent::Alt;
    return bits;
}

QPoint C3DToolInput::ToPixels(const QPointF& at) const {
    return (at * surface_.devicePixelRatioF()).toPoint();
}

bool C3DToolInput::MouseEvent(QMouseEvent* event) {
    const QPoint at = ToPixels(event->position());
    const int button = Buttons(event->button());
    const int buttons = Buttons(event->buttons());
    const int modifiers = Modifiers(event->modifiers());
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return tools_.MousePress(at.x(), at.y(), button, buttons, modifiers);
        case QEvent::MouseButtonRelease:
            return tools_.MouseRelease(at.x(), at.y(), button, buttons, modifiers);
        case QEvent::MouseMove:
            return tools_.MouseMove(at.x(), at.y(), buttons, modifiers);
        default:
            return false;
    }
}

bool C3DToolInput::WheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return false;
    const QPoint at = ToPixels(event->position());
    return tools_.WheelTurn(at.x(), at.y(), delta / 120.0f, Modifiers(event->modifiers()));
}

// Letters and digits arrive as their capital character codes, Home as the tools' KeyHome:
// Qt's codes are the same numbers.
bool C3DToolInput::KeyEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return false;
    const int key = event->key();
    const int modifiers = Modifiers(event->modifiers());
    if (event->type() == QEvent::KeyRelease) {
        held_.erase(key);
        return tools_.KeyRelease(key, modifiers);
    }
    if (event->type() != QEvent::KeyPress) return false;
    held_.insert(key);
    return tools_.KeyPress(key, modifiers);
}

// A key released in another window would stay held for the tools and block them.
void C3DToolInput::FocusLost() {
    for (int key : held_) tools_.KeyRelease(key);
    held_.clear();
}

}  // namespace tavrel
