#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

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

std::vector<int> IdsOf(const std::vector<Message>& messages) {
    std::vector<int> ids;
    for (const Message& m : messages) ids.push_back(m.id);
    return ids;
}

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
    // Inertial (4) is the newest curve; any number past it reads as "Curve", as it always did.
    for (const auto& [stored, read] : {std::pair{-2, 0u}, {4, 4u}, {5, 3u}, {99, 3u}}) {
        const auto result = Read("D,x\n1\nM,0,29,5,5,0," + std::to_string(stored) +
                                 ",walk.cha,0,29,0,0,0,*\n" + kTail);
        EXPECT_EQ(result.project.motionClips.begin()->curveType, read) << stored;
    }
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
    // Each names its file and says why, as the gallery's tooltip does.
    const std::vector<std::string> files = {"broken.cha", "gone.cha", "gone.bmp", "gone.wav"};
    for (size_t i = 0; i < result.messages.size(); ++i) {
        const std::string text = result.messages[i].Text(CStringTable::BuiltIn().Lookup());
        EXPECT_NE(text.find(files[i]), std::string::npos) << text;
        EXPECT_EQ(text.find('%'), std::string::npos) << text;
        EXPECT_NE(text.find('('), std::string::npos) << text;
    }
    EXPECT_EQ(result.project.motionClips.Count(), 1);
    EXPECT_EQ(result.project.mediaClips.Count(), 1);
    EXPECT_EQ(result.project.mediaClips.begin()->header, MediaClip::kHeaderVideo);
    EXPECT_EQ(result.project.soundFile, "");
    EXPECT_EQ(result.project.complete, 1);
}

// Names reaching outside the project's folder bring nothing in, however they get there; links
// and ".." that stay inside still work.
TEST_F(ProjectFile, NamesCannotLeaveTheProjectFolder) {
    temp.Write("secret.cha", "frames 30\n");
    temp.Write("secret.bmp", "BM secret");
    std::filesystem::create_symlink(temp / "secret.cha", temp / "proj/out.cha");
    std::filesystem::create_symlink(temp / "proj", temp / "proj/sub/up");
    std::filesystem::create_symlink(temp / "proj/walk.cha", temp / "proj/in.cha");
    const auto clip = [](int first, const std::string& name) {
        return "M," + std::to_string(first) + "," + std::to_string(first + 9) + ",1,1,0,0," + name +
               ",0,9,0,0,0,*\n";
    };
    const auto result =
        Read("D,x\n7\n" + clip(0, "../secret.cha") + clip(20, temp / "secret.cha") +
             clip(40, "sub\\..\\..\\secret.cha") + clip(60, "out.cha") + clip(80, "in.cha") +
             clip(100, "sub/up/walk.cha") + clip(120, "sub/../walk.cha") +
             "2\nI,200,200,../secret.bmp\nA,210,220,still.bmp\nS,/proc/self/environ\nI,1\n");
    EXPECT_EQ(IdsOf(result.messages),
              (std::vector<int>{strings::kMotionFileUnusable, strings::kMotionFileUnusable,
                                strings::kMotionFileUnusable, strings::kMotionFileUnusable,
                                strings::kMediaFileUnusable, strings::kSoundLoadFailed}));
    EXPECT_EQ(result.project.motionClips.Count(), 3);
    EXPECT_EQ(result.project.mediaClips.Count(), 1);
    EXPECT_EQ(result.project.complete, 1);
    for (const auto& entry : std::filesystem::directory_iterator(wd->Path())) {
        EXPECT_NE(ReadFile(entry.path()), "BM secret") << entry.path();
        EXPECT_EQ(entry.path().filename().string().find("secret"), std::string::npos);
    }
}

TEST_F(ProjectFile, AProjectWithoutMotionClipsReadsCompletely) {
    const auto result = Read("D,empty\n0\n0\nS,none\nI,3\n");
    EXPECT_TRUE(result.messages.empty());
    EXPECT_EQ(result.project.complete, 1);
    EXPECT_EQ(result.project.closingValue, 3);
    EXPECT_EQ(result.project.motionClips.Count(), 0);
    EXPECT_EQ(Read("D,x\n0\n" + kTail).project.mediaClips.Count(), 1);
}

TEST_F(ProjectFile, LinesAreLimitedWhileTheyAreRead) {
    // The blanks around a number pad the line to exactly the limit, and one beyond it.
    const std::string start = "M,0,29,5,5,0,1,walk.cha,0,29,1,2,";
    const auto clipLine = [&](size_t length) {
        return start + std::string(length - start.size() - 3, ' ') + "3,*";
    };
    ASSERT_EQ(clipLine(383).size(), 383u);
    for (const char* end : {"\n", "\r\n"}) {
        const auto fits = Read("D,x\n1\n" + clipLine(383) + end + kTail);
        EXPECT_TRUE(fits.messages.empty()) << std::strlen(end);
        EXPECT_EQ(fits.project.complete, 1);
    }
    EXPECT_EQ(FirstMessage("D,x\n1\n" + clipLine(384) + "\n" + kTail),
              strings::kProjectBadClipLine);
}

// Bytes this process has read through system calls so far (-1 where the system does not say).
long long BytesReadByProcess() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return -1;
}

TEST_F(ProjectFile, ALineWithoutEndIsNotReadToItsEnd) {
    const std::string endless = temp.Write("proj/endless.tvp", "D," + std::string(4 << 20, 'x'));
    const std::string counted = temp.Write("proj/counted.tvp", "D,x\n" + std::string(4 << 20, '1'));
    const long long before = BytesReadByProcess();
    EXPECT_EQ(IdsOf(CProjectFileReader(*wd, motion).Read(endless).messages),
              std::vector<int>{strings::kProjectBadHeader});
    EXPECT_EQ(IdsOf(CProjectFileReader(*wd, motion).Read(counted).messages),
              std::vector<int>{strings::kProjectBadMotionCount});
    if (before >= 0) {
        EXPECT_LT(BytesReadByProcess() - before, 1 << 20);
    }
    // A device without end stops at the first line as well.
    const auto zero = CProjectFileReader(*wd, motion).Read("/dev/zero");
    EXPECT_EQ(IdsOf(zero.messages), std::vector<int>{strings::kProjectBadHeader});
}

TEST_F(ProjectFile, NamesWithControlBytesStopTheReadAtTheirLine) {
    // A NUL cuts the name short where the file system sees it: it would name the folder.
    const std::string nul(1, '\0');
    const std::string fuzzed = "D,x\n1\nM,0,1,0,0,0,0," + nul + ",0,1,0,0,0,*\n";
    ASSERT_EQ(fuzzed.size(), 34u);
    const auto result = Read(fuzzed);
    EXPECT_EQ(IdsOf(result.messages), std::vector<int>{strings::kProjectBadClipLine});
    EXPECT_EQ(result.project.complete, 0);
    EXPECT_TRUE(std::filesystem::is_empty(wd->Path()));

    const std::string head = "D,x\n1\n" + kClip;
    EXPECT_EQ(FirstMessage("D,x\n1\nM,0,29,5,5,0,1,walk.cha" + nul + "x,0,29,1,2,3,*\n"),
              strings::kProjectBadClipLine);
    EXPECT_EQ(FirstMessage("D,x\n1\nM,0,29,5,5,1,1,walk.cha,0,29,1,2,3,sub/\trun.chb\n"),
              strings::kProjectBadClipLine);
    EXPECT_EQ(FirstMessage(head + "1\nI,1,1,still\x01.bmp\nS,none\nI,0\n"),
              strings::kProjectBadMediaLine);
    EXPECT_EQ(FirstMessage(head + "0\nS,tune\x7f.wav\nI,0\n"), strings::kProjectBadSoundLine);
    EXPECT_EQ(FirstMessage(head + "0\nS,tune.wav" + nul + "\nI,0\n"),
              strings::kProjectBadSoundLine);
}

TEST_F(ProjectFile, HtrClipsAndSourcesAreConvertedLikeInsertedOnes) {
    temp.Write("proj/jump.htr", "frames 12\n");
    temp.Write("proj/JUMP2.HTR", "frames 24\n");
    const auto result =
        Read("D,x\n1\nM,0,23,3,3,1,0,JUMP2.HTR,0,11,0,0,0,jump.htr\n0\nS,none\nI,0\n");
    ASSERT_TRUE(result.messages.empty());
    const MotionClip clip = *result.project.motionClips.begin();
    EXPECT_EQ(clip.fileName, wd->Path() + "/JUMP2.chb");
    EXPECT_EQ(clip.sourceFileName, wd->Path() + "/jump.chb");
    EXPECT_EQ(ReadFile(clip.fileName).rfind("frames 24\nconverted", 0), 0u);
    EXPECT_EQ(motion.FrameCount(clip.sourceFileName), 12);
    // An HTR file that cannot be read leaves its clip out, as a copy that fails does.
    temp.Write("proj/bad.htr", "no motion");
    EXPECT_EQ(FirstMessage("D,x\n1\nM,0,9,1,1,0,0,bad.htr,0,9,0,0,0,*\n" + kTail),
              strings::kMotionFileUnusable);
}

TEST_F(ProjectFile, TransitionsAreLimitedToTheirClip) {
    const auto result = Read("D,x\n2\nM,0,9,50,-3,0,0,walk.cha,0,9,0,0,0,*\n" +
                             std::string("P,20,20,5,10,0,0,walk.cha,0,0,0,0,0,*\n") + kTail);
    ASSERT_EQ(result.project.motionClips.Count(), 2);
    const MotionClip pose = *result.project.motionClips.begin();
    const MotionClip clip = *std::next(result.project.motionClips.begin());
    EXPECT_EQ(clip.transitionIn, 10);
    EXPECT_EQ(clip.transitionOut, 0);
    EXPECT_EQ(pose.transitionIn, 1);
    EXPECT_EQ(pose.transitionOut, 1);
    EXPECT_EQ(FirstMessage("D,x\n1\nM,0,9,10,10,0,0,walk.cha,0,9,0,0,0,*\n" + kTail), 0);
}

TEST_F(ProjectFile, ClipsInsideOthersAreLeftOutAndTheReadGoesOn) {
    const auto clip = [](int first, int last, const std::string& file = "walk.cha") {
        return "M," + std::to_string(first) + "," + std::to_string(last) + ",1,1,0,0," + file +
               ",0,0,0,0,0,*\n";
    };
    const auto result = Read("D,x\n8\n" + clip(0, 29) + clip(10, 19, "sub/run.chb") + clip(20, 49) +
                             "P,25,25,1,1,0,0,walk.cha,0,0,0,0,0,*\n" + clip(100, 109) +
                             clip(200, 209) + clip(195, 215) + clip(0, 40) + kTail);
    ASSERT_EQ(IdsOf(result.messages), std::vector<int>(4, strings::kProjectClipMisplaced));
    EXPECT_EQ(result.messages[0].values.at(0).second, "sub/run.chb");
    EXPECT_EQ(result.project.complete, 1);
    std::vector<std::pair<int, int>> ranges;
    for (const MotionClip& c : result.project.motionClips) {
        ranges.emplace_back(c.firstFrame, c.lastFrame);
    }
    // Cross-fades are kept; the clip that would sit inside (or around) another is not.
    EXPECT_EQ(ranges,
              (std::vector<std::pair<int, int>>{{200, 209}, {100, 109}, {20, 49}, {0, 29}}));
}

TEST_F(ProjectFile, MediaClipsOverAnotherAreLeftOut) {
    const auto result = Read("D,x\n0\n4\nA,10,20,still.bmp\nI,20,20,tune.wav\nA,0,9,sub/run.chb\n" +
                             std::string("A,5,30,still.bmp\nS,none\nI,0\n"));
    ASSERT_EQ(IdsOf(result.messages), std::vector<int>(2, strings::kProjectMediaOverlap));
    EXPECT_EQ(result.messages[0].values.at(0).second, "tune.wav");
    EXPECT_EQ(result.project.mediaClips.Count(), 2);
    EXPECT_EQ(result.project.complete, 1);
}

TEST_F(ProjectFile, AStretchedClipWithoutSourceIsReadAsUnstretched) {
    const auto result = Read("D,x\n2\nM,0,29,5,5,1,1,walk.cha,0,29,0,0,0,*\n" +
                             std::string("M,40,69,5,5,1,1,walk.cha,0,29,0,0,0,walk.cha\n") + kTail);
    ASSERT_EQ(result.project.motionClips.Count(), 2);
    EXPECT_EQ(result.project.motionClips.begin()->stretched, 1);
    EXPECT_EQ(std::next(result.project.motionClips.begin())->stretched, 0);
}

}  // namespace
}  // namespace tavrel
