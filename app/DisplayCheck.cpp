#include "app/DisplayCheck.h"

#include <QGuiApplication>
#include <QScreen>

namespace tavrel {

bool CheckDisplay(const QScreen* screen) {
    if (!screen) return false;
    // The screen's own pixels: a high-density screen counts its size in larger points.
    const QSize size = screen->size() * screen->devicePixelRatio();
    return IsDisplayAccepted(screen->depth(), size.width(), size.height());
}

bool CheckDisplay() {
    return CheckDisplay(QGuiApplication::primaryScreen());
}

}  // namespace tavrel
