#include "app/DisplayCheck.h"

#include <QGuiApplication>
#include <QScreen>

bool CheckDisplay(const QScreen* screen) {
    if (!screen) return false;
    const QSize size = screen->size();
    return IsDisplayAccepted(screen->depth(), size.width(), size.height());
}

bool CheckDisplay() {
    return CheckDisplay(QGuiApplication::primaryScreen());
}
