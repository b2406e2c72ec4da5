#include "base/HelperProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "base/DebugOutput.h"

extern char** environ;

namespace tavrel {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::microseconds kLongestPause{10000};

// Both ends close on exec, so a child started at the same time by another thread cannot hold
// the pipe open; the spawn makes the write end this child's standard output.
struct PIPE {
    int read = -1, write = -1;
    PIPE() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) read = ends[0], write = ends[1];
    }
    ~PIPE() {
        CloseWrite();
        if (read >= 0) ::close(read);
    }
    void CloseWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int output) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    const char* debug = std::getenv("TAVREL_DEBUG");
    if (!debug || std::strcmp(debug, "1") != 0)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Reads the child's output until it closes it, the time is up or the output is too long.
HelperResult::Ending Collect(int from, Clock::time_point end, size_t most, std::string* output) {
    char buffer[1 << 16];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) return HelperResult::Ending::kTimedOut;
        pollfd ready{from, POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR) continue;
        if (polled == 0) return HelperResult::Ending::kTimedOut;
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return HelperResult::Ending::kExited;  // closed: the child is ending
        if (output->size() + static_cast<size_t>(n) > most)
            return HelperResult::Ending::kTooMuchOutput;
        output->append(buffer, static_cast<size_t>(n));
    }
}

// The child's status once it has ended; one that lingers past the end of its time is killed.
int Reap(pid_t pid, Clock::time_point end) {
    int status = 0;
    for (auto pause = std::chrono::microseconds(100);; pause = std::min(pause * 2, kLongestPause)) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return status;
        if (Clock::now() >= end) break;
        std::this_thread::sleep_for(pause);
    }
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

HelperResult RunHelper(const std::string& program, const std::vector<std::string>& args,
                       const HelperLimits& limits) {
    HelperResult result;
    PIPE pipe;
    if (pipe.read < 0) return result;
    const pid_t pid = Spawn(program, args, pipe.write);
    pipe.CloseWrite();
    if (pid < 0) {
        DebugPrintf("RunHelper failed: %s cannot be started\n", program.c_str());
        return result;
    }
    const Clock::time_point end = Clock::now() + limits.time;
    result.ending = Collect(pipe.read, end, limits.outputBytes, &result.output);
    if (result.ending != HelperResult::Ending::kExited) ::kill(pid, SIGKILL);
    const int status = Reap(pid, end);
    if (result.ending == HelperResult::Ending::kExited) {
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && Clock::now() >= end) {
            result.ending = HelperResult::Ending::kTimedOut;
        } else if (WIFSIGNALED(status)) {
            result.ending = HelperResult::Ending::kSignalled;
            result.status = WTERMSIG(status);
        } else {
            result.status = WEXITSTATUS(status);
        }
    }
    return result;
}

std::string ProgramBesideThisOne(const char* name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (self.parent_path() / name).string();
}

}  // namespace tavrel
