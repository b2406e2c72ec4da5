#pragma once
// A program of ours run as a separate process for work that may take a process down with it:
// whatever the child does (aborts, crashes, hangs, floods its output), the caller gets an answer
// within the time limit, and no child is left running.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace tavrel {

struct HelperResult {
    enum class Ending { kExited, kSignalled, kTimedOut, kTooMuchOutput, kNotStarted };
    Ending ending = Ending::kNotStarted;
    int status = 0;      // the exit code, or the signal that ended it
    std::string output;  // everything it wrote to its standard output, up to the limit
};

struct HelperLimits {
    std::chrono::milliseconds time{10000};
    size_t outputBytes = size_t{64} << 20;
};

// Runs program with args (argv[0] is the program) and collects its standard output. Its standard
// input is empty; its error output goes to ours only when the debug output is on.
HelperResult RunHelper(const std::string& program, const std::vector<std::string>& args,
                       const HelperLimits& limits);

// The named program in this program's own folder, where the build and the install put ours.
std::string ProgramBesideThisOne(const char* name);

}  // namespace tavrel
