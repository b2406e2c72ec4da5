#pragma once
// The speed curves' section of a project file: lines after the layers' section, so that readers
// of the base format (which stop at its last line) and of layers (which stop at their section's
// end) read such a file as before. A project without speed curves has no such section.
// docs/project-layers.md describes the lines.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "motion/SpeedCurve.h"
#include "timeline/LayerSection.h"

namespace tavrel {

class CSpeedSection {
public:
    // The first field of the section's first line.
    static constexpr const char* kTag = "Speeds";

    // A clip's curve, the clip named by its line among the file's clip lines (from 0).
    using ClipCurve = std::pair<int, SpeedCurve>;

    // The section's lines for the curves of the clip lines in their order; nothing when every
    // curve is constant.
    static std::string Text(const std::vector<SpeedCurve>& curves);

    // Reads the section from its lines; clip lines lie in 0 to clipLines - 1. None, with the
    // reason, when the section is damaged.
    static std::optional<std::vector<ClipCurve>> Parse(const CLayerSection::LineSource& nextLine,
                                                       int clipLines, std::string* reason);
};

}  // namespace tavrel
