#pragma once
// One of the main window's three fixed child frames: no system menu, no close, minimise or
// maximise button; closing and a double click on the caption do nothing.
#include <QMdiSubWindow>

namespace tavrel {

class CFixedChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CFixedChildFrame(int minimumHeight, QWidget* parent = nullptr);

    // Lets the frame go when the program ends.
    void AllowClose() { closing_ = true; }

signals:
    void focusEntered();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool closing_ = false;
};

}  // namespace tavrel
