#include <gtest/gtest.h>

#include <sstream>

#include "../motion/MotionFiles.h"
#include "ToolRun.h"
#include "cli/Commands.h"
#include "cli/ProjectCommands.h"

namespace tavrel::cli {
namespace {

using tavrel::testing::TempDir;
using tavrel::testing::WriteStandardMotion;
using tavrel::testing::WriteText;

using testing::Result;
using testing::Tool;

class ProjectCommands : public ::testing::Test {
protected:
    ProjectCommands() {
        WriteStandardMotion(dir / "a.chb", 30);
        WriteStandardMotion(dir / "b.cha", 30);
        WriteText(dir / "still.bmp", "BM");
        WriteText(
            dir / "p.tvp",
            "D,demo\n2\nM,0,29,5,5,0,2,a.chb,0,29,0,0,0,*\nM,30,59,5,5,0,0,b.cha,0,29,1,2,3,*\n"
            "1\nI,40,40,still.bmp\nS,none\nI,0\n");
    }
    TempDir dir;
};

TEST_F(ProjectCommands, ProjectListsClipsMediaAndSound) {
    const Result text = Tool({"project", dir / "p.tvp"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(
        text.out,
        "clips: 2\n"
        "clip 0 29 file a.chb source - stretched 0 in 5 out 5 curve 2 offset 0 0 0 range 0 29\n"
        "clip 30 59 file b.cha source - stretched 0 in 5 out 5 curve 0 offset 1 2 3 range 0 29\n"
        "media: 1\nmedia 40 40 image still.bmp\nsound: none\nlayers: 0\n");
    const Result json = Tool({"project", dir / "p.tvp", "--json"});
    ASSERT_EQ(json.code, 0);
    EXPECT_NE(json.out.find(R"({"clips":[{"fileName":"a.chb","sourceFileName":"","firstFrame":0,)"),
              std::string::npos);
    EXPECT_NE(json.out.find(R"("mediaClips":[{"kind":"image","firstFrame":40,"lastFrame":40,)"
                            R"("fileName":"still.bmp"}],"sound":null,"layers":[]})"),
              std::string::npos);
}

TEST_F(ProjectCommands, ProjectListsLayers) {
    WriteText(dir / "layered.tvp",
              "D,demo\n1\nM,0,29,5,5,0,2,a.chb,0,29,0,0,0,*\n0\nS,none\nI,0\n"
              "Layers,2\nT,1\nC,O,3,32,0.5,2,4,1,upper,b.cha,0\n"
              "T,1\nC,K,0,40,1,0,0,0,LHand+Head,*,1\nK,Head,7,1,0,0,0\n");
    const Result text = Tool({"project", dir / "layered.tvp"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("sound: none\nlayers: 2\nlayer 1 clips: 1\n"
                            "layerclip 3 32 override weight 0.5 ease 2 4 curve 1 mask upper "
                            "file b.cha keys 0\nlayer 2 clips: 1\n"
                            "layerclip 0 40 keys weight 1 ease 0 0 curve 0 mask LHand+Head file - "
                            "keys 1\n"),
              std::string::npos)
        << text.out;
    const Result json = Tool({"project", dir / "layered.tvp", "--json"});
    ASSERT_EQ(json.code, 0);
    EXPECT_NE(json.out.find(R"("layers":[{"clips":[{"kind":"override","firstFrame":3,)"
                            R"("lastFrame":32,"weight":0.5,"easeIn":2,"easeOut":4,"curve":1,)"
                            R"("mask":"upper","fileName":"b.cha","keys":[]}]},{"clips":[{)"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find(R"("keys":[{"segment":"Head","frame":7,"turn":[1,0,0,0]}]}]}]})"),
              std::string::npos)
        << json.out;
}

TEST_F(ProjectCommands, SampleGivesTheFrameSampleOfEachFrame) {
    const Result text = Tool({"sample", dir / "p.tvp", "27", "40"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_EQ(text.out,
              "frame 27 clip a.chb A a.chb 27 B b.cha 0 weight 0.222222 curve 2 media - -1\n"
              "frame 40 clip b.cha A b.cha 10 B - -1 weight 0 curve 0 media still.bmp -1\n");
    const Result json = Tool({"sample", dir / "p.tvp", "32", "--json"});
    ASSERT_EQ(json.code, 0);
    EXPECT_EQ(json.out.rfind(R"([{"frame":32,"clipFile":"b.cha","fileA":"a.chb","localA":29,)"
                             R"("fileB":"b.cha","localB":2,)",
                             0),
              0u);
    EXPECT_NE(json.out.find(R"("curve":2,"mediaFile":"","mediaFrame":-1}])"), std::string::npos);
}

TEST_F(ProjectCommands, FailuresAndUsage) {
    WriteText(dir / "bad.tvp", "D,demo\n1\nM,0,29,5,5,0,2,a.chb,0,29,0,0,0\n");
    const Result bad = Tool({"project", dir / "bad.tvp"});
    EXPECT_EQ(bad.code, kExitFailed);
    EXPECT_NE(bad.err.find("clip line that cannot be read"), std::string::npos);
    EXPECT_EQ(Tool({"project"}).code, kExitUsage);
    EXPECT_EQ(Tool({"project", dir / "p.tvp", "--wat"}).code, kExitUsage);
    EXPECT_EQ(Tool({"sample", dir / "p.tvp"}).code, kExitUsage);
    EXPECT_EQ(Tool({"sample", dir / "p.tvp", "x"}).code, kExitUsage);
    // The tool's working directory goes away with it; the user's files stay as they were.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);
}

}  // namespace
}  // namespace tavrel::cli
