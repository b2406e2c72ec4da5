#include <gtest/gtest.h>

#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "tests/support/TempFolder.h"
#include "tests/timeline/FakeMotionSide.h"
#include "timeline/ProjectFileReader.h"

namespace tavrel {
namespace {

using testing::ReadFile;
using testing::TempFolder;

class ProjectFile : public ::testing::Test {
protected:
    ProjectFile() {
        wd = CWorkingDirectory::Create(temp.Path(), CStringTable::BuiltIn().Lookup(), nullptr);
        temp.Write("proj/walk.cha", "frames 30\n");
        temp.Write("proj/sub/run.chb", "frames 20\n");
        temp.Write("proj/broken.cha", "not a motion\n");
        temp.Write("proj/still.bmp", "BM");
        temp.Write("proj/tune.wav", "RIFF");
    }

    ProjectReadResult Read(const std::string& text) {
        return CProjectFileReader(*wd, motion).Read(temp.Write("proj/p.tvp", text));
    }
    // The first message's identifier, or 0.
    int FirstMessage(const std::string& text) {
        const ProjectReadResult result = Read(text);
        return result.messages.empty() ? 0 : result.messages[0].id;
    }

    TempFolder temp;
    std::optional<CWorkingDirectory> wd;
    testing::FakeMotionSide motion;
};

const std::string kClip = "M,0,29,5,5,0,1,walk.cha,0,29,1,2,3,*\n";
const std::string kTail = "1\nI,40,40,still.bmp\nS,tune.wav\nI,7\n";

TEST_F(ProjectFile, ReadsEveryKindOfLine) {
    const ProjectReadResult result =
        Read("D,Dance\r\n3\r\n" + kClip + "P,40,99,1,1,1,2,sub\\run.chb,5,9,0,0,0,walk.cha\n" +
             "M,-4,10,-1,3,7,7,walk.cha,0,10,0,0,0,sub/run.chb\n" + kTail);
    EXPECT_TRUE(result.messages.empty());
    const CTimelineProject& p = result.project;
    EXPECT_EQ(p.complete, 1);
    EXPECT_EQ(p.headerText, "Dance");
    EXPECT_EQ(p.dataFolder, temp / "proj");
    EXPECT_EQ(p.closingValue, 7);
    ASSERT_EQ(p.motionClips.Count(), 3);
    auto it = p.motionClips.begin();
    const MotionClip pose = *it++;
    EXPECT_EQ(std::make_pair(pose.firstFrame, pose.lastFrame), std::make_pair(40, 40));
    EXPECT_EQ(pose.fileName, wd->Path() + "/run.chb");
    EXPECT_EQ(pose.stretched, 0);
    EXPECT_EQ(pose.sourceFileName, "");
    EXPECT_EQ(pose.sourceLast, 0);
    const MotionClip walk = *it++;
    EXPECT_EQ(walk.curveType, 1u);
    EXPECT_EQ(walk.offset, (std::array<int32_t, 3>{1, 2, 3}));
    const MotionClip early = *it;
    EXPECT_EQ(early.firstFrame, 0);
    EXPECT_EQ(early.transitionIn, 0);
    EXPECT_EQ(early.stretched, 1);
    EXPECT_EQ(early.curveType, 3u);
    EXPECT_EQ(early.sourceFileName, wd->Path() + "/run_1.chb");
    EXPECT_EQ(p.mediaClips.begin()->fileName, wd->Path() + "/still.bmp");
    EXPECT_EQ(p.soundFile, wd->Path() + "/tune.wav");
    EXPECT_EQ(ReadFile(temp / "proj/walk.cha"), "frames 30\n");
}

TEST_F(ProjectFile, CurveTypesAreClamped) {
    const auto result = Read("D,x\n1\nM,0,29,5,5,0,-2,walk.cha,0,29,0,0,0,*\n" + kTail);
    EXPECT_EQ(result.project.motionClips.begin()->curveType, 0u);
}

TEST_F(ProjectFile, EachBrokenRuleStopsTheReadWithItsMessage) {
    const std::string head = "D,x\n1\n";
    const struct {
        std::string text;
        int message;
    } cases[] = {
        {"", strings::kProjectBadHeader},
        {"X,x\n", strings::kProjectBadHeader},
        {"D\n", strings::kProjectBadHeader},
        {"D,x\n-1\n", strings::kProjectBadMotionCount},
        {"D,x\nmany\n", strings::kProjectBadMotionCount},
        {head, strings::kProjectBadClipLine},
        {head + "M,0,29,5,5,0,1,walk.cha,0,29,1,2,3\n", strings::kProjectBadClipLine},
        {head + "M,0,29,5,5,0,1,walk.cha,0,29,1,2,3,*,*\n", strings::kProjectBadClipLine},
        {head + "M,0,29,5,5,0,1,walk.cha,,0,29,1,2,*\n", strings::kProjectBadClipLine},
        {head + ",M,0,29,5,5,0,1,walk.cha,0,29,1,2,3\n", strings::kProjectBadClipLine},
        {head + "Q,0,29,5,5,0,1,walk.cha,0,29,1,2,3,*\n", strings::kProjectBadClipLine},
        {head + "M,0,2x,5,5,0,1,walk.cha,0,29,1,2,3,*\n", strings::kProjectBadClipLine},
        {head + "M,30,29,5,5,0,1,walk.cha,0,29,1,2,3,*\n", strings::kProjectBadClipLine},
        {head + "M,0,29,5,5,0,1," + std::string(380, 'w') + ",0,29,1,2,3,*\n",
         strings::kProjectBadClipLine},
        {head + kClip, strings::kProjectBadMediaLine},
        {head + kClip + "-1\n", strings::kProjectBadMediaCount},
        {head + kClip + "1\nV,1,1,still.bmp\n", strings::kProjectBadMediaLine},
        {head + kClip + "1\nA,9,1,still.bmp\n", strings::kProjectBadMediaLine},
        {head + kClip + "0\n", strings::kProjectBadSoundLine},
        {head + kClip + "0\nS,a,b\n", strings::kProjectBadSoundLine},
        {head + kClip + "0\nS,none\n", strings::kProjectBadLastLine},
        {head + kClip + "0\nS,none\nI,\n", strings::kProjectBadLastLine},
        {head + kClip + "0\nS,none\nI,x\n", strings::kProjectBadLastLine},
    };
    for (const auto& c : cases) {
        const ProjectReadResult result = Read(c.text);
        ASSERT_EQ(result.messages.size(), 1u) << c.text;
        EXPECT_EQ(result.messages[0].id, c.message) << c.text;
        EXPECT_EQ(result.project.complete, 0);
    }
    // What was read before the bad line is kept.
    EXPECT_EQ(Read(head + kClip + "0\n").project.motionClips.Count(), 1);
}

TEST_F(ProjectFile, UnusableFilesLeaveTheirClipOutAndTheReadGoesOn) {
    const auto result = Read("D,x\n3\n" + kClip + "M,40,49,1,1,0,0,broken.cha,0,9,0,0,0,*\n" +
                             "M,60,69,1,1,1,0,walk.cha,0,9,0,0,0,gone.cha\n" +
                             "2\nI,40,40,gone.bmp\nA,50,60,still.bmp\nS,gone.wav\nI,1\n");
    std::vector<int> ids;
    for (const Message& m : result.messages) ids.push_back(m.id);
    EXPECT_EQ(ids, (std::vector<int>{strings::kMotionFileUnusable, strings::kMotionFileUnusable,
                                     strings::kMediaFileUnusable, strings::kSoundLoadFailed}));
    EXPECT_EQ(result.project.motionClips.Count(), 1);
    EXPECT_EQ(result.project.mediaClips.Count(), 1);
    EXPECT_EQ(result.project.mediaClips.begin()->header, MediaClip::kHeaderVideo);
    EXPECT_EQ(result.project.soundFile, "");
    EXPECT_EQ(result.project.complete, 1);
}

}  // namespace
}  // namespace tavrel
