// bake: the whole timeline of a project file written as one motion file.
#include <filesystem>

#include "cli/Commands.h"
#include "cli/DataFolder.h"
#include "cli/OpenedProject.h"
#include "compose/TimelineBake.h"

namespace tavrel::cli {

int RunBakeCommand(const Args& args, std::ostream& out, std::ostream& err) {
    Args files;
    MixMode mode = MixMode::kHoldFeet;
    GltfFigure figure = GltfFigure::kSkinnedAvatar;
    for (const std::string& a : args) {
        if (a == "--plain") {
            mode = MixMode::kPlain;
        } else if (a == "--skeleton-only") {
            figure = GltfFigure::kBareSkeleton;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2 || (files[0].size() > 1 && files[0][0] == '-')) {
        err << "tavrel-cli bake: expects PROJECT OUT.cha|.chb|.bvh|.glb|.gltf [--plain] "
               "[--skeleton-only] (see tavrel-cli bake --help)\n";
        return kExitUsage;
    }
    OpenedProject project;
    if (!OpenOrReport(project, files[0], err)) return kExitFailed;
    const std::string rest = (std::filesystem::path(DataFolder()) / "Init.chb").string();
    const BakeOutcome outcome = BakeTimeline(project.Model().Project(), project.Manager(), rest,
                                             files[1], {}, mode, figure);
    if (!outcome.ok) {
        err << "error: " << outcome.error << '\n';
        return kExitFailed;
    }
    out << "wrote " << files[1] << " (" << outcome.frames << " frames at 60 fps)\n";
    return kExitOk;
}

}  // namespace tavrel::cli
