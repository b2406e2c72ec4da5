#pragma once
// The preview dialog: plays one motion file on the avatar in a 3D view of its own, one frame
// every 30 ms, round and round until it is closed.
#include <QBasicTimer>
#include <QDialog>
#include <memory>
#include <string>

#include "AnimRead/AnimFile.h"

namespace tavrel {

class C3DWindowView;

class CPreviewDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kInterval = 30;  // ms per frame

    CPreviewDialog(QWidget* parent, std::string dataFolder);
    ~CPreviewDialog() override;

    // Reads the motion to play; false (with a message) when it cannot be read.
    bool SetFile(const std::string& path);
    int CurrentFrame() const { return frame_; }
    C3DWindowView* View() const { return view_; }
    // One tick of the player: the next frame, wrapping at the end.
    void Step();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void ShowFrame();

    std::string dataFolder_;
    std::unique_ptr<ANIMFILE> motion_;
    C3DWindowView* view_ = nullptr;
    QBasicTimer timer_;
    int frame_ = 0;
    double carry_ = 0;  // of a frame, between steps
};

}  // namespace tavrel
