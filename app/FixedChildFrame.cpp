#include "app/FixedChildFrame.h"

#include <QCloseEvent>
#include <QMouseEvent>

namespace tavrel {

CFixedChildFrame::CFixedChildFrame(int minimumHeight, QWidget* parent) : QMdiSubWindow(parent) {
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setSystemMenu(nullptr);
    setOption(QMdiSubWindow::RubberBandResize, false);
    setMinimumHeight(minimumHeight);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void CFixedChildFrame::closeEvent(QCloseEvent* event) {
    if (closing_) {
        QMdiSubWindow::closeEvent(event);
    } else {
        event->ignore();
    }
}

// A caption double click would maximise or shade the frame.
void CFixedChildFrame::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

// Minimised or maximised by any other way (a shortcut of the area): back to normal.
void CFixedChildFrame::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange &&
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))) {
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    }
}

void CFixedChildFrame::focusInEvent(QFocusEvent* event) {
    QMdiSubWindow::focusInEvent(event);
    emit focusEntered();
}

}  // namespace tavrel
