#pragma once
// The display the editor needs: 16 or more bits per pixel, at least 800 x 600 pixels.

class QScreen;

namespace tavrel {

inline bool IsDisplayAccepted(int bitsPerPixel, int width, int height) {
    return bitsPerPixel >= 16 && width >= 800 && height >= 600;
}

// The primary screen's mode; false without a screen.
bool CheckDisplay();
bool CheckDisplay(const QScreen* screen);

}  // namespace tavrel
