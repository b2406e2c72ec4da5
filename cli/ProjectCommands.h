#pragma once
// tavrel-cli project and sample: a project file opened as the timeline opens it.
#include <ostream>
#include <string>
#include <vector>

namespace tavrel::cli {

// project FILE [--json]: the clips, media clips and sound of the project, or the message of
// the first failure.
int RunProjectCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// sample FILE FRAME... [--json]: what the timeline shows at each frame.
int RunSampleCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tavrel::cli
