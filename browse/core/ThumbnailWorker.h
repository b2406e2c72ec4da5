#pragma once
// The thread that makes the pictures of a folder's motion files, one after another, through
// the cache. It checks its running flag before each file, so a stop lets the picture in hand
// finish and makes no further one. It never blocks on the shared mutex: its owner may hold
// that mutex on the window thread while stopping or pausing it, so the worker's wait for the
// mutex gives way to a stop or a pause. A new start never waits for the last run: that run is
// told to stop and left to finish its picture in hand on its own thread, joined later.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browse/core/ThumbnailCache.h"

namespace tavrel {

class CThumbnailWorker {
public:
    // Receives each picture made, with the index of its file in the list; on the worker thread.
    using Delivery = std::function<void(size_t index, ThumbnailPtr picture)>;

    CThumbnailWorker(CThumbnailCache& cache, ThumbnailMaker maker, std::mutex& shared)
        : cache_(cache), maker_(std::move(maker)), shared_(shared) {}
    ~CThumbnailWorker() { Stop(); }
    CThumbnailWorker(const CThumbnailWorker&) = delete;
    CThumbnailWorker& operator=(const CThumbnailWorker&) = delete;

    // Called on the worker thread, holding the shared mutex, once a run has been through its
    // whole list (not when it is stopped or paused): the maker may let go of what it draws with
    // until the next run. Set before the first start.
    void SetAfterRun(std::function<void()> afterRun) { afterRun_ = std::move(afterRun); }
    // Starts on the files of a folder at once; a run still going is told to stop and not
    // waited for: the picture it has in hand is still delivered, so a delivery must tell
    // the runs apart.
    void Start(std::string folder, std::vector<std::string> names, int width, int height,
               Delivery delivery);
    // Asks the worker to end before its next file; returns at once.
    void RequestStop();
    // True once every run, the last started and those stopped before, has left its loop (or
    // when none was started).
    bool IsFinished() const;
    // Waits for every run's thread to end and forgets them.
    void Join();
    void Stop() {
        RequestStop();
        Join();
    }
    // Holds the worker before its next picture and returns once it holds (or has ended):
    // the picture in hand is finished first, a wait for the shared mutex is given up. The
    // hold lasts, across new starts, until Resume. For a holder of the shared mutex that
    // will wait for the worker meanwhile.
    void Pause();
    void Resume();
    bool IsPaused() const { return paused_; }
    // The number of files handled, pictures or not, since the last start.
    size_t Done() const { return run_->done; }

private:
    // One start's state: a stopped run may still finish its picture while the next one goes.
    struct RunState {
        std::atomic<bool> running{false};
        std::atomic<bool> finished{true};
        std::atomic<size_t> done{0};
        bool holding = false;  // waits in the pause (under control_)
    };
    using RunPtr = std::shared_ptr<RunState>;

    void Run(RunPtr run, std::string folder, std::vector<std::string> names, int width,
             int height, Delivery delivery);
    // Waits while paused; false when the run is to end.
    bool MayGoOn(RunState& run);
    // Takes the shared mutex unless a stop or a pause comes first.
    bool TakeShared(RunState& run);
    bool StoppedRunsFinished() const;
    // Joins the threads of stopped runs that have ended.
    void JoinEnded();

    CThumbnailCache& cache_;
    ThumbnailMaker maker_;
    std::function<void()> afterRun_;
    std::mutex& shared_;
    RunPtr run_ = std::make_shared<RunState>();  // the last started
    std::thread thread_;                          // the last started run's
    std::vector<std::pair<std::thread, RunPtr>> stopped_;
    std::mutex control_;  // guards paused_ and each run's holding for the waits below
    std::condition_variable changed_;
    std::atomic<bool> paused_{false};
};

}  // namespace tavrel
