#pragma once
// The gallery frame: a toolbar over a splitter with the folder tree and the preview on the
// left and the thumbnails on the right. A plain widget: the editor shell hosts it in its
// window and routes the gallery's commands to HandleCommand.
#include <QWidget>
#include <memory>

#include "browse/core/MotionThumbnailMaker.h"

class QSplitter;
class QToolBar;

namespace tavrel {

class CFileTreeCtrl;
class CGalleryServices;
class CImageArea;
class CSplitterView;
class CThumbnailCtrl;

class CChildFrame : public QWidget {
    Q_OBJECT

public:
    static constexpr int kLeftWidth = 140, kLeftMinimum = 60;
    static constexpr int kRightWidth = 180, kRightMinimum = 74;
    static constexpr int kToolImageSide = 20;

    // The library folder: the given one, else the configured one, else Motion in the per-user
    // data folder (filled from the samples on first use). The avatar comes from dataFolder, by
    // default where start-up put it.
    explicit CChildFrame(CGalleryServices& services, QString libraryFolder = {},
                         QString dataFolder = {}, QWidget* parent = nullptr);
    ~CChildFrame() override;

    // The picture of a motion file, made headless (on the calling thread).
    ThumbnailPtr RenderThumbnail(const std::string& path, int width, int height);

    // Runs a gallery command (toolbar and menu identifiers); false for one it does not know.
    bool HandleCommand(int id);
    // Whether a command applies now (for graying menu items and buttons).
    bool IsCommandEnabled(int id) const;
    void UpdateCommands();

    QString LibraryFolder() const { return library_; }
    CFileTreeCtrl* Tree() const { return tree_; }
    CThumbnailCtrl* Thumbnails() const { return thumbnails_; }
    CImageArea* Preview() const { return preview_; }
    CSplitterView* LeftColumn() const { return left_; }
    QSplitter* Columns() const { return columns_; }
    QToolBar* ToolBar() const { return toolBar_; }

private:
    void MakeToolBar();
    QString ChooseLibrary(const QString& given);

    CGalleryServices& services_;
    CMotionThumbnailMaker maker_;       // the worker's
    CMotionThumbnailMaker hoverMaker_;  // the window thread's
    QString library_;
    QToolBar* toolBar_ = nullptr;
    QSplitter* columns_ = nullptr;
    CSplitterView* left_ = nullptr;
    CFileTreeCtrl* tree_ = nullptr;
    CImageArea* preview_ = nullptr;
    CThumbnailCtrl* thumbnails_ = nullptr;
};

}  // namespace tavrel
