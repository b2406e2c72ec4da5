#include "tests/monkey/StallWatchdog.h"

#include <execinfo.h>
#include <unistd.h>

#include <QTimerEvent>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kStampInterval = 50;  // ms
constexpr int kStackSignal = SIGUSR2;

// Runs on the window thread, interrupted wherever it is stuck.
void PrintStack(int) {
    static const char kTitle[] = "--- the window thread's stack ---\n";
    ssize_t written = ::write(STDERR_FILENO, kTitle, sizeof kTitle - 1);
    (void)written;
    void* frames[128];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 128), STDERR_FILENO);
}

}  // namespace

CStallWatchdog::CStallWatchdog(std::chrono::milliseconds limit, std::string note)
    : limit_(limit), note_(std::move(note)), windowThread_(::pthread_self()), stamp_(Now()) {
    void* frames[1];
    ::backtrace(frames, 1);  // loads the unwinder now, not inside the signal handler
    std::signal(kStackSignal, PrintStack);
    timer_ = startTimer(kStampInterval);
    watcher_ = std::thread([this] { Watch(); });
}

CStallWatchdog::~CStallWatchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    watcher_.join();
    killTimer(timer_);
    std::signal(kStackSignal, SIG_DFL);
}

long long CStallWatchdog::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void CStallWatchdog::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_) return QObject::timerEvent(event);
    const long long now = Now();
    const long long pause = now - stamp_.exchange(now);
    if (pause > longest_) longest_ = pause;
}

void CStallWatchdog::Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, std::chrono::milliseconds(kStampInterval),
                           [this] { return stopping_; })) {
        const long long pause = Now() - stamp_;
        if (pause > limit_.count()) ReportStall(pause);
    }
}

void CStallWatchdog::ReportStall(long long pause) {
    std::fprintf(stderr, "\nThe window thread's event loop has not turned for %lld ms. %s\n", pause,
                 note_.c_str());
    ::pthread_kill(windowThread_, kStackSignal);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the stack is printed
    std::fflush(stderr);
    std::_Exit(3);
}
