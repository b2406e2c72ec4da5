#include "browse/ThumbnailCtrl.h"

#include <QCoreApplication>
#include <QDrag>
#include <QMimeData>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "browse/GalleryServices.h"
#include "browse/LabelEditDelegate.h"
#include "browse/ThumbnailPixmap.h"
#include "browse/core/LibraryFolders.h"
#include "browse/core/MotionFolder.h"
#include "settings/FileNameRules.h"

namespace tavrel {

namespace fs = std::filesystem;

namespace {

// Room around each picture for its label.
constexpr int kSpacingX = 20;
constexpr int kSpacingY = 24;
constexpr int kMinimumLabelWidth = 90;
constexpr int kLabelMargin = 6;  // the style's padding either side of a label
// Each row keeps the name of its file: a row is never matched to a file by position alone.
constexpr int kNameRole = Qt::UserRole;

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
    const QPixmap blank = BlankThumbnail(size_);
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
        item(int(index))->setIcon(QIcon(ThumbnailPixmap(*picture)));
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

bool CThumbnailCtrl::Busy() const {
    return services_.IsTimelineBusy();
}

QStringList CThumbnailCtrl::SelectedPaths() const {
    QStringList paths;
    for (int row = 0; row < count(); ++row) {
        if (item(row)->isSelected()) paths << QString::fromStdString(PathOf(row));
    }
    return paths;
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

void CThumbnailCtrl::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    ReportPreview();
}

void CThumbnailCtrl::ReportPreview() {
    const QStringList selected = SelectedPaths();
    emit PreviewRequested(selected.size() == 1 ? selected.front() : QString());
}

}  // namespace tavrel
