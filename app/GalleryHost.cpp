#include "app/GalleryHost.h"

#include "browse/GalleryCommandIds.h"
#include "browse/ThumbnailCtrl.h"

namespace gallery = tavrel::gallery_command;

CGalleryHost::CGalleryHost(CMediatorSeam* mediator, QString libraryFolder, QString dataFolder)
    : mediator_(mediator),
      frame_(new tavrel::CChildFrame(*this, std::move(libraryFolder), std::move(dataFolder))) {}

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
    return Run(id);
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

std::mutex& CGalleryHost::SharedMutex() {
    if (std::mutex* shared = mediator_ ? mediator_->SharedMutex() : nullptr) return *shared;
    return CGalleryServices::SharedMutex();
}
