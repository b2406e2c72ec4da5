#include <gtest/gtest.h>

#include <functional>

#include "../motion/MotionFiles.h"
#include "ToolRun.h"
#include "cli/OpenedProject.h"

namespace tavrel::cli {
namespace {

using testing::Tool;

const std::string kMotion = std::string(TAVREL_SHARE_DIR) + "/Motion/";

struct Step {
    Args args;                                  // after "compose PROJECT"
    std::function<void(OpenedProject&)> model;  // the same action on the editor's model
};

// What a clip is on the timeline, file contents aside.
std::vector<std::array<int64_t, 9>> Clips(const CTimelineProject& p) {
    std::vector<std::array<int64_t, 9>> clips;
    for (const MotionClip& c : p.motionClips) {
        clips.push_back({c.firstFrame, c.lastFrame, c.transitionIn, c.transitionOut, c.curveType,
                         c.offset[0], c.offset[1], c.offset[2], c.speedCurve});
    }
    return clips;
}

// A timeline built step by step by the command is, after every step, the one the editor's model
// makes with the same actions, and is read back from the file the command wrote.
TEST(Compose, EditsAProjectFileAsTheEditorsActionsDo) {
    tavrel::testing::TempDir dir;
    const std::string project = dir / "built.tvp";
    OpenedProject editor;
    ASSERT_FALSE(editor.New());
    CTimelineModel& m = editor.EditModel();
    const auto addAt = [&](int frame, const std::string& file, OverlapChoice answer, bool best) {
        m.SetCurrentFrame(frame);
        editor.Decisions().overlap = answer;
        m.AddMotionFile(file, !best);
    };
    const std::string walk = kMotion + "Locomotion/walk.cha", run = kMotion + "Locomotion/run.chb";
    const Step steps[] = {
        {{"add", walk}, [&](OpenedProject&) { addAt(0, walk, OverlapChoice::kCancel, false); }},
        {{"add", run, "--blend", "20", "--best"},
         [&](OpenedProject&) { addAt(m.LastFrame() - 19, run, OverlapChoice::kBlend, true); }},
        {{"curve", "1", "Inertial"}, [&](OpenedProject&) { m.SetCurveType(1, kCurveInertial); }},
        {{"speed", "2", "out"}, [&](OpenedProject&) { m.SetSpeedCurve(0, kSpeedEaseOut); }},
        {{"add", walk, "--after", "--feet-free"},
         [&](OpenedProject&) {
             addAt(m.LastFrame() + 1, walk, OverlapChoice::kCancel, false);
             m.SetClipSwitches(0, false, false);
         }},
        {{"move", "3", "400"}, [&](OpenedProject&) { m.MoveClip(0, 400); }},
        {{"match", "2"}, [&](OpenedProject&) { m.BlendAtBestPoint(1); }},
        {{"remove", "3"},
         [&](OpenedProject&) {
             m.Select(0);
             m.DeleteSelected();
         }},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args[0]);
        Args args = {"compose", project};
        args.insert(args.end(), step.args.begin(), step.args.end());
        const testing::Result result = Tool(args);
        ASSERT_EQ(result.code, 0) << result.err;
        step.model(editor);
        OpenedProject written;
        ASSERT_TRUE(written.Open(project).empty());
        EXPECT_EQ(Clips(written.Model().Project()), Clips(m.Project()));
    }
}

// Misuse is told and changes nothing; a refused edit leaves the file as it was.
TEST(Compose, RefusalsLeaveTheFileAsItWas) {
    tavrel::testing::TempDir dir;
    const std::string project = dir / "p.tvp";
    ASSERT_EQ(Tool({"compose", project, "add", kMotion + "Locomotion/walk.cha"}).code, 0);
    const std::string before = tavrel::testing::ReadBytes(project);
    const struct {
        Args args;
        int code;
    } cases[] = {
        {{"compose", project}, kExitUsage},
        {{"compose", project, "dance", "1"}, kExitUsage},
        {{"compose", project, "move", "2", "10"}, kExitUsage},
        {{"compose", project, "move", "1", "x"}, kExitUsage},
        {{"compose", project, "curve", "1", "Wobbly"}, kExitUsage},
        {{"compose", project, "add"}, kExitUsage},
        {{"compose", project, "add", kMotion + "Gestures/wave.cha", "--at", "5"}, kExitFailed},
        {{"compose", project, "add", dir / "gone.cha"}, kExitFailed},
        {{"compose", project, "match", "1"}, kExitFailed},
        {{"compose", project, "speed", "1", "fast"}, kExitUsage},
        {{"compose", project, "speed", "1", "none"}, kExitFailed},  // it has no curve
    };
    for (const auto& c : cases) {
        const testing::Result result = Tool(c.args);
        EXPECT_EQ(result.code, c.code) << c.args.back() << ": " << result.err;
        EXPECT_FALSE(result.err.empty());
        EXPECT_EQ(tavrel::testing::ReadBytes(project), before) << c.args.back();
    }
}

}  // namespace
}  // namespace tavrel::cli
