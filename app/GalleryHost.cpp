#include "app/GalleryHost.h"

#include <QSettings>

#include "browse/GalleryCommandIds.h"
#include "browse/ThumbnailCtrl.h"
#include "browse/core/ThumbnailStore.h"

namespace tavrel {

namespace gallery = gallery_command;

namespace {
constexpr char kLargeThumbnailsKey[] = "Gallery/LargeThumbnails";

bool IsThumbnailSize(int id) {
    return id == gallery::kSmallThumbnails || id == gallery::kLargeThumbnails;
}
}  // namespace

CGalleryHost::CGalleryHost(CMediatorSeam* mediator, QString libraryFolder, QString dataFolder)
    : mediator_(mediator),
      frame_(new CChildFrame(*this, std::move(libraryFolder), std::move(dataFolder))) {
    // The size the user chose last time.
    if (QSettings().value(kLargeThumbnailsKey, false).toBool()) Run(gallery::kLargeThumbnails);
}

// The frame uses this object as its services: it goes first.
CGalleryHost::~CGalleryHost() {
    delete frame_.data();
}

bool CGalleryHost::Run(int id) {
    return Enabled(id) && frame_->HandleCommand(id);
}
bool CGalleryHost::Enabled(int id) const {
    return frame_ && frame_->IsCommandEnabled(id);
}

bool CGalleryHost::Copy() {
    return Run(gallery::kCopy);
}
bool CGalleryHost::Cut() {
    return Run(gallery::kCut);
}
bool CGalleryHost::Paste() {
    return Run(gallery::kPaste);
}
bool CGalleryHost::Delete() {
    return Run(gallery::kDelete);
}
bool CGalleryHost::CanCopy() const {
    return Enabled(gallery::kCopy);
}
bool CGalleryHost::CanCut() const {
    return Enabled(gallery::kCut);
}
bool CGalleryHost::CanPaste() const {
    return Enabled(gallery::kPaste);
}
bool CGalleryHost::CanDelete() const {
    return Enabled(gallery::kDelete);
}

bool CGalleryHost::Command(int id) {
    if (!Run(id)) return false;
    if (IsThumbnailSize(id))
        QSettings().setValue(kLargeThumbnailsKey, id == gallery::kLargeThumbnails);
    return true;
}

std::optional<bool> CGalleryHost::Checked(int id) const {
    if (!frame_ || !IsThumbnailSize(id)) return std::nullopt;
    const bool large = frame_->Thumbnails()->ThumbnailSize() == CThumbnailCtrl::kLargeThumbnail;
    return large == (id == gallery::kLargeThumbnails);
}

void CGalleryHost::Refresh() {
    if (frame_) frame_->Thumbnails()->Refill();
}

void CGalleryHost::Shutdown() {
    if (frame_) frame_->Thumbnails()->StopWorker();
}

// The pictures are made with their own headless context: a new display mode changes nothing.
void CGalleryHost::RebuildDisplay() {}

void CGalleryHost::UpdateCommands() {
    if (frame_) frame_->UpdateCommands();
}

void CGalleryHost::PauseThumbnails(bool paused) {
    if (frame_) frame_->Thumbnails()->PauseWorker(paused);
}

bool CGalleryHost::IsTimelineBusy() const {
    return mediator_ && mediator_->IsTimelineBusy();
}

std::string CGalleryHost::ThumbnailStoreFolder() const {
    return DefaultThumbnailStoreFolder();
}

std::mutex& CGalleryHost::SharedMutex() {
    if (std::mutex* shared = mediator_ ? mediator_->SharedMutex() : nullptr) return *shared;
    return CGalleryServices::SharedMutex();
}

}  // namespace tavrel
