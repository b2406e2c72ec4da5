#pragma once
// The small preview under the folder tree: the avatar playing the selected motion, or standing
// in the initial pose (Init.chb) when none or several are selected. Where the display gives an
// OpenGL context it is a small 3D view that plays the motion itself; elsewhere frames are drawn
// headless on a timer and shown as pictures, skipped while another user holds the 3D lock.
#include <QBasicTimer>
#include <QImage>
#include <QWidget>
#include <memory>
#include <mutex>

#include "AnimRead/AnimFile.h"

namespace tavrel {

class C3DWindowView;
class CIMImageGenerator;

class CImageArea : public QWidget {
    Q_OBJECT

public:
    static constexpr int kControlId = 90000;
    static constexpr int kFrameInterval = 30;  // milliseconds

    CImageArea(std::mutex& shared, QString dataFolder, QWidget* parent = nullptr);
    ~CImageArea() override;

    // Plays the motion file; an empty path (or an unreadable file) shows the initial pose.
    void ShowMotion(const QString& path);
    QString MotionPath() const { return path_; }
    int CurrentFrame() const { return frame_; }
    // Draws the next frame now (the timer's work).
    void Step();
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool Draw();

    std::mutex& shared_;
    QString dataFolder_;
    QString path_;
    QString drawnPath_;
    std::unique_ptr<ANIMFILE> motion_;
    std::unique_ptr<CIMImageGenerator> renderer_;
    C3DWindowView* view_ = nullptr;  // a child, when the display has OpenGL
    QImage picture_;
    QBasicTimer timer_;
    int frame_ = 0;
    double carry_ = 0;  // of a frame, between steps
};

}  // namespace tavrel
