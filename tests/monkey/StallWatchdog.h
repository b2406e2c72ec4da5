#pragma once
// Watches that the window thread's event loop keeps turning. A timer on the window thread
// stamps the time at every turn; a thread of its own checks the stamp, and when it is older
// than the limit it prints the window thread's stack and the replay note, and ends the process:
// a stalled window thread cannot end a test by itself.
#include <pthread.h>

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class CStallWatchdog : public QObject {
public:
    // Made on the window thread. note: printed on a stall (how to replay the run).
    CStallWatchdog(std::chrono::milliseconds limit, std::string note);
    ~CStallWatchdog() override;

    // The longest time the event loop did not turn so far.
    std::chrono::milliseconds LongestPause() const {
        return std::chrono::milliseconds(longest_.load());
    }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    static long long Now();
    void Watch();
    void ReportStall(long long pause);

    const std::chrono::milliseconds limit_;
    const std::string note_;
    const pthread_t windowThread_;
    std::atomic<long long> stamp_;
    std::atomic<long long> longest_{0};
    int timer_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread watcher_;
};
