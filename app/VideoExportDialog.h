#pragma once
// Asked before a video is exported: the picture's size and the camera that films it, either
// the 3D window's own (it follows the avatar as the window does) or a preset around the avatar,
// and whether the ghosts and motion paths show in it (neither unless checked).
#include <QDialog>
#include <QSize>
#include <optional>

class QCheckBox;
class QComboBox;

namespace tavrel {

struct VideoChoice {
    QSize size{1280, 720};
    int camera = -1;      // -1: as in the 3D window; 0-5: a camera preset
    bool ghosts = false;  // the 3D window's ghosts over the avatar
    bool paths = false;   // and its motion paths
};

class CVideoExportDialog : public QDialog {
    Q_OBJECT
public:
    // viewSize: the 3D window's picture, offered first (both sides made even); empty
    // without a 3D window, when only the presets are offered.
    CVideoExportDialog(QWidget* parent, QSize viewSize);

    VideoChoice Choice() const;
    QComboBox* Sizes() const { return sizes_; }
    QComboBox* Cameras() const { return cameras_; }
    QCheckBox* Ghosts() const { return ghosts_; }
    QCheckBox* Paths() const { return paths_; }

    // Shows the dialog; none when cancelled.
    static std::optional<VideoChoice> Ask(QWidget* parent, QSize viewSize);

private:
    QComboBox* sizes_;
    QComboBox* cameras_;
    QCheckBox* ghosts_;
    QCheckBox* paths_;
};

}  // namespace tavrel
