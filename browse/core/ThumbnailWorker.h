#pragma once
// The thread that makes the pictures of a folder's motion files, one after another, through
// the cache. It checks its running flag before each file, so a stop lets the picture in hand
// finish and makes no further one. It never blocks on the shared mutex: its owner may hold
// that mutex on the window thread while stopping or pausing it, so the worker's wait for the
// mutex gives way to a stop or a pause.
#include <atomic>
#include <condition_variable>
#include <functional>
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

    // Starts on the files of a folder; a worker still running is stopped first.
    void Start(std::string folder, std::vector<std::string> names, int width, int height,
               Delivery delivery);
    // Asks the worker to end before its next file; returns at once.
    void RequestStop();
    // True once the thread has left its loop (or when none was started).
    bool IsFinished() const { return finished_; }
    // Waits for the thread to end and forgets it.
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
    size_t Done() const { return done_; }

private:
    void Run(std::string folder, std::vector<std::string> names, int width, int height,
             Delivery delivery);
    // Waits while paused; false when the worker is to end.
    bool MayGoOn();
    // Takes the shared mutex unless a stop or a pause comes first.
    bool TakeShared();

    CThumbnailCache& cache_;
    ThumbnailMaker maker_;
    std::mutex& shared_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{true};
    std::atomic<size_t> done_{0};
    std::mutex control_;  // guards paused_ and holding_ for the waits below
    std::condition_variable changed_;
    std::atomic<bool> paused_{false};
    bool holding_ = false;  // the worker waits in its pause
};

}  // namespace tavrel
