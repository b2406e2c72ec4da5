#pragma once
// How a window shows a context menu: the command its chosen action carries, 0 for none. The
// windows run the menu; tests answer in its place.
#include <QAction>
#include <QMenu>
#include <QPoint>
#include <functional>

namespace tavrel {

using MenuShower = std::function<int(QMenu& menu, QPoint globalPosition)>;

inline int ExecMenu(QMenu& menu, QPoint at) {
    const QAction* chosen = menu.exec(at);
    return chosen ? chosen->data().toInt() : 0;
}

}  // namespace tavrel
