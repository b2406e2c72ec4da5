// A helper process answers, or its ending is told, within its time: whatever it does, the caller
// goes on and no child is left behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>

#include "base/HelperProcess.h"

namespace tavrel {
namespace {

using Ending = HelperResult::Ending;

TEST(HelperProcess, EveryWayAChildEndsIsToldAndNoneIsLeftRunning) {
    struct Case {
        const char* label;
        std::vector<std::string> args;
        Ending ending;
        int status;
        std::string output;
    };
    const Case cases[] = {
        {"answers", {"/bin/sh", "-c", "printf 'a\\0b'; exit 0"}, Ending::kExited, 0, {"a\0b", 3}},
        {"fails", {"/bin/sh", "-c", "printf x; exit 3"}, Ending::kExited, 3, "x"},
        {"aborts", {"/bin/sh", "-c", "printf x; kill -ABRT $$"}, Ending::kSignalled, SIGABRT, "x"},
        {"is killed", {"/bin/sh", "-c", "kill -KILL $$"}, Ending::kSignalled, SIGKILL, ""},
        {"hangs", {"/bin/sleep", "30"}, Ending::kTimedOut, 0, ""},
        {"hangs after closing its output",
         {"/bin/sh", "-c", "exec >&-; sleep 30"},
         Ending::kTimedOut,
         0,
         ""},
        {"floods", {"/usr/bin/yes"}, Ending::kTooMuchOutput, 0, ""},
        {"is no program", {"/nonexistent/helper"}, Ending::kNotStarted, 0, ""},
    };
    HelperLimits limits;
    limits.time = std::chrono::milliseconds(300);
    limits.outputBytes = 1 << 16;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const HelperResult r = RunHelper(c.args[0], c.args, limits);
        EXPECT_EQ(r.ending, c.ending);
        EXPECT_EQ(r.status, c.status);
        if (c.ending != Ending::kTooMuchOutput) {
            EXPECT_EQ(r.output, c.output);
        }
        // Every child was waited for: none is left to reap.
        EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }
}

}  // namespace
}  // namespace tavrel
