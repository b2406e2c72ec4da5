#pragma once
// The subcommands of tavrel-cli. Each takes its arguments (without the subcommand's name),
// writes its result to out and its failures to err, and returns the exit code:
// 0 done, 1 failed, 2 wrong usage.
#include <ostream>
#include <string>
#include <vector>

namespace tavrel::cli {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args, std::ostream& out, std::ostream& err);

struct Command {
    const char* name;
    const char* usage;    // the arguments, as --help shows them
    const char* summary;  // one line
    CommandFn run;
};

int RunInfoCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunContactsCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunConvertCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunImportCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunPoseCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunMatchCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunComposeCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunEditCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunRenderCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunBakeCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunRenderVideoCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunFrameCommand(const Args& args, std::ostream& out, std::ostream& err);
int RunThumbnailsCommand(const Args& args, std::ostream& out, std::ostream& err);

// Every command, in the order --help lists them.
const std::vector<Command>& Commands();
// Runs argv as the tool does (argv[0] is the program name).
int RunTool(const Args& argv, std::ostream& out, std::ostream& err);

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Tells how a command was misused and returns kExitUsage.
int Usage(std::ostream& err, const char* command, const std::string& detail);

}  // namespace tavrel::cli
