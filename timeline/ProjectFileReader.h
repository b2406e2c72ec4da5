#pragma once
// Reads a project file: comma-separated lines listing a timeline's motion clips, media clips
// and sound. Every file it names is copied into the working directory; the project's records
// name the copies.
#include <string>
#include <vector>

#include "settings/Message.h"
#include "timeline/MotionSide.h"
#include "timeline/TimelineProject.h"
#include "timeline/WorkingDirectory.h"

namespace tavrel {

struct ProjectReadResult {
    CTimelineProject project;       // what was read; project.complete is 0 when the read stopped
    std::vector<Message> messages;  // clips left out, then the line that stopped the read
};

class CProjectFileReader {
public:
    // Lines longer than this are not lines of a project file.
    static constexpr size_t kMaxLineLength = 383;

    CProjectFileReader(const CWorkingDirectory& workingDirectory, CMotionSide& motion)
        : workingDirectory_(workingDirectory), motion_(motion) {}

    ProjectReadResult Read(const std::string& path);

private:
    const CWorkingDirectory& workingDirectory_;
    CMotionSide& motion_;
};

}  // namespace tavrel
