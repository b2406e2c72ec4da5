#pragma once
// The layers' section of a project file: lines after the base format's last line, so that a
// reader of the base format reads such a file as it is, and a file without layers is the file
// it always was. docs/project-layers.md describes the lines.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "timeline/LayerTrack.h"

namespace tavrel {

// The comma-separated fields of a project file's line, empty ones too.
std::vector<std::string> SplitAtCommas(std::string_view line);

class CLayerSection {
public:
    // The first field of the section's first line.
    static constexpr const char* kTag = "Layers";

    // The section's lines for the stack; motion clips are named as nameOf gives them (a
    // name relative to the project's folder). Nothing for an empty stack.
    static std::string Text(const CLayerStack& stack,
                            const std::function<std::string(const std::string&)>& nameOf);

    // Reads the section from its lines (nextLine gives nothing past the end). The clips' file
    // names are as the file gives them. None, with the reason, when the section is damaged.
    using LineSource = std::function<std::optional<std::string>()>;
    static std::optional<CLayerStack> Parse(const LineSource& nextLine, std::string* reason);
};

}  // namespace tavrel
