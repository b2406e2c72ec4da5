#pragma once
// The thumbnails of one library folder: an icon view that lists the folder's motion files at
// once and shows each one's picture as the worker thread makes it, and starts drags of motion
// files. It also carries the file commands of the gallery (copy, cut, paste, delete, rename;
// in ThumbnailCtrlFileCommands.cpp) and plays a hovered motion in its picture
// (ThumbnailCtrlHover.cpp).
#include <QBasicTimer>
#include <QFontMetrics>
#include <QListWidget>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "AnimRead/AnimFile.h"
#include "browse/LabelEditView.h"
#include "browse/core/FileClipboard.h"
#include "browse/core/ThumbnailCache.h"
#include "browse/core/ThumbnailWorker.h"
#include "uikit/DragFormats.h"

class QAction;
class QDrag;

namespace tavrel {

class CGalleryServices;

class CThumbnailCtrl : public CLabelEditView<QListWidget> {
    Q_OBJECT

public:
    static constexpr int kThumbnailWidth = 50;
    static constexpr int kThumbnailHeight = 50;
    // The larger size the View menu offers.
    static constexpr int kLargeThumbnail = 100;
    // Set (true) on the entries of files that cannot be read.
    static constexpr int kUnreadableRole = Qt::UserRole + 1;
    // The MIME type of dragged motion files: their full paths, one a line.
    static constexpr const char* kMotionFilesMime = ui::kMotionFilesMime;

    // The maker runs on the worker thread, one call at a time, under the shared mutex.
    CThumbnailCtrl(CGalleryServices& services, ThumbnailMaker maker, QWidget* parent = nullptr);
    ~CThumbnailCtrl() override;

    // The lower-case extensions of the accepted-extension string (61307).
    void SetAcceptedExtensions(const std::string& list);
    // The label a name gets in width pixels: whole when it fits, else cut in the middle with
    // its end kept (the last number and the extension), so takes stay told apart.
    static QString ElidedLabel(const QString& name, const QFontMetrics& metrics, int width);
    // Pictures of that many pixels square (kThumbnailWidth, the default, or more); the shown
    // folder's pictures are made again at that size.
    void SetThumbnailSize(int pixels);
    int ThumbnailSize() const { return size_; }
    // Shows the folder's motion files; false (showing nothing) for an empty path or one that
    // is not a folder. The worker of the previous folder is stopped first.
    bool ShowFolder(const QString& folder);
    // Lists the current folder again, keeping the selection where names remain; while a name
    // is being edited, once the editor has closed.
    void Refill();
    QString CurrentFolder() const { return QString::fromStdString(folder_); }
    const std::vector<std::string>& Entries() const { return entries_; }
    QStringList SelectedPaths() const;

    // Stops the worker and waits for it, keeping the window's events flowing meanwhile.
    void StopWorker();
    bool IsWorkerRunning() const { return !worker_.IsFinished(); }
    // Holds the worker (after the picture in hand) until resumed, across new folders: for a
    // holder of the shared mutex on this thread.
    void PauseWorker(bool paused) { paused ? worker_.Pause() : worker_.Resume(); }
    bool IsWorkerPaused() const { return worker_.IsPaused(); }
    // Whether the folder may change under the control now (the tree asks before a rename).
    bool CanReleaseFolder() const { return true; }
    CThumbnailCache& Cache() { return cache_; }
    CFileClipboard& Clipboard() { return clipboard_; }

    // File commands; each is refused while the timeline is busy.
    void CopyFiles();
    void CutFiles();
    void PasteFiles();
    void DeleteFiles();
    void RenameFile();
    void RefreshPictures();  // command 32919: forget the folder's pictures and make them again
    // Moves (or with copy set, copies) files into a folder; the drop on a tree folder. True
    // when at least one file was moved or copied.
    bool TransferInto(const QStringList& files, const QString& folder, bool copy);
    bool CanCopy() const;
    bool CanPaste() const;
    // Grays the commands that do not apply now.
    void UpdateActions();

    // Called on the worker's thread once it has made a whole folder's pictures, to let the
    // maker free what it draws with. Set before the first folder is shown.
    void SetMakerRelease(std::function<void()> release) { worker_.SetAfterRun(std::move(release)); }
    // Hovering a thumbnail plays its motion in it, frame by frame, through this maker (on the
    // window's thread, while the shared mutex is free).
    using FrameMaker = std::function<ThumbnailPtr(ANIMFILE& motion, int frame, int w, int h)>;
    void SetHoverPlayer(FrameMaker maker) { hoverMaker_ = std::move(maker); }
    // Starts playing the item's motion in its thumbnail; -1 stops and puts the picture back.
    void HoverOver(int row);
    int HoveredRow() const { return hoverRow_; }
    // Shows the next frame of the hovered motion (the hover timer's work).
    void StepHover();

    // Finishes a label edit: renames the file when the new name passes the name rules. A name
    // typed without an extension keeps the file's own; one whose extension the gallery does
    // not list is renamed only when the user says so, once the editor has closed.
    bool FinishRename(QListWidgetItem* item, const QString& newName);

    // Runs a drag of thumbnails to its end; by default the platform's drag loop (QDrag::exec).
    using DragRunner = std::function<void(QDrag& drag)>;
    void SetDragRunner(DragRunner runner) { dragRunner_ = std::move(runner); }

signals:
    // One motion selected (its path), or none or several (an empty path).
    void PreviewRequested(const QString& path);
    // A picture arrived (tests and benchmarks wait for this).
    void PictureShown(int index);
    void WorkerFinished();

protected:
    void startDrag(Qt::DropActions actions) override;
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void AfterEditorClosed() override;
    // The editor opens with the name before the extension selected.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void SizeGrid();
    void Fill();
    void StartWorker();
    void ShowPicture(uint64_t generation, size_t index, ThumbnailPtr picture);
    void MarkUnreadable(QListWidgetItem* entry, const std::string& reason);
    void MakeActions();
    void ReportPreview();
    bool Busy() const;
    std::string NameOf(int row) const;
    std::string PathOf(int row) const;
    int RowOf(const std::string& name) const;
    void TellAfterEdit(const QString& text, const std::string& editAgain);
    struct AfterEdit {
        QString message;        // shown once the editor has closed
        std::string editAgain;  // the file whose name is typed again, if any
        std::string renameTo;   // set: the message asks whether editAgain is renamed so
    };
    bool RenameNow(const std::string& old, const std::string& name);
    void ShowLater(AfterEdit after);
    void ShowAfterEdit(const AfterEdit& after);
    NameClashQuestion AskName();

    CGalleryServices& services_;
    ThumbnailMaker maker_;
    CThumbnailCache cache_;
    CThumbnailWorker worker_;
    CFileClipboard clipboard_;
    std::vector<std::string> entries_;
    std::vector<std::string> extensions_;
    std::string folder_;
    uint64_t generation_ = 0;  // pictures of an older fill are dropped
    bool stopping_ = false;
    bool refillPending_ = false;
    AfterEdit afterEdit_;
    DragRunner dragRunner_;
    FrameMaker hoverMaker_;
    std::unique_ptr<ANIMFILE> hoverMotion_;
    int hoverRow_ = -1;
    int hoverFrame_ = 0;
    double hoverCarry_ = 0;  // of a frame, between hover pictures
    QBasicTimer hoverTimer_;
    QAction* copy_ = nullptr;
    QAction* cut_ = nullptr;
    QAction* paste_ = nullptr;
    QAction* delete_ = nullptr;
    QAction* rename_ = nullptr;
    QAction* refresh_ = nullptr;
    int size_ = kThumbnailWidth;  // pixels square
    size_t readable_ = 0;         // the first entries, which have pictures; the rest cannot be read
};

}  // namespace tavrel
