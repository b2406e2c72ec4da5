#include "browse/ThumbnailCtrl.h"

#include <QAction>
#include <QBitmap>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QTimerEvent>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "browse/GalleryCommandIds.h"
#include "browse/GalleryServices.h"
#include "browse/LabelEditDelegate.h"
#include "browse/core/LibraryFolders.h"
#include "browse/core/MotionFolder.h"
#include "motion/FrameStep.h"
#include "motion/MotionImport.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {

namespace fs = std::filesystem;

namespace {

// Room around each picture for its label.
constexpr int kSpacingX = 20;
constexpr int kSpacingY = 24;
constexpr int kMinimumLabelWidth = 90;
constexpr int kLabelMargin = 6;  // the style's padding either side of a label
// Hover playing: a picture every 50 ms, at the motion's own speed.
constexpr int kHoverInterval = 50;
// The pictures' background, shown as transparent.
constexpr QRgb kTransparent = qRgb(0x1F, 0x1F, 0x1F);

// Each row keeps the name of its file: a row is never matched to a file by position alone.
constexpr int kNameRole = Qt::UserRole;

QPixmap ToPixmap(const ThumbnailPicture& picture) {
    const QImage image(picture.rgb.data(), picture.width, picture.height, picture.width * 3,
                       QImage::Format_RGB888);
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(kTransparent, Qt::MaskInColor)));
    return pixmap;
}

// Draws each label as CThumbnailCtrl::ElidedLabel makes it; the item keeps the whole name,
// which the editor starts from.
class LabelDelegate : public CLabelEditDelegate {
public:
    using CLabelEditDelegate::CLabelEditDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        CLabelEditDelegate::initStyleOption(option, index);
        option->text = CThumbnailCtrl::ElidedLabel(option->text, option->fontMetrics,
                                                   option->rect.width() - kLabelMargin);
    }
};

QPixmap BlankPicture(int size) {
    QPixmap blank(size, size);
    blank.fill(Qt::transparent);
    return blank;
}

}  // namespace

CThumbnailCtrl::CThumbnailCtrl(CGalleryServices& services, ThumbnailMaker maker, QWidget* parent)
    : CLabelEditView(parent),
      services_(services),
      maker_(std::move(maker)),
      worker_(cache_, maker_, services.SharedMutex()) {
    if (const std::string store = services.ThumbnailStoreFolder(); !store.empty())
        cache_.SetStore(std::make_unique<CThumbnailStore>(store));
    setViewMode(QListView::IconMode);
    SizeGrid();
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setUniformItemSizes(true);
    setItemDelegate(new LabelDelegate(this, [this](const QModelIndex& index, const QString& text) {
        FinishRename(item(index.row()), text);
    }));
    MakeActions();
    connect(this, &QListWidget::itemSelectionChanged, this, &CThumbnailCtrl::UpdateActions);
    setMouseTracking(true);
    connect(this, &QListWidget::itemEntered, this,
            [this](QListWidgetItem* entry) { HoverOver(row(entry)); });
}

CThumbnailCtrl::~CThumbnailCtrl() {
    worker_.Stop();
}

QString CThumbnailCtrl::ElidedLabel(const QString& name, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(name) <= width) return name;
    // The end kept whole: the last number before the extension and the extension ("_012.bvh"),
    // else the extension.
    static const QRegularExpression kNumberAndExtension(R"(\d+(\.[^.]*)?$)");
    const QRegularExpressionMatch number = kNumberAndExtension.match(name);
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype tailStart =
        number.hasMatch() ? number.capturedStart() : (dot > 0 ? dot : name.size());
    const QString tail = name.mid(tailStart);
    const int room = width - metrics.horizontalAdvance(tail);
    const QString head = metrics.elidedText(name.left(tailStart), Qt::ElideRight, room);
    // Too narrow for a head with its ellipsis: the usual middle cut.
    if (room <= metrics.horizontalAdvance(QStringLiteral("\u2026")) || head.isEmpty())
        return metrics.elidedText(name, Qt::ElideMiddle, width);
    return head + tail;
}

void CThumbnailCtrl::SizeGrid() {
    setIconSize(QSize(size_, size_));
    // Room for about twelve characters of the label under a small picture.
    setGridSize(QSize(std::max(size_ + kSpacingX, kMinimumLabelWidth), size_ + kSpacingY));
}

void CThumbnailCtrl::SetThumbnailSize(int pixels) {
    if (pixels == size_ || pixels < kThumbnailWidth) return;
    size_ = pixels;
    SizeGrid();
    Refill();
}

void CThumbnailCtrl::SetAcceptedExtensions(const std::string& list) {
    extensions_ = ParseAcceptedExtensions(list);
}

// The listing never waits for the worker: the last folder's run is told to stop and finishes
// its picture in hand on its own, while the new folder's names show at once.
bool CThumbnailCtrl::ShowFolder(const QString& folder) {
    worker_.RequestStop();
    std::error_code error;
    const std::string path = folder.toStdString();
    if (path.empty() || !fs::is_directory(path, error)) return false;
    folder_ = path;
    Fill();
    emit PreviewRequested(QString());
    return true;
}

void CThumbnailCtrl::Refill() {
    if (folder_.empty()) return;
    if (state() == QAbstractItemView::EditingState) {  // the rows wait for the editor to close
        refillPending_ = true;
        return;
    }
    refillPending_ = false;
    const QStringList selected = SelectedPaths();
    Fill();
    for (int row = 0; row < count(); ++row) {
        if (selected.contains(QString::fromStdString(PathOf(row)))) item(row)->setSelected(true);
    }
}

void CThumbnailCtrl::Fill() {
    HoverOver(-1);
    clear();
    const MotionFolderListing listing = ListMotionFolder(folder_, extensions_);
    entries_ = listing.names;
    readable_ = entries_.size();
    const QPixmap blank = BlankPicture(size_);
    // Each label has the cell's width: names elide in the middle, keeping their ends (a take's
    // number, the extension) rather than shrinking to the picture's width.
    const QSize cell = gridSize() - QSize(4, 4);
    for (const std::string& name : entries_) {
        auto* entry = new QListWidgetItem(QIcon(blank), QString::fromStdString(name));
        entry->setToolTip(QString::fromStdString(name));
        entry->setData(kNameRole, QString::fromStdString(name));
        entry->setFlags(entry->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
        entry->setSizeHint(cell);
        addItem(entry);
    }
    // Files whose path is too long to open follow; those that do not read whole are found by
    // the worker.
    for (size_t i = 0; i < listing.unreadable.size(); ++i) {
        const std::string& name = listing.unreadable[i];
        entries_.push_back(name);
        auto* entry = new QListWidgetItem(QIcon(blank), QString::fromStdString(name));
        entry->setData(kNameRole, QString::fromStdString(name));
        entry->setSizeHint(cell);
        addItem(entry);
        MarkUnreadable(entry, listing.reasons[i]);
    }
    StartWorker();
}

// Greyed, with the reason: the file can still be renamed or deleted, but has no picture and is
// not dragged onto the timeline.
void CThumbnailCtrl::MarkUnreadable(QListWidgetItem* entry, const std::string& reason) {
    entry->setToolTip(entry->text() + "\n" + QString::fromStdString(reason));
    entry->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    entry->setFlags((entry->flags() | Qt::ItemIsEditable) & ~Qt::ItemIsDragEnabled);
    entry->setData(kUnreadableRole, true);
}

void CThumbnailCtrl::StartWorker() {
    const uint64_t generation = ++generation_;
    const std::vector<std::string> readable(entries_.begin(), entries_.begin() + readable_);
    worker_.Start(
        folder_, readable, size_, size_, [this, generation](size_t index, ThumbnailPtr picture) {
            // Dropped by Qt when the control is gone before the call is made.
            QMetaObject::invokeMethod(
                this, [=, this] { ShowPicture(generation, index, picture); }, Qt::QueuedConnection);
        });
}

void CThumbnailCtrl::StopWorker() {
    if (stopping_) return;
    stopping_ = true;
    worker_.RequestStop();
    // The picture in hand is finished first; meanwhile the window keeps painting.
    while (!worker_.IsFinished()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::usleep(500);
    }
    worker_.Join();
    stopping_ = false;
}

void CThumbnailCtrl::ShowPicture(uint64_t generation, size_t index, ThumbnailPtr picture) {
    if (generation != generation_ || index >= size_t(count()) || !picture) return;
    if (picture->problem.empty()) {
        item(int(index))->setIcon(QIcon(ToPixmap(*picture)));
    } else {
        MarkUnreadable(item(int(index)), picture->problem);
    }
    emit PictureShown(int(index));
    if (index + 1 == readable_ || worker_.IsFinished()) emit WorkerFinished();
}

std::string CThumbnailCtrl::NameOf(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(kNameRole).toString().toStdString() : "";
}

std::string CThumbnailCtrl::PathOf(int row) const {
    const std::string name = NameOf(row);
    return name.empty() ? "" : JoinPath(folder_, name);
}

int CThumbnailCtrl::RowOf(const std::string& name) const {
    for (int row = 0; row < count(); ++row) {
        if (NameOf(row) == name) return row;
    }
    return -1;
}

QStringList CThumbnailCtrl::SelectedPaths() const {
    QStringList paths;
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) paths << QString::fromStdString(PathOf(row));
    }
    return paths;
}

bool CThumbnailCtrl::Busy() const {
    return services_.IsTimelineBusy();
}

bool CThumbnailCtrl::CanCopy() const {
    return !Busy() && !selectedItems().isEmpty();
}

bool CThumbnailCtrl::CanPaste() const {
    return !Busy() && !clipboard_.IsEmpty() && !folder_.empty();
}

static std::vector<std::string> ToStd(const QStringList& list) {
    std::vector<std::string> paths;
    for (const QString& p : list) paths.push_back(p.toStdString());
    return paths;
}

void CThumbnailCtrl::CopyFiles() {
    if (CanCopy()) clipboard_.Copy(ToStd(SelectedPaths()));
    UpdateActions();
}

void CThumbnailCtrl::CutFiles() {
    if (CanCopy()) clipboard_.Cut(ToStd(SelectedPaths()));
    UpdateActions();
}

NameClashQuestion CThumbnailCtrl::AskName() {
    return [this](const Message& message, const std::string&) {
        return services_.Ask(GalleryText(message));
    };
}

void CThumbnailCtrl::PasteFiles() {
    if (!CanPaste()) return;
    StopWorker();
    const TransferResult result = clipboard_.Paste(folder_, AskName());
    if (!result.failed.empty()) {
        services_.Tell(GalleryText(FilesMessage(strings::kFilesNotPasted, result.failed)));
    }
    Refill();
    UpdateActions();
}

bool CThumbnailCtrl::TransferInto(const QStringList& files, const QString& folder, bool copy) {
    if (Busy() || files.isEmpty()) return false;
    StopWorker();
    const TransferResult result =
        TransferFiles(ToStd(files), folder.toStdString(),
                      copy ? FileTransfer::kCopy : FileTransfer::kMove, AskName());
    if (!result.failed.empty()) {
        services_.Tell(GalleryText(FilesMessage(strings::kFilesNotPasted, result.failed)));
    }
    Refill();
    return !result.done.empty();
}

void CThumbnailCtrl::DeleteFiles() {
    const QStringList paths = SelectedPaths();
    if (Busy() || paths.isEmpty()) return;
    const int question =
        paths.size() == 1 ? strings::kDeleteFileQuestion : strings::kDeleteFilesQuestion;
    if (!services_.Ask(GalleryText(question))) return;
    StopWorker();
    std::vector<std::string> failed;
    for (const QString& path : paths) {
        if (!services_.MoveToTrash(path)) failed.push_back(path.toStdString());
    }
    if (!failed.empty()) {
        services_.Tell(GalleryText(FilesMessage(strings::kFilesNotTrashed, failed)));
    }
    Refill();
}

void CThumbnailCtrl::RenameFile() {
    const QList<QListWidgetItem*> selected = selectedItems();
    if (Busy() || selected.size() != 1) return;
    HoverOver(-1);
    editItem(selected.front());
}

bool CThumbnailCtrl::FinishRename(QListWidgetItem* entry, const QString& newName) {
    const int row = entry ? this->row(entry) : -1;
    if (row < 0 || Busy()) return false;
    const std::string old = NameOf(row);
    const std::string name = NameKeepingExtension(old, newName.toStdString());
    if (name == old) return true;
    if (const Message refusal = CheckUserName(name, true)) {
        TellAfterEdit(GalleryText(refusal), old);  // and edit on
        return false;
    }
    // A motion file renamed to what the gallery does not list would drop out of it unseen.
    if (HasAcceptedExtension(old, extensions_) && !HasAcceptedExtension(name, extensions_)) {
        const Message question =
            MakeMessage(strings::kRenameUnlistedQuestion, {{std::string(kFileNameToken), name}});
        afterEdit_ = {GalleryText(question), old, name};
        if (state() != QAbstractItemView::EditingState) ShowLater(std::exchange(afterEdit_, {}));
        return false;
    }
    return RenameNow(old, name);
}

bool CThumbnailCtrl::RenameNow(const std::string& old, const std::string& name) {
    StopWorker();
    std::string renamed;
    if (!RenameEntry(JoinPath(folder_, old), name, &renamed)) {
        TellAfterEdit(GalleryText(strings::kFileNotRenamed), {});
        StartWorker();
        return false;
    }
    Refill();
    return true;
}

bool CThumbnailCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!CLabelEditView::edit(index, trigger, event)) return false;
    // Qt has selected the whole name by now; the extension is kept unless typed over.
    const auto* delegate = static_cast<CLabelEditDelegate*>(itemDelegate());
    if (auto* line = qobject_cast<QLineEdit*>(delegate->LatestEditor()))
        line->setSelection(0, int(StemLength(line->text().toStdString())));
    return true;
}

// A message box runs an event loop: shown inside the delegate's commit, a refill meanwhile
// would free the row under the editor. It waits until the editor has closed, and the row to
// edit on is found again by its name.
void CThumbnailCtrl::TellAfterEdit(const QString& text, const std::string& editAgain) {
    if (state() == QAbstractItemView::EditingState) {
        afterEdit_ = {text, editAgain, {}};  // closeEditor passes it on
    } else {
        ShowLater({text, editAgain, {}});
    }
}

void CThumbnailCtrl::ShowLater(AfterEdit after) {
    QTimer::singleShot(0, this, [this, after] { ShowAfterEdit(after); });
}

void CThumbnailCtrl::ShowAfterEdit(const AfterEdit& after) {
    if (!after.renameTo.empty()) {
        if (services_.Ask(after.message) && RowOf(after.editAgain) >= 0) {
            RenameNow(after.editAgain, after.renameTo);
            return;
        }
    } else {
        services_.Tell(after.message);
    }
    const int row = after.editAgain.empty() ? -1 : RowOf(after.editAgain);
    if (row < 0) return;
    // Rows made meanwhile are placed first: an editor over a row not laid out yet is hidden.
    executeDelayedItemsLayout();
    setCurrentItem(item(row));
    scrollToItem(item(row));
    editItem(item(row));
}

void CThumbnailCtrl::AfterEditorClosed() {
    if (refillPending_) Refill();
    if (!afterEdit_.message.isEmpty()) ShowLater(std::exchange(afterEdit_, {}));
}

void CThumbnailCtrl::RefreshPictures() {
    if (folder_.empty()) return;
    StopWorker();
    for (const std::string& name : entries_) cache_.Forget(JoinPath(folder_, name), size_, size_);
    cache_.Clear();
    Fill();
}

QMimeData* CThumbnailCtrl::mimeData(const QList<QListWidgetItem*>& items) const {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QStringList paths;
    for (QListWidgetItem* entry : items) {
        const QString path = QString::fromStdString(PathOf(row(entry)));
        paths << path;
        urls << QUrl::fromLocalFile(path);
    }
    data->setUrls(urls);  // text/uri-list, for other programs
    data->setData(kMotionFilesMime, paths.join('\n').toUtf8());
    return data;
}

// Not the list's own drag: after a move it removes the dragged rows whatever the target did,
// and rows and files fall out of step when nothing moved. The rows are read from the folder
// again instead, which shows exactly what went and what stayed.
void CThumbnailCtrl::startDrag(Qt::DropActions) {
    const QList<QListWidgetItem*> items = selectedItems();
    if (Busy() || items.isEmpty()) return;
    HoverOver(-1);
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData(items));
    drag->setPixmap(items.front()->icon().pixmap(iconSize()));
    if (dragRunner_) {
        dragRunner_(*drag);
        drag->deleteLater();
    } else {
        drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    }
    Refill();
}

void CThumbnailCtrl::keyPressEvent(QKeyEvent* event) {
    // Keys the label editor leaves come here: no command runs under an open editor.
    if (state() == QAbstractItemView::EditingState || !TriggerShortcut(event, actions())) {
        QListWidget::keyPressEvent(event);
    }
}

void CThumbnailCtrl::HoverOver(int row) {
    if (row == hoverRow_) return;
    if (row >= 0 && state() == QAbstractItemView::EditingState) return;  // no play while typing
    if (hoverRow_ >= 0 && hoverRow_ < count()) {  // the still picture comes back
        const ThumbnailPtr still = cache_.Find(PathOf(hoverRow_));
        const bool shown = still && still->problem.empty();
        item(hoverRow_)->setIcon(shown ? QIcon(ToPixmap(*still)) : QIcon(BlankPicture(size_)));
    }
    hoverTimer_.stop();
    hoverMotion_.reset();
    hoverRow_ = -1;
    if (row < 0 || row >= count() || !hoverMaker_) return;
    const std::string path = PathOf(row);
    hoverMotion_ = CMotionImport::OpenToShow(path, 1);
    if (!hoverMotion_) return;
    hoverRow_ = row;
    hoverFrame_ = hoverMotion_->GetBeginFrame();
    hoverCarry_ = 0;
    hoverTimer_.start(kHoverInterval, this);
}

void CThumbnailCtrl::StepHover() {
    if (!hoverMotion_ || hoverRow_ < 0) return;
    std::unique_lock guard(services_.SharedMutex(), std::try_to_lock);
    if (!guard.owns_lock()) return;  // a picture is being made: this frame is skipped
    const ThumbnailPtr picture = hoverMaker_(*hoverMotion_, hoverFrame_, size_, size_);
    guard.unlock();
    if (picture) item(hoverRow_)->setIcon(QIcon(ToPixmap(*picture)));
    hoverFrame_ =
        NextFrameAtRate(hoverFrame_, hoverMotion_->GetFrameRate(), kHoverInterval,
                        hoverMotion_->GetBeginFrame(), hoverMotion_->GetEndFrame(), &hoverCarry_);
}

void CThumbnailCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == hoverTimer_.timerId()) {
        StepHover();
    } else {
        QListWidget::timerEvent(event);
    }
}

void CThumbnailCtrl::leaveEvent(QEvent* event) {
    HoverOver(-1);
    QListWidget::leaveEvent(event);
}

void CThumbnailCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    ReportPreview();
}

void CThumbnailCtrl::ReportPreview() {
    const QStringList selected = SelectedPaths();
    emit PreviewRequested(selected.size() == 1 ? selected.front() : QString());
}

void CThumbnailCtrl::MakeActions() {
    auto make = [this](int id, QKeySequence key, void (CThumbnailCtrl::*run)()) {
        return AddWindowCommand(this, id, key, [this, run] { (this->*run)(); });
    };
    copy_ = make(gallery_command::kCopy, QKeySequence::Copy, &CThumbnailCtrl::CopyFiles);
    cut_ = make(gallery_command::kCut, QKeySequence::Cut, &CThumbnailCtrl::CutFiles);
    paste_ = make(gallery_command::kPaste, QKeySequence::Paste, &CThumbnailCtrl::PasteFiles);
    delete_ = make(gallery_command::kDelete, QKeySequence::Delete, &CThumbnailCtrl::DeleteFiles);
    rename_ = make(gallery_command::kRename, QKeySequence(Qt::Key_F2), &CThumbnailCtrl::RenameFile);
    refresh_ =
        make(gallery_command::kRefresh, QKeySequence::Refresh, &CThumbnailCtrl::RefreshPictures);
    UpdateActions();
}

void CThumbnailCtrl::UpdateActions() {
    const bool busy = Busy();
    copy_->setEnabled(CanCopy());
    cut_->setEnabled(CanCopy());
    paste_->setEnabled(CanPaste());
    delete_->setEnabled(CanCopy());
    rename_->setEnabled(!busy && selectedItems().size() == 1);
    refresh_->setEnabled(!busy && !folder_.empty());
}

void CThumbnailCtrl::contextMenuEvent(QContextMenuEvent* event) {
    UpdateActions();
    QMenu menu(this);
    menu.addActions({copy_, cut_, paste_});
    menu.addSeparator();
    menu.addActions({delete_, rename_});
    menu.addSeparator();
    menu.addAction(refresh_);
    menu.exec(event->globalPos());
}

}  // namespace tavrel
