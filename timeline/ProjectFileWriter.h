#pragma once
// Writes a timeline as a project file that the project-file reader reads back into the same
// timeline. The files the timeline plays live in the working directory, so they are copied
// beside the project file (its folder is the project's folder) and named without folders.
#include <string>

#include "timeline/TimelineProject.h"

namespace tavrel {

class CProjectFileWriter {
public:
    // False with the reason in error when something could not be written. Files already in the
    // folder are never overwritten by other content: such a copy takes a derived name. The
    // project file itself is written under a temporary name, flushed and renamed into place.
    static bool Write(const CTimelineProject& project, const std::string& path, std::string* error);
};

}  // namespace tavrel
