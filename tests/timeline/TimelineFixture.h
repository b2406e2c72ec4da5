#pragma once
// A model over a fake motion side, with its working directory and the user's files in a
// temporary folder of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "settings/StringTable.h"
#include "tests/support/TempFolder.h"
#include "tests/timeline/FakeMotionSide.h"
#include "tests/timeline/ScriptedDecisions.h"
#include "timeline/ProjectFileWriter.h"
#include "timeline/TimelineModel.h"

namespace tavrel {

// Readable clips in test failures.
inline void PrintTo(const MotionClip& c, std::ostream* out) {
    *out << "[" << c.firstFrame << "," << c.lastFrame << " "
         << std::filesystem::path(c.fileName).filename().string();
    if (c.stretched)
        *out << " from " << std::filesystem::path(c.sourceFileName).filename().string();
    *out << " in " << c.transitionIn << " out " << c.transitionOut << " curve " << c.curveType
         << " src " << c.sourceFirst << "-" << c.sourceLast << " speed "
         << SpeedCurveName(c.speedCurve) << "]";
}

}  // namespace tavrel

namespace tavrel::testing {

using Range = std::pair<int, int>;

// Clips in time order.
inline std::vector<MotionClip> ClipsOf(const CTimelineProject& project) {
    return std::vector<MotionClip>(project.motionClips.rbegin(), project.motionClips.rend());
}

inline std::vector<Range> RangesOf(const CTimelineProject& project) {
    std::vector<Range> ranges;
    for (const MotionClip& c : ClipsOf(project)) ranges.emplace_back(c.firstFrame, c.lastFrame);
    return ranges;
}

class TimelineFixture : public ::testing::Test {
protected:
    TimelineFixture() {
        std::filesystem::create_directories(root / "user");
        Message failure;
        auto wd =
            CWorkingDirectory::Create(root.Path(), CStringTable::BuiltIn().Lookup(), &failure);
        EXPECT_TRUE(wd.has_value());
        workingDirectory = std::make_unique<CWorkingDirectory>(std::move(*wd));
        model = std::make_unique<CTimelineModel>(motion, decisions, *workingDirectory);
        model->NewProject(CTimelineProject());
    }

    // A user motion file of that many frames (made once per name).
    std::string UserFile(const std::string& name, int frames) {
        const std::string path = root / ("user/" + name);
        if (!std::filesystem::exists(path)) WriteFakeMotion(path, frames, name);
        return path;
    }

    // Adds a user file of that many frames at a frame; returns the result.
    EditResult Add(int frames, int at, const std::string& name = "") {
        model->SetCurrentFrame(at);
        const std::string file = name.empty() ? "m" + std::to_string(counter++) + ".cha" : name;
        return model->AddMotionFile(UserFile(file, frames));
    }

    // The project written under saved/ in the test's folder; returns its path.
    std::string Save(const std::string& name) {
        std::filesystem::create_directories(root / "saved");
        const std::string path = root / ("saved/" + name);
        std::string error;
        EXPECT_TRUE(CProjectFileWriter::Write(model->Project(), path, &error)) << error;
        return path;
    }

    std::vector<Range> Ranges() const { return RangesOf(model->Project()); }
    std::vector<MotionClip> Clips() const { return ClipsOf(model->Project()); }
    int PositionOf(int firstFrame) const {
        int position = 0;
        for (const MotionClip& c : model->Project().motionClips) {
            if (c.firstFrame == firstFrame) return position;
            ++position;
        }
        return -1;
    }

    TempFolder root;
    FakeMotionSide motion;
    ScriptedDecisions decisions;
    std::unique_ptr<CWorkingDirectory> workingDirectory;
    std::unique_ptr<CTimelineModel> model;
    int counter = 0;
};

}  // namespace tavrel::testing
