#pragma once
// What the 3D window's tools need to know of one mouse or key event, in plain numbers: the
// window layer fills it from its own events and hands it over.

namespace tavrel {

struct RKInputEvent {
    enum Kind { Press, Move, Release, Wheel, KeyDown, KeyUp };
    enum Button { NoButton = 0, LeftButton = 1, MiddleButton = 2, RightButton = 4 };
    enum Modifier { NoModifier = 0, Shift = 1, Control = 2, Alt = 4 };
    // Keys without a character; letters and digits are their capital character codes.
    enum Key { KeyHome = 0x01000010 };

    Kind kind = Move;
    int x = 0, y = 0;   // window pixels, (0, 0) the top left corner
    int button = 0;     // Press and Release: the button that changed
    int buttons = 0;    // the buttons held after the event
    int modifiers = 0;  // Shift, Control, Alt held
    int key = 0;        // KeyDown and KeyUp
    float notches = 0;  // Wheel: turns away from the user, one per notch (120 units)

    static RKInputEvent Mouse(Kind kind, int x, int y, int button, int buttons, int modifiers = 0) {
        RKInputEvent e;
        e.kind = kind, e.x = x, e.y = y, e.button = button, e.buttons = buttons;
        e.modifiers = modifiers;
        return e;
    }
    static RKInputEvent Turn(int x, int y, float notches, int modifiers = 0) {
        RKInputEvent e;
        e.kind = Wheel, e.x = x, e.y = y, e.notches = notches, e.modifiers = modifiers;
        return e;
    }
    static RKInputEvent Keyboard(Kind kind, int key, int modifiers = 0) {
        RKInputEvent e;
        e.kind = kind, e.key = key, e.modifiers = modifiers;
        return e;
    }
};

}  // namespace tavrel
