#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "../motion/MotionFiles.h"
#include "ToolRun.h"
#include "cli/Commands.h"
#include "tests/support/ColladaWriter.h"
#include "tests/support/WalkingCapture.h"

namespace tavrel::cli {
namespace {

using tavrel::testing::ReadBytes;
using tavrel::testing::TempDir;
using tavrel::testing::WriteStandardMotion;

using testing::Has;
using testing::Result;
using testing::Tool;

TEST(Cli, HelpAndUsageErrors) {
    EXPECT_EQ(Tool({"--help"}).code, 0);
    EXPECT_TRUE(Has(Tool({"--help"}).out, "convert IN OUT"));
    EXPECT_EQ(Tool({}).code, kExitUsage);
    EXPECT_EQ(Tool({"dance"}).code, kExitUsage);
    EXPECT_EQ(Tool({"info"}).code, kExitUsage);
    EXPECT_EQ(Tool({"pose", "x.cha"}).code, kExitUsage);
    EXPECT_EQ(Tool({"edit", "reverse", "x.cha"}).code, kExitUsage);
    EXPECT_EQ(Tool({"info", "x.cha", "--wat"}).code, kExitUsage);
}

TEST(Cli, InfoTextAndJson) {
    TempDir dir;
    WriteStandardMotion(dir / "walk.chb", 12);
    Result text = Tool({"info", dir / "walk.chb"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_TRUE(
        Has(text.out, "type: CHB\nframeRate: 30\nbeginFrame: 0\nendFrame: 11\nframeCount: 12\n"));
    EXPECT_TRUE(Has(text.out, "segment 0 LowerTorso parent - length 173.615\n"));
    EXPECT_TRUE(Has(text.out, "segment 19 Head parent Neck length 587.420\n"));
    Result json = Tool({"info", dir / "walk.chb", "--json"});
    ASSERT_EQ(json.code, 0);
    EXPECT_TRUE(Has(json.out, R"({"type":"CHB","frameRate":30,"beginFrame":0,"endFrame":11,)"
                              R"("frameCount":12,"segments":[{"index":0,"name":"LowerTorso",)"
                              R"("parent":null,"length":173.615005})"));
    EXPECT_TRUE(Has(json.out, R"({"index":1,"name":"UpperTorso","parent":"LowerTorso",)"));
}

// The best point of a motion against itself is where it meets itself; text and JSON agree; a
// file that cannot be read or a foreign skeleton is refused with the reason.
TEST(Cli, MatchFindsWhereOneMotionShouldBlendIntoTheNext) {
    const std::string wave = std::string(TAVREL_SHARE_DIR) + "/Motion/Gestures/wave.cha";
    const Result text = Tool({"match", wave, wave});
    ASSERT_EQ(text.code, 0) << text.err;
    int outgoing = -1, incoming = -1, overlap = 0;
    float distance = -1.0f;
    ASSERT_EQ(std::sscanf(text.out.c_str(), "outgoing %d incoming %d overlap %d distance %f",
                          &outgoing, &incoming, &overlap, &distance),
              4)
        << text.out;
    EXPECT_EQ(outgoing, incoming);
    EXPECT_LT(distance, 0.01f);
    const Result json = Tool({"match", wave, wave, "--json"});
    EXPECT_TRUE(Has(json.out, "{\"outgoing\":" + std::to_string(outgoing) +
                                  ",\"incoming\":" + std::to_string(incoming) +
                                  ",\"overlap\":" + std::to_string(overlap)))
        << json.out;
    TempDir dir;
    tavrel::testing::WriteText(dir / "legless.cha", tavrel::testing::kThreeSegmentCha);
    EXPECT_EQ(Tool({"match", wave}).code, kExitUsage);
    for (const std::string& bad : {dir / "gone.cha", dir / "legless.cha"}) {
        const Result refused = Tool({"match", wave, bad});
        EXPECT_EQ(refused.code, kExitFailed);
        EXPECT_TRUE(Has(refused.err, "error: ")) << refused.err;
    }
}

TEST(Cli, ContactsListEachFootsPlantsAsTextAndJson) {
    const std::string walk = std::string(TAVREL_SHARE_DIR) + "/Motion/Locomotion/walk.cha";
    const Result text = Tool({"contacts", walk});
    ASSERT_EQ(text.code, 0) << text.err;
    // Three left stances and the right one the motion starts in.
    EXPECT_TRUE(Has(text.out, "frameCount: 198\nleft ")) << text.out;
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 1 + 3 + 4) << text.out;
    EXPECT_TRUE(Has(text.out, "\nright 0 ")) << text.out;
    const Result json = Tool({"contacts", walk, "--json"});
    ASSERT_EQ(json.code, 0);
    EXPECT_TRUE(Has(json.out, R"({"frameCount":198,"left":[{"first":)")) << json.out;
    EXPECT_TRUE(Has(json.out, R"(],"right":[{"first":0,"last":)")) << json.out;
    EXPECT_EQ(Tool({"contacts"}).code, kExitUsage);
    EXPECT_EQ(Tool({"contacts", walk, "--wat"}).code, kExitUsage);
    // A capture of another skeleton is planted too, frame for frame at its own rate: its four
    // seconds hold four stances of each foot (the first right one begun before it starts).
    const TempDir dir;
    const std::string capture = dir / "capture.bvh";
    std::ofstream(capture) << tavrel::testing::WalkingCaptureBvh({});
    const Result mapped = Tool({"contacts", capture});
    ASSERT_EQ(mapped.code, 0) << mapped.err;
    EXPECT_TRUE(Has(mapped.out, "frameCount: 480\nleft ")) << mapped.out;
    EXPECT_EQ(std::count(mapped.out.begin(), mapped.out.end(), '\n'), 1 + 4 + 5) << mapped.out;
}

TEST(Cli, InfoReportsTheReadersError) {
    TempDir dir;
    tavrel::testing::WriteText(dir / "old.cha", "[HEADER]\nVersionNumber 720\n");
    Result r = Tool({"info", dir / "old.cha"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "code 6: File reader is expired!")) << r.err;
    r = Tool({"info", dir / "missing.chb"});
    EXPECT_TRUE(Has(r.err, "code 1: File not found !")) << r.err;
    tavrel::testing::WriteText(dir / "cut.cha", "[HEADER]\nVersionNumber 721\nDataFrameRate 30\n");
    r = Tool({"info", dir / "cut.cha"});
    EXPECT_TRUE(Has(r.err, "code 2: File is corrupted!: at Ln:3")) << r.err;
    EXPECT_EQ(Tool({"info", dir / "notes.txt"}).code, kExitFailed);
}

TEST(Cli, ConvertKeepsTheSkeletonAndNeverTouchesTheInput) {
    TempDir dir;
    tavrel::testing::WriteText(dir / "three.cha", tavrel::testing::kThreeSegmentCha);
    const std::string before = ReadBytes(dir / "three.cha");
    ASSERT_EQ(Tool({"convert", dir / "three.cha", dir / "three.chb"}).code, 0);
    Result info = Tool({"info", dir / "three.chb", "--json"});
    EXPECT_TRUE(Has(info.out, R"("name":"Head","parent":"Spine")")) << info.out;
    EXPECT_EQ(Tool({"convert", dir / "three.cha", dir / "three.cha"}).code, kExitFailed);
    EXPECT_EQ(Tool({"convert", dir / "three.cha", dir / "x.htr"}).code, kExitFailed);
    EXPECT_EQ(Tool({"convert", dir / "missing.cha", dir / "x.chb"}).code, kExitFailed);
    EXPECT_EQ(ReadBytes(dir / "three.cha"), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "x.chb"));
}

size_t FilesIn(const TempDir& dir) {
    return std::distance(std::filesystem::directory_iterator(dir.Path()), {});
}

// A convert that fails midway (frames cut short) leaves the file it would have replaced as it
// was, and no temporary file beside it.
TEST(Cli, AFailedConvertLeavesTheOldTargetWhole) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 40);
    ASSERT_EQ(Tool({"convert", dir / "m.chb", dir / "m.cha"}).code, 0);
    const std::string text = ReadBytes(dir / "m.cha");
    tavrel::testing::WriteText(dir / "cut.cha", text.substr(0, text.size() / 2));
    WriteStandardMotion(dir / "old.chb", 3);
    const std::string old = ReadBytes(dir / "old.chb");
    const Result r = Tool({"convert", dir / "cut.cha", dir / "old.chb"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "cut.cha")) << r.err;
    EXPECT_EQ(ReadBytes(dir / "old.chb"), old);
    EXPECT_EQ(FilesIn(dir), 4u);
    const Result nowhere = Tool({"convert", dir / "m.chb", dir / "gone/x.cha"});
    EXPECT_EQ(nowhere.code, kExitFailed);
    EXPECT_TRUE(Has(nowhere.err, "gone/x.cha: cannot be written")) << nowhere.err;
}

// BVH goes through info, convert and pose like the other formats; End Sites are no segments.
TEST(Cli, BvhFilesAreReadConvertedAndWritten) {
    TempDir dir;
    tavrel::testing::WriteText(
        dir / "a.bvh",
        "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
        " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
        " JOINT Spine\n {\n  OFFSET 0 10 0\n  CHANNELS 3 Xrotation Yrotation Zrotation\n"
        "  End Site\n  {\n   OFFSET 0 4 0\n  }\n }\n}\n"
        "MOTION\nFrames: 2\nFrame Time: 0.016667\n"
        "1 90 3 10 20 30 5 6 7\n2 91 4 11 21 31 8 9 10\n");
    Result info = Tool({"info", dir / "a.bvh"});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_TRUE(
        Has(info.out,
            "type: BVH\nframeRate: 60\nbeginFrame: 0\nendFrame: 1\nframeCount: 2\nsegments: 2\n"))
        << info.out;
    EXPECT_TRUE(Has(info.out, "segment 1 Spine parent Hips length 4.000\n"));
    const std::string pose = Tool({"pose", dir / "a.bvh", "--frame", "1"}).out;
    EXPECT_TRUE(Has(pose, "world 2.000 -4.000 91.000\n")) << pose;  // Y-up 90 is our Z
    ASSERT_EQ(Tool({"convert", dir / "a.bvh", dir / "a.chb"}).code, 0);
    ASSERT_EQ(Tool({"convert", dir / "a.chb", dir / "b.bvh"}).code, 0);
    EXPECT_EQ(Tool({"pose", dir / "b.bvh", "--frame", "1"}).out, pose);
    EXPECT_EQ(Tool({"convert", dir / "a.bvh", dir / "a.htr"}).code, kExitFailed);
    // Two joints make no figure: import says what is missing and writes nothing.
    Result import = Tool({"import", dir / "a.bvh", dir / "mapped.chb"});
    EXPECT_EQ(import.code, kExitFailed);
    EXPECT_TRUE(Has(import.err, "not a human figure: no joint found for LThigh, RThigh"))
        << import.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "mapped.chb"));
    EXPECT_EQ(Tool({"import", dir / "a.bvh", dir / "m.chb", "--fps", "24"}).code, kExitUsage);
}

TEST(Cli, PoseGivesMatricesQuaternionsAndWorldPositions) {
    TempDir dir;
    WriteStandardMotion(dir / "m.cha", 4);
    Result r = Tool({"pose", dir / "m.cha", "--frame", "2", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, R"({"frame":2,"segments":[{"name":"LowerTorso","local":[1,)"));
    EXPECT_TRUE(Has(r.out, R"("world":[2,-14.9239998,998.125977]})")) << r.out;
    Result text = Tool({"pose", dir / "m.cha", "--frame", "0"});
    EXPECT_TRUE(Has(text.out, "frame: 0\nLowerTorso local 1.000000")) << text.out;
    EXPECT_EQ(Tool({"pose", dir / "m.cha", "--frame", "9"}).code, kExitFailed);
    EXPECT_EQ(Tool({"pose", dir / "m.cha", "--frame", "two"}).code, kExitUsage);
}

TEST(Cli, EditWritesNewFilesOnly) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 10);
    const std::string before = ReadBytes(dir / "m.chb");
    EXPECT_EQ(Tool({"edit", "reverse", dir / "m.chb", dir / "r.chb"}).code, 0);
    EXPECT_EQ(Tool({"edit", "resample", "20", dir / "m.chb", dir / "s.cha"}).code, 0);
    EXPECT_EQ(Tool({"edit", "split", "4", dir / "m.chb", dir / "a.chb", dir / "b.chb"}).code, 0);
    EXPECT_EQ(Tool({"edit", "translate", "1", "0", "-2.5", dir / "m.chb", dir / "t.chb"}).code, 0);
    EXPECT_EQ(Tool({"edit", "rotate", "Head", "1", "0", "0", "0", dir / "m.chb", dir / "h.chb",
                    "--absolute"})
                  .code,
              0);
    EXPECT_EQ(Tool({"edit", "mirror", dir / "m.chb", dir / "mm.chb"}).code, 0);
    EXPECT_EQ(Tool({"edit", "repeat", dir / "m.chb", dir / "x3.chb", "3"}).code, 0);
    EXPECT_TRUE(Has(Tool({"info", dir / "s.cha"}).out, "frameCount: 20"));
    EXPECT_TRUE(Has(Tool({"info", dir / "b.chb"}).out, "frameCount: 6"));
    EXPECT_TRUE(Has(Tool({"info", dir / "x3.chb"}).out, "frameCount: 30"));
    EXPECT_EQ(Tool({"edit", "ease", dir / "m.chb", dir / "in.chb", "in"}).code, 0);
    EXPECT_TRUE(Has(Tool({"info", dir / "in.chb"}).out, "frameCount: 10"));
    EXPECT_NE(ReadBytes(dir / "in.chb"), ReadBytes(dir / "m.chb"));
    WriteStandardMotion(dir / "one.chb", 1);
    for (const auto& [curve, code] : {std::pair{"none", kExitUsage}, std::pair{"fast", kExitUsage},
                                      std::pair{"in", kExitFailed}}) {
        Result refused = Tool({"edit", "ease", dir / "one.chb", dir / "x.chb", curve});
        EXPECT_EQ(refused.code, code) << curve << refused.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "x.chb"));
    }
    for (const auto& [times, code] : {std::pair{"1", kExitUsage}, std::pair{"101", kExitUsage},
                                      std::pair{"two", kExitUsage}, std::pair{"2", kExitFailed}}) {
        Result refused = Tool({"edit", "repeat", dir / "one.chb", dir / "x.chb", times});
        EXPECT_EQ(refused.code, code) << times << refused.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "x.chb"));
    }
    // Refusals: an existing output, the input itself, a bad number, a missing segment.
    EXPECT_EQ(Tool({"edit", "reverse", dir / "m.chb", dir / "r.chb"}).code, kExitFailed);
    EXPECT_EQ(Tool({"edit", "reverse", dir / "m.chb", dir / "m.chb"}).code, kExitFailed);
    EXPECT_EQ(Tool({"edit", "resample", "x", dir / "m.chb", dir / "y.chb"}).code, kExitUsage);
    EXPECT_EQ(Tool({"edit", "split", "10", dir / "m.chb", dir / "c.chb", dir / "d.chb"}).code,
              kExitFailed);
    Result r = Tool({"edit", "rotate", "Tail", "1", "0", "0", "0", dir / "m.chb", dir / "z.chb"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "no segment named Tail"));
    EXPECT_FALSE(std::filesystem::exists(dir / "z.chb"));
    EXPECT_EQ(ReadBytes(dir / "m.chb"), before);
}

TEST(Cli, EditRefusesAForeignSkeletonClearly) {
    TempDir dir;
    tavrel::testing::WriteText(dir / "three.cha", tavrel::testing::kThreeSegmentCha);
    Result r = Tool({"edit", "reverse", dir / "three.cha", dir / "r.cha"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "standard skeleton")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "r.cha"));
}

// kThreeSegmentCha with one hierarchy line changed.
std::string ThreeSegments(const std::string& from, const std::string& to) {
    std::string text = tavrel::testing::kThreeSegmentCha;
    text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(Cli, EveryCommandRefusesAMotionWithoutARoot) {
    TempDir dir;
    tavrel::testing::WriteText(dir / "loose.cha", ThreeSegments("Hips\t\tGlobal", "Hips\t\tNone"));
    for (const Args& args :
         {Args{"info", dir / "loose.cha"}, Args{"pose", dir / "loose.cha", "--frame", "0"},
          Args{"contacts", dir / "loose.cha"},
          Args{"convert", dir / "loose.cha", dir / "out.chb"}}) {
        const Result r = Tool(args);
        EXPECT_EQ(r.code, kExitFailed) << args[0];
        EXPECT_TRUE(Has(r.err,
                        "code 2: File is corrupted!: No root: no hierarchy line has the "
                        "parent Global"))
            << r.err;
    }
    EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(Cli, PoseGivesTheWorldPositionsOfEveryRoot) {
    TempDir dir;
    // Head hangs from nothing as a second root; Hips stays a root with Spine below it.
    tavrel::testing::WriteText(dir / "two.cha", ThreeSegments("Head\t\tSpine", "Head\t\tGlobal"));
    const Result r = Tool({"pose", dir / "two.cha", "--frame", "1"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "world 5.000 0.000 90.000\nSpine")) << r.out;
    EXPECT_TRUE(Has(r.out, "world 5.000 10.000 90.000\nHead")) << r.out;
    EXPECT_TRUE(Has(r.out, "world 0.000 20.000 0.000\n")) << r.out;
}

TEST(Cli, DamagedFramesAreReportedByEveryCommandThatNeedsThem) {
    TempDir dir;
    WriteStandardMotion(dir / "cut.chb", 10);
    std::filesystem::resize_file(dir / "cut.chb", std::filesystem::file_size(dir / "cut.chb") - 50);
    // info needs the head only, so it reads only the head.
    EXPECT_TRUE(Has(Tool({"info", dir / "cut.chb"}).out, "frameCount: 10\n"));
    const std::string message = dir / "cut.chb" + ": code 2: File is corrupted!";
    for (const Args& args :
         {Args{"pose", dir / "cut.chb", "--frame", "9"}, Args{"contacts", dir / "cut.chb"},
          Args{"convert", dir / "cut.chb", dir / "out.chb"},
          Args{"edit", "reverse", dir / "cut.chb", dir / "r.chb"},
          Args{"edit", "split", "3", dir / "cut.chb", dir / "a.chb", dir / "b.chb"},
          Args{"edit", "rotate", "Head", "1", "0", "0", "0", dir / "cut.chb", dir / "h.chb"}}) {
        const Result r = Tool(args);
        EXPECT_EQ(r.code, kExitFailed) << args[0];
        EXPECT_TRUE(Has(r.err, message)) << r.err;
        EXPECT_EQ(FilesIn(dir), 1u) << args[0];  // no output, no temporary file
    }
    // A pose before the damage still reads.
    EXPECT_EQ(Tool({"pose", dir / "cut.chb", "--frame", "2"}).code, 0);
}

TEST(Cli, EditRefusesNumbersThatAreNoPositionOrRotationBeforeWriting) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 3);
    const std::string in = dir / "m.chb", out = dir / "o.chb";
    for (const Args& args :
         {Args{"edit", "rotate", "Head", "0", "0", "0", "0", in, out},
          Args{"edit", "rotate", "Head", "0", "0", "0", "0", in, out, "--absolute"},
          Args{"edit", "rotate", "Head", "nan", "0", "0", "1", in, out},
          Args{"edit", "rotate", "Head", "1", "inf", "0", "0", in, out, "--absolute"},
          Args{"edit", "rotate", "Head", "3e38", "3e38", "0", "0", in, out, "--absolute"},
          Args{"edit", "translate", "1", "-nan", "0", in, out},
          Args{"edit", "translate", "infinity", "0", "0", in, out, "--absolute"},
          Args{"edit", "translate", "1e39", "0", "0", in, out}}) {
        const Result r = Tool(args);
        EXPECT_EQ(r.code, kExitUsage) << args[1] << ' ' << args[3] << ' ' << args[4];
        EXPECT_TRUE(Has(r.err, "tavrel-cli edit: ")) << r.err;
    }
    EXPECT_EQ(FilesIn(dir), 1u);
    // A delta that cancels the rotation in some frame is refused by the motion, with a reason.
    ASSERT_EQ(
        Tool({"edit", "rotate", "Head", "1", "0", "0", "0", in, dir / "h.chb", "--absolute"}).code,
        0);
    const Result cancel = Tool({"edit", "rotate", "Head", "-1", "0", "0", "0", dir / "h.chb", out});
    EXPECT_EQ(cancel.code, kExitFailed);
    EXPECT_TRUE(Has(cancel.err, "leaves no rotation")) << cancel.err;
    EXPECT_EQ(FilesIn(dir), 2u);
}

TEST(Cli, EditSaysWhichOutputFailsAndLeavesNoPartOfASplit) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 6);
    const std::string missing = dir / "no/such/folder/b.chb";
    Result r = Tool({"edit", "split", "2", dir / "m.chb", dir / "a.chb", missing});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "error: " + missing + ": cannot be created: No such file or directory"))
        << r.err;
    EXPECT_EQ(FilesIn(dir), 1u);  // not even the first half
    r = Tool({"edit", "reverse", dir / "m.chb", dir / "gone/r.chb"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "gone/r.chb: cannot be created")) << r.err;
    ASSERT_EQ(Tool({"edit", "split", "2", dir / "m.chb", dir / "a.chb", dir / "b.cha"}).code, 0);
    EXPECT_TRUE(Has(Tool({"info", dir / "b.cha"}).out, "frameCount: 4\n"));
    EXPECT_EQ(FilesIn(dir), 3u);
}

TEST(Cli, TheBuiltToolExitsWithTheCommandsCode) {
    TempDir dir;
    WriteStandardMotion(dir / "m.cha", 2);
    const std::string tool = TAVREL_CLI_PATH;
    EXPECT_EQ(std::system((tool + " info " + (dir / "m.cha") + " >/dev/null").c_str()), 0);
    const int failed = std::system((tool + " info " + (dir / "none.cha") + " 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(failed), 1);
    // Drawing commands run in the drawing tool beside it, with the same arguments and codes.
    const std::string picture = dir / "m.png";
    EXPECT_EQ(std::system((tool + " render " + (dir / "m.cha") + " --size 32x32 -o " + picture +
                           " >/dev/null 2>&1")
                              .c_str()),
              0);
    EXPECT_TRUE(std::filesystem::exists(picture));
    const int usage = std::system((tool + " frame " + (dir / "m.cha") + " 2>/dev/null").c_str());
    EXPECT_EQ(WEXITSTATUS(usage), kExitUsage);
}

// Files that make the scene importer abort or crash: each is refused with the reason, the tool
// goes on to its own end, and nothing is written.
TEST(Cli, FilesTheImporterStopsOnAreRefusedAndTheToolEndsItself) {
    TempDir dir;
    for (const auto& entry : std::filesystem::directory_iterator(TAVREL_STOPS_DIR)) {
        const std::string file = entry.path().string();
        SCOPED_TRACE(file);
        for (const Args& args : {Args{"info", file}, Args{"import", file, dir / "out.chb"}}) {
            const Result r = Tool(args);
            EXPECT_EQ(r.code, kExitFailed);
            EXPECT_TRUE(Has(r.err, "the importer stopped on this file")) << r.err;
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "out.chb"));
    }
}

TEST(Cli, SceneFilesListTheirTakesAndImportTheOneNamed) {
    TempDir dir;
    tavrel::testing::SceneFigure figure;
    figure.takes = {{"Walk", 2.0}, {"Run", 1.0}};
    const std::string scene = dir / "figure.glb";
    ASSERT_TRUE(figure.Export(scene, "glb2"));
    const std::string collada = dir / "figure.dae";
    ASSERT_TRUE(tavrel::testing::ColladaWriter::Write(figure, collada, {}));
    Result r;
    for (const auto& [file, type] : {std::pair{scene, "GLB"}, std::pair{collada, "DAE"}}) {
        r = Tool({"info", file});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, std::string("type: ") + type + "\ntakes: 2\ntake 2.000 Walk\ntake 1.000 Run\n");
        r = Tool({"info", file, "--json"});
        EXPECT_TRUE(Has(r.out, std::string(R"({"type":")") + type +
                                   R"(","takes":[{"name":"Walk","seconds":2},)"))
            << r.out;

        // take, frames a second, frames: the first take when none is named, the source's rate
        const std::tuple<Args, const char*, const char*> imports[] = {
            {{}, "take: Walk\n", "frameRate: 60\nbeginFrame: 0\nendFrame: 120\n"},
            {{"--take", "Run", "--fps", "30"}, "take: Run\n", "frameRate: 30\nbeginFrame: 0\nendFrame: 30\n"},
        };
        for (const auto& [options, take, frames] : imports) {
            Args args{"import", file, dir / "out.chb"};
            args.insert(args.end(), options.begin(), options.end());
            r = Tool(args);
            ASSERT_EQ(r.code, 0) << r.err;
            EXPECT_TRUE(Has(r.out, take)) << r.out;
            EXPECT_TRUE(Has(r.out, "segment LThigh <- LeftUpLeg\n")) << r.out;
            EXPECT_TRUE(Has(Tool({"info", dir / "out.chb"}).out, frames));
        }
    }
    r = Tool({"import", scene, dir / "jump.chb", "--take", "Jump"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(Has(r.err, "no take named Jump")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "jump.chb"));
    EXPECT_EQ(Tool({"import", dir / "out.chb", dir / "x.chb", "--take", "Run"}).code, kExitUsage);
    // The built tool opens the importer's library itself.
    const std::string tool = TAVREL_CLI_PATH;
    EXPECT_EQ(std::system((tool + " import " + scene + " " + (dir / "p.chb") + " >/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace tavrel::cli
