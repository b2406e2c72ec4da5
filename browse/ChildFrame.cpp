#include "browse/ChildFrame.h"

#include <QAction>
#include <QBitmap>
#include <QFile>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <filesystem>

#include "browse/FileTreeCtrl.h"
#include "browse/GalleryCommandIds.h"
#include "browse/GalleryServices.h"
#include "browse/ImageArea.h"
#include "browse/SplitterView.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/MotionFolder.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "settings/SystemSettings.h"
#include "settings/UserDataFolder.h"

namespace tavrel {

namespace {

// The toolbar's buttons in the order of their pictures in the toolbar bitmaps.
constexpr int kToolCommands[] = {gallery_command::kCopy,         gallery_command::kCut,
                                 gallery_command::kPaste,        gallery_command::kDelete,
                                 gallery_command::kNewFolder,    gallery_command::kDeleteFolder,
                                 gallery_command::kRenameFolder, gallery_command::kRefresh};
constexpr QRgb kToolTransparent = qRgb(0xFF, 0x00, 0xCC);  // the bitmaps' see-through colour
constexpr int kTooltipLimit = 80;

// One button's picture from a strip of 20 x 20 pictures in the resource bundle; null when the
// bundle has no such bitmap.
QPixmap ToolPicture(int bitmap, int index) {
    const QString path = QString(":/Vesk/bitmaps/%1.bmp").arg(bitmap);
    if (!QFile::exists(path)) return {};
    const QImage strip(path);
    const int side = CChildFrame::kToolImageSide;
    if (strip.width() < (index + 1) * side) return {};
    const QImage cell = strip.copy(index * side, 0, side, side);
    QPixmap picture = QPixmap::fromImage(cell);
    picture.setMask(
        QBitmap::fromImage(cell.createMaskFromColor(kToolTransparent, Qt::MaskInColor)));
    return picture;
}

QStyle::StandardPixmap StandInPicture(int command) {
    switch (command) {
        case gallery_command::kCopy:
            return QStyle::SP_FileDialogContentsView;
        case gallery_command::kCut:
            return QStyle::SP_DialogDiscardButton;
        case gallery_command::kPaste:
            return QStyle::SP_DialogSaveButton;
        case gallery_command::kDelete:
            return QStyle::SP_TrashIcon;
        case gallery_command::kNewFolder:
            return QStyle::SP_FileDialogNewFolder;
        case gallery_command::kDeleteFolder:
            return QStyle::SP_DialogCloseButton;
        case gallery_command::kRenameFolder:
            return QStyle::SP_FileDialogDetailedView;
        default:
            return QStyle::SP_BrowserReload;
    }
}

std::string AvatarFolderOr(const QString& given) {
    return given.isEmpty() ? AvatarDataFolder() : given.toStdString();
}

}  // namespace

CChildFrame::CChildFrame(CGalleryServices& services, QString libraryFolder, QString dataFolder,
                         QWidget* parent)
    : QWidget(parent),
      services_(services),
      maker_(AvatarFolderOr(dataFolder)),
      hoverMaker_(AvatarFolderOr(dataFolder)) {
    const QString data =
        dataFolder.isEmpty() ? QString::fromStdString(AvatarDataFolder()) : dataFolder;
    tree_ = new CFileTreeCtrl(services_);
    preview_ = new CImageArea(services_.SharedMutex(), data);
    thumbnails_ = new CThumbnailCtrl(services_, [this](const std::string& path, int w, int h) {
        return RenderThumbnail(path, w, h);
    });
    // The worker's generator is needed again only for another folder: a user who looks at
    // one folder does not keep a second 3D system in memory.
    thumbnails_->SetMakerRelease([this] { maker_.Release(); });
    thumbnails_->SetHoverPlayer([this](ANIMFILE& motion, int frame, int w, int h) {
        // Its headless context takes the thread's current one from the 3D views, which make
        // theirs current again before they draw.
        return hoverMaker_.MakeFrame(motion, frame, w, h);
    });
    thumbnails_->SetAcceptedExtensions(CStringTable::BuiltIn().Get(strings::kAcceptedExtensions));
    left_ = new CSplitterView(tree_, preview_);
    left_->setMinimumWidth(kLeftMinimum);
    thumbnails_->setMinimumWidth(kRightMinimum);

    columns_ = new QSplitter(Qt::Horizontal);
    columns_->addWidget(left_);
    columns_->addWidget(thumbnails_);
    columns_->setChildrenCollapsible(false);
    columns_->setSizes({kLeftWidth, kRightWidth});
    columns_->setStretchFactor(1, 1);

    MakeToolBar();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(columns_, 1);
    // Never smaller than the columns' and rows' minimums.
    setMinimumSize(kLeftMinimum + kRightMinimum + columns_->handleWidth(),
                   toolBar_->sizeHint().height() + left_->minimumHeight());

    tree_->SetThumbnailView(thumbnails_);
    connect(thumbnails_, &CThumbnailCtrl::PreviewRequested, preview_, &CImageArea::ShowMotion);
    connect(thumbnails_, &QListWidget::itemSelectionChanged, this, &CChildFrame::UpdateCommands);
    connect(tree_, &CFileTreeCtrl::FolderSelected, this, &CChildFrame::UpdateCommands);
    library_ = ChooseLibrary(libraryFolder);
    tree_->Initialise(library_);
    // A library's first folders often hold only folders: open where the motions are.
    if (!library_.isEmpty()) {
        tree_->SelectPath(QString::fromStdString(FirstFolderWithMotions(
            library_.toStdString(),
            ParseAcceptedExtensions(CStringTable::BuiltIn().Get(strings::kAcceptedExtensions)))));
    }
    UpdateCommands();
}

CChildFrame::~CChildFrame() {
    // The worker draws through this frame's maker: it ends before the maker does.
    thumbnails_->StopWorker();
}

QString CChildFrame::ChooseLibrary(const QString& given) {
    if (!given.isEmpty()) return given;
    const CSystemSettings settings;
    const StringLookup lookup = CStringTable::BuiltIn().Lookup();
    const std::string configured = GetMotionFolder(settings, lookup);
    const std::string library = GetMotionLibraryFolder(settings, lookup);
    bool exists = std::filesystem::is_directory(library);
    if (configured.empty()) {
        exists = EnsureDefaultMotionLibrary(library, JoinPath(BundledDataFolder(), "Motion"));
    }
    const QString folder = QString::fromStdString(library);
    if (!exists) {
        const Message message =
            MakeMessage(strings::kLibraryFolderMissing, {{std::string(kFolderToken), library}});
        QTimer::singleShot(0, this, [this, message] { services_.Tell(GalleryText(message)); });
    }
    return folder;
}

ThumbnailPtr CChildFrame::RenderThumbnail(const std::string& path, int width, int height) {
    return maker_.Make(path, width, height);
}

void CChildFrame::MakeToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setIconSize(QSize(kToolImageSide, kToolImageSide));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int i = 0; i < int(std::size(kToolCommands)); ++i) {
        const int id = kToolCommands[i];
        QIcon icon;
        const QPixmap normal = ToolPicture(104, i);
        const QString drawn = QString(":/toolbar/%1.png").arg(id);  // drawn by tavrel-icons
        if (normal.isNull() && QFile::exists(drawn)) {
            icon = QIcon(drawn);
        } else if (normal.isNull()) {
            icon = style()->standardIcon(StandInPicture(id));
        } else {
            icon.addPixmap(normal, QIcon::Normal);
            icon.addPixmap(ToolPicture(105, i), QIcon::Active);
            icon.addPixmap(ToolPicture(123, i), QIcon::Disabled);
        }
        const QString text = GalleryText(id);
        QAction* action = toolBar_->addAction(icon, text);
        action->setToolTip(text.left(kTooltipLimit));
        action->setStatusTip(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { HandleCommand(id); });
        if (i == 3 || i == 6) toolBar_->addSeparator();
    }
}

bool CChildFrame::HandleCommand(int id) {
    switch (id) {
        case gallery_command::kSmallThumbnails:
        case gallery_command::kLargeThumbnails:
            thumbnails_->SetThumbnailSize(id == gallery_command::kLargeThumbnails
                                              ? CThumbnailCtrl::kLargeThumbnail
                                              : CThumbnailCtrl::kThumbnailWidth);
            return true;
        case gallery_command::kCopy:
            thumbnails_->CopyFiles();
            break;
        case gallery_command::kCut:
            thumbnails_->CutFiles();
            break;
        case gallery_command::kPaste:
            thumbnails_->PasteFiles();
            break;
        case gallery_command::kDelete:
            // Delete works on the pane in use: the folder when the tree has the focus.
            if (tree_->hasFocus()) {
                tree_->DeleteFolder();
            } else {
                thumbnails_->DeleteFiles();
            }
            break;
        case gallery_command::kNewFolder:
            tree_->NewFolder();
            break;
        case gallery_command::kDeleteFolder:
            tree_->DeleteFolder();
            break;
        case gallery_command::kRenameFolder:
            tree_->RenameFolder();
            break;
        case gallery_command::kRefresh:
            thumbnails_->RefreshPictures();
            break;
        default:
            return false;
    }
    UpdateCommands();
    return true;
}

bool CChildFrame::IsCommandEnabled(int id) const {
    switch (id) {
        case gallery_command::kCopy:
        case gallery_command::kCut:
            return thumbnails_->CanCopy();
        case gallery_command::kPaste:
            return thumbnails_->CanPaste();
        case gallery_command::kDelete:
            return tree_->hasFocus() ? tree_->CanChange() : thumbnails_->CanCopy();
        case gallery_command::kNewFolder:
            return tree_->CanCreate();
        case gallery_command::kDeleteFolder:
        case gallery_command::kRenameFolder:
            return tree_->CanChange();
        case gallery_command::kRefresh:
            return !services_.IsTimelineBusy() && !thumbnails_->CurrentFolder().isEmpty();
        case gallery_command::kSmallThumbnails:
        case gallery_command::kLargeThumbnails:
            return true;
        default:
            return false;
    }
}

void CChildFrame::UpdateCommands() {
    for (QAction* action : toolBar_->actions()) {
        if (action->data().isValid()) action->setEnabled(IsCommandEnabled(action->data().toInt()));
    }
    thumbnails_->UpdateActions();
}

}  // namespace tavrel
