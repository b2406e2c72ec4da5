#pragma once
// The thread that makes the pictures of a folder's motion files, one after another, through
// the cache. It checks its running flag before each file, so a stop lets the picture in hand
// finish and makes no further one.
#include <atomic>
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
    void RequestStop() { running_ = false; }
    // True once the thread has left its loop (or when none was started).
    bool IsFinished() const { return finished_; }
    // Waits for the thread to end and forgets it.
    void Join();
    void Stop() {
        RequestStop();
        Join();
    }
    // The number of files handled, pictures or not, since the last start.
    size_t Done() const { return done_; }

private:
    void Run(std::string folder, std::vector<std::string> names, int width, int height,
             Delivery delivery);

    CThumbnailCache& cache_;
    ThumbnailMaker maker_;
    std::mutex& shared_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> finished_{true};
    std::atomic<size_t> done_{0};
};

}  // namespace tavrel
