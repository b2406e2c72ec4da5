#include "browse/core/ThumbnailWorker.h"

#include <algorithm>
#include <chrono>

#include "settings/FileNameRules.h"

namespace tavrel {

namespace {
// How often a worker waiting for the shared mutex looks at it again.
constexpr std::chrono::milliseconds kRetry{5};
}  // namespace

void CThumbnailWorker::Start(std::string folder, std::vector<std::string> names, int width,
                             int height, Delivery delivery) {
    RequestStop();
    JoinEnded();
    if (thread_.joinable()) stopped_.emplace_back(std::move(thread_), run_);
    auto run = std::make_shared<RunState>();
    run->running = true;
    run->finished = false;
    run_ = run;
    thread_ = std::thread(&CThumbnailWorker::Run, this, std::move(run), std::move(folder),
                          std::move(names), width, height, std::move(delivery));
}

void CThumbnailWorker::RequestStop() {
    std::lock_guard guard(control_);
    run_->running = false;
    changed_.notify_all();
}

bool CThumbnailWorker::StoppedRunsFinished() const {
    return std::all_of(stopped_.begin(), stopped_.end(),
                       [](const auto& stopped) { return stopped.second->finished.load(); });
}

bool CThumbnailWorker::IsFinished() const {
    return run_->finished && StoppedRunsFinished();
}

void CThumbnailWorker::JoinEnded() {
    std::erase_if(stopped_, [](auto& stopped) {
        if (!stopped.second->finished) return false;
        stopped.first.join();
        return true;
    });
}

void CThumbnailWorker::Join() {
    if (thread_.joinable()) thread_.join();
    for (auto& stopped : stopped_) stopped.first.join();
    stopped_.clear();
}

void CThumbnailWorker::Pause() {
    std::unique_lock guard(control_);
    paused_ = true;
    changed_.notify_all();
    // Stopped runs end rather than hold: their picture in hand is finished first too.
    changed_.wait(guard,
                  [this] { return (run_->holding || run_->finished) && StoppedRunsFinished(); });
}

void CThumbnailWorker::Resume() {
    std::lock_guard guard(control_);
    paused_ = false;
    changed_.notify_all();
}

bool CThumbnailWorker::MayGoOn(RunState& run) {
    std::unique_lock guard(control_);
    if (paused_ && run.running) {
        run.holding = true;
        changed_.notify_all();
        changed_.wait(guard, [&] { return !paused_ || !run.running; });
        run.holding = false;
    }
    return run.running;
}

bool CThumbnailWorker::TakeShared(RunState& run) {
    std::unique_lock guard(control_);
    while (!shared_.try_lock()) {
        if (paused_ || !run.running) return false;
        changed_.wait_for(guard, kRetry);
    }
    return true;
}

void CThumbnailWorker::Run(RunPtr run, std::string folder, std::vector<std::string> names,
                           int width, int height, Delivery delivery) {
    const CThumbnailCache::SharedGate gate = [this, &run](bool take) {
        if (take) return TakeShared(*run);
        shared_.unlock();
        return true;
    };
    for (size_t i = 0; i < names.size() && MayGoOn(*run);) {
        bool refused = false;
        ThumbnailPtr picture =
            cache_.GetPicture(JoinPath(folder, names[i]), maker_, width, height, gate, &refused);
        if (refused) continue;  // stopped, or paused: this file again after the pause
        if (picture && delivery) delivery(i, std::move(picture));
        ++run->done;
        ++i;
    }
    if (afterRun_ && run->running && TakeShared(*run)) {
        afterRun_();
        shared_.unlock();
    }
    std::lock_guard guard(control_);
    run->finished = true;
    changed_.notify_all();
}

}  // namespace tavrel
