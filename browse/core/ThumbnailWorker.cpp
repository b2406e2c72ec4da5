#include "browse/core/ThumbnailWorker.h"

#include <chrono>

#include "settings/FileNameRules.h"

namespace tavrel {

namespace {
// How often a worker waiting for the shared mutex looks at it again.
constexpr std::chrono::milliseconds kRetry{5};
}  // namespace

void CThumbnailWorker::Start(std::string folder, std::vector<std::string> names, int width,
                             int height, Delivery delivery) {
    Stop();
    running_ = true;
    finished_ = false;
    done_ = 0;
    thread_ = std::thread(&CThumbnailWorker::Run, this, std::move(folder), std::move(names), width,
                          height, std::move(delivery));
}

void CThumbnailWorker::RequestStop() {
    std::lock_guard guard(control_);
    running_ = false;
    changed_.notify_all();
}

void CThumbnailWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void CThumbnailWorker::Pause() {
    std::unique_lock guard(control_);
    paused_ = true;
    changed_.notify_all();
    changed_.wait(guard, [this] { return holding_ || finished_; });
}

void CThumbnailWorker::Resume() {
    std::lock_guard guard(control_);
    paused_ = false;
    changed_.notify_all();
}

bool CThumbnailWorker::MayGoOn() {
    std::unique_lock guard(control_);
    if (paused_ && running_) {
        holding_ = true;
        changed_.notify_all();
        changed_.wait(guard, [this] { return !paused_ || !running_; });
        holding_ = false;
    }
    return running_;
}

bool CThumbnailWorker::TakeShared() {
    std::unique_lock guard(control_);
    while (!shared_.try_lock()) {
        if (paused_ || !running_) return false;
        changed_.wait_for(guard, kRetry);
    }
    return true;
}

void CThumbnailWorker::Run(std::string folder, std::vector<std::string> names, int width,
                           int height, Delivery delivery) {
    const CThumbnailCache::SharedGate gate = [this](bool take) {
        if (take) return TakeShared();
        shared_.unlock();
        return true;
    };
    for (size_t i = 0; i < names.size() && MayGoOn();) {
        bool refused = false;
        ThumbnailPtr picture = cache_.GetPicture(JoinPath(folder, names[i]), maker_, width, height,
                                                 gate, &refused);
        if (refused) continue;  // stopped, or paused: this file again after the pause
        if (picture && delivery) delivery(i, std::move(picture));
        ++done_;
        ++i;
    }
    std::lock_guard guard(control_);
    finished_ = true;
    changed_.notify_all();
}

}  // namespace tavrel
