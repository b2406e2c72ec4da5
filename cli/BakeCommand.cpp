// bake: the whole timeline of a project file written as one motion file.
#include <filesystem>

#include "RKWindow/TimelineBake.h"
#include "cli/Commands.h"
#include "cli/DataFolder.h"
#include "cli/OpenedProject.h"

namespace tavrel::cli {

int RunBakeCommand(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2 || (args[0].size() > 1 && args[0][0] == '-')) {
        err << "tavrel-cli bake: expects PROJECT OUT.cha|.chb|.bvh (see tavrel-cli bake --help)\n";
        return kExitUsage;
    }
    OpenedProject project;
    if (!OpenOrReport(project, args[0], err)) return kExitFailed;
    const std::string rest = (std::filesystem::path(DataFolder()) / "Init.chb").string();
    const BakeOutcome outcome =
        BakeTimeline(project.Model().Project(), project.Manager(), rest, args[1]);
    if (!outcome.ok) {
        err << "error: " << outcome.error << '\n';
        return kExitFailed;
    }
    out << "wrote " << args[1] << " (" << outcome.frames << " frames at 60 fps)\n";
    return kExitOk;
}

}  // namespace tavrel::cli
