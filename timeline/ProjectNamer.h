#pragma once
// Names new projects: the first free "<base><N>" in a parent folder, with a counter that starts
// at 1 when the program starts and only grows.
#include <string>

#include "settings/Message.h"
#include "timeline/TimelineProject.h"

namespace tavrel {

class CProjectNamer {
public:
    // Base name and extension come from the string table.
    explicit CProjectNamer(const StringLookup& lookup);

    // An empty project named in the parent folder: the folder <parent>/<base><N> and the file
    // <that folder>.<extension> must both be absent. Nothing named when no name fits a path.
    CTimelineProject NewProject(const std::string& parentFolder);

    int NextNumber() const { return next_; }

private:
    std::string base_;
    std::string extension_;
    int next_ = 1;
};

}  // namespace tavrel
