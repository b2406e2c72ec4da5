// tavrel-cli bake: the written motion holds, at every timeline frame, the pose the frame
// display mixes from that frame's sample.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>

#include "../motion/MotionFiles.h"
#include "AnimRead/StandardSkeleton.h"
#include "RKWindow/RKSystem.h"
#include "ToolRun.h"
#include "cli/OpenedProject.h"
#include "compose/PoseEvaluator.h"
#include "motion/CurveFunction.h"
#include "motion/Motion.h"
#include "motion/PoseBlender.h"
#include "tests/support/GltfReadBack.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;
using tavrel::testing::TempDir;
using tavrel::testing::WriteStandardMotion;
using tavrel::testing::WriteText;
using testing::Result;
using testing::Tool;

const char* const kCurves[] = {"Linear", "EaseIn", "EaseOut", "Curve"};

// Largest difference between the local matrices of two poses of the same shape.
float Distance(const rkNode* a, const rkNode* b) {
    if (!a || !b) return a == b ? 0.0f : 1e9f;
    float d = 0.0f;
    for (int i = 0; i < 16; ++i) d = std::max(d, std::fabs(a->local.m[i] - b->local.m[i]));
    return std::max({d, Distance(a->child, b->child), Distance(a->next, b->next)});
}

class BakeCommand : public ::testing::Test {
protected:
    BakeCommand() {
        setenv("TAVREL_HOME", TAVREL_SHARE_DIR, 1);
        WriteStandardMotion(dir / "a.chb", 30);
        WriteStandardMotion(dir / "b.cha", 30);
        WriteStandardMotion(dir / "c.chb", 12);
        // a blends into b over frames 25..34 with the ease-out curve; 60..79 lie between
        // clips (the rest pose); c starts at its own frame 3.
        WriteText(dir / "p.tvp",
                  "D,demo\n3\nM,0,29,5,5,0,2,a.chb,0,29,0,0,0,*\n"
                  "M,30,59,5,5,0,0,b.cha,0,29,1,2,3,*\nM,80,88,0,0,0,1,c.chb,3,11,0,0,0,*\n"
                  "0\nS,none\nI,0\n");
    }
    ~BakeCommand() override { unsetenv("TAVREL_HOME"); }

    // The pose playback shows at the frame, mixed here from the sample's own motions.
    std::unique_ptr<CHTR> Expected(OpenedProject& project, int f) {
        const FrameSample s = project.Model().GetFrameSample(f);
        if (s.localA == -1) return CMotion(TAVREL_SHARE_DIR "/Init.chb", 0).GetPose(0);
        std::unique_ptr<CHTR> a = CMotion(s.fileA, 0).GetPose(s.localA);
        if (s.localB == -1) return a;
        std::unique_ptr<CHTR> b = CMotion(s.fileB, 0).GetPose(s.localB);
        const float c = CCurveFunction::GetValue(kCurves[s.curve], s.weight);
        return CPoseBlender().Blend(a.get(), b.get(), 1.0f - c);
    }

    TempDir dir;
};

TEST_F(BakeCommand, EveryFrameIsTheMixedPoseOfItsSample) {
    // --plain mixes the motions as captured: the second clip's stored place (1, 2) is not used.
    for (const char* name : {"baked.chb", "baked.bvh"}) {
        const Result r = Tool({"bake", dir / "p.tvp", dir / name, "--plain"});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_NE(r.out.find("89 frames"), std::string::npos) << r.out;
        CMotion baked(dir / name, 0);
        ASSERT_EQ(baked.GetLength(), 89) << name;
        if (std::string(name) == "baked.bvh") continue;  // text: checked for shape only
        OpenedProject project;
        ASSERT_TRUE(project.Open(dir / "p.tvp").empty());
        int blended = 0;
        for (int f = 0; f < 89; ++f) {
            const std::unique_ptr<CHTR> expected = Expected(project, f);
            const std::unique_ptr<CHTR> got = baked.GetPose(f);
            ASSERT_TRUE(expected && got) << f;
            ASSERT_LT(Distance(expected->GetRoot(), got->GetRoot()), 1e-4f) << "frame " << f;
            blended += project.Model().GetFrameSample(f).localB != -1;
        }
        EXPECT_GT(blended, 5);  // the transition was part of what was compared
    }
    // Without --plain, every frame is the one evaluation's pose (placed, feet held), as the
    // 3D window shows it.
    ASSERT_EQ(Tool({"bake", dir / "p.tvp", dir / "held.chb"}).code, kExitOk);
    CMotion held(dir / "held.chb", 0);
    OpenedProject project;
    ASSERT_TRUE(project.Open(dir / "p.tvp").empty());
    CPoseEvaluator evaluator(project.Manager(), TAVREL_SHARE_DIR "/Init.chb");
    for (int f = 0; f < 89; ++f) {
        const std::unique_ptr<CHTR> shown = evaluator.PoseOf(project.Model().GetFrameSample(f));
        ASSERT_LT(Distance(shown->GetRoot(), held.GetPose(f)->GetRoot()), 1e-4f) << f;
    }
    EXPECT_NEAR(held.GetPose(40)->GetRoot()->local.m[13] -
                    CMotion(dir / "baked.chb", 0).GetPose(40)->GetRoot()->local.m[13],
                2.0f, 1e-2f)
        << "placed";
    // Frames before and after a transition differ: the baked motion moves.
    CMotion baked(dir / "baked.chb", 0);
    EXPECT_GT(Distance(baked.GetPose(10)->GetRoot(), baked.GetPose(50)->GetRoot()), 1.0f);
    EXPECT_GT(Distance(baked.GetPose(70)->GetRoot(), baked.GetPose(85)->GetRoot()), 0.01f);
}

// A clip eased from the command line bakes as the editor plays it: the test motion's root
// stands at x = its frame, so each baked frame shows the source position the curve gives it
// (the 30-frame motion comes in at the timeline's 60 frames a second as 59 frames).
TEST_F(BakeCommand, AnEasedClipBakesAtItsCurvesPositions) {
    const std::string project = dir / "eased.tvp";
    ASSERT_EQ(Tool({"compose", project, "add", dir / "a.chb"}).code, kExitOk);
    ASSERT_EQ(Tool({"compose", project, "speed", "1", "in"}).code, kExitOk);
    const Result listed = Tool({"project", project});
    EXPECT_NE(listed.out.find("stretched 1 "), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find(" range 0 58 speed in\n"), std::string::npos) << listed.out;
    EXPECT_NE(Tool({"project", project, "--json"}).out.find(R"("speedCurve":"in")"),
              std::string::npos);
    ASSERT_EQ(Tool({"bake", project, dir / "eased.chb", "--plain"}).code, kExitOk);
    CMotion baked(dir / "eased.chb", 0);
    ASSERT_EQ(baked.GetLength(), 59);
    for (int f = 0; f < 59; ++f) {
        EXPECT_NEAR(baked.GetPose(f)->GetRoot()->local.m[12],
                    SourcePosition(kSpeedEaseIn, f, 59, 59) / 2.0, 1e-3)
            << f;
    }
    // Without --plain: the one evaluation's pose, as the 3D window shows the eased clip.
    ASSERT_EQ(Tool({"bake", project, dir / "shown.chb"}).code, kExitOk);
    CMotion shown(dir / "shown.chb", 0);
    OpenedProject opened;
    ASSERT_TRUE(opened.Open(project).empty());
    CPoseEvaluator evaluator(opened.Manager(), TAVREL_SHARE_DIR "/Init.chb");
    for (int f = 0; f < 59; ++f) {
        const std::unique_ptr<CHTR> pose = evaluator.PoseOf(opened.Model().GetFrameSample(f));
        ASSERT_LT(Distance(pose->GetRoot(), shown.GetPose(f)->GetRoot()), 1e-4f) << f;
    }
}

// Every node of a pose tree, parents first.
void Collect(const rkNode* node, std::vector<const rkNode*>* nodes) {
    for (; node; node = node->next) {
        nodes->push_back(node);
        Collect(node->child, nodes);
    }
}

TEST_F(BakeCommand, GltfHoldsEveryJointWhereTheEditorShowsIt) {
    OpenedProject project;
    ASSERT_TRUE(project.Open(dir / "p.tvp").empty());
    const double metres = StandardMetresPerUnit();
    for (const bool bare : {false, true}) {
        const fs::path out = dir / (bare ? "bare.gltf" : "skinned.glb");
        Args args = {"bake", dir / "p.tvp", out};
        if (bare) args.push_back("--skeleton-only");
        const Result r = Tool(args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        EXPECT_NE(r.out.find("89 frames"), std::string::npos) << r.out;
        tinygltf::Model model;
        std::string error;
        ASSERT_TRUE(tavrel::testing::LoadGltf(out, &model, &error)) << error;
        // The avatar's body: its parts, each on a joint of the skeleton's one skin, as painted.
        ASSERT_EQ(model.skins.size(), 1u);
        EXPECT_EQ(model.skins[0].joints.size(), 20u);
        ASSERT_EQ(model.meshes.size(), bare ? 0u : 1u);
        EXPECT_EQ(model.images.size(), bare ? 0u : 1u);  // the face
        if (!bare) {
            EXPECT_GE(model.meshes[0].primitives.size(), 15u);
        }
        ASSERT_EQ(model.animations.size(), 1u);
        EXPECT_EQ(model.animations[0].name, "p");  // the project's name
        EXPECT_EQ(model.accessors[model.animations[0].samplers[0].input].count, 89u);
        std::map<std::string, int> nodeOf;
        for (size_t n = 0; n < model.nodes.size(); ++n) nodeOf[model.nodes[n].name] = int(n);
        CPoseEvaluator evaluator(project.Manager(), TAVREL_SHARE_DIR "/Init.chb");
        for (int f : {0, 27, 45, 70, 88}) {
            const std::unique_ptr<CHTR> shown = evaluator.PoseOf(project.Model().GetFrameSample(f));
            rkUpdateNode(shown->GetRoot());
            std::vector<const rkNode*> joints;
            Collect(shown->GetRoot(), &joints);
            ASSERT_EQ(joints.size(), 20u);
            const std::vector<tavrel::testing::GltfMatrix> world =
                tavrel::testing::GltfPosedWorld(model, f);
            for (const rkNode* joint : joints) {
                ASSERT_TRUE(nodeOf.count(joint->name)) << joint->name;
                const auto got = tavrel::testing::GltfApply(world[nodeOf[joint->name]], {0, 0, 0});
                // Y up, metres, the 3D window's ground at zero: within a millimetre.
                const float* p = &joint->world.m[12];
                const double expected[3] = {p[0] * metres, (p[2] - kGroundHeight) * metres,
                                            -p[1] * metres};
                for (int k = 0; k < 3; ++k)
                    EXPECT_NEAR(got[k], expected[k], 0.001) << joint->name << " frame " << f;
            }
        }
    }
}

TEST_F(BakeCommand, RefusesWithoutTouchingTheUsersFiles) {
    const std::string before = tavrel::testing::ReadBytes(dir / "a.chb");
    EXPECT_EQ(Tool({"bake", dir / "p.tvp", dir / "a.chb"}).code, kExitFailed);
    EXPECT_EQ(Tool({"bake", dir / "p.tvp", dir / "p.tvp"}).code, kExitFailed);
    EXPECT_EQ(tavrel::testing::ReadBytes(dir / "a.chb"), before);
    EXPECT_EQ(Tool({"bake", dir / "p.tvp", dir / "out.htr"}).code, kExitFailed);
    EXPECT_EQ(Tool({"bake", dir / "p.tvp", dir / "no/such/dir/out.chb"}).code, kExitFailed);
    EXPECT_EQ(Tool({"bake", dir / "missing.tvp", dir / "out.chb"}).code, kExitFailed);
    WriteText(dir / "empty.tvp", "D,demo\n0\n0\nS,none\nI,0\n");
    const Result empty = Tool({"bake", dir / "empty.tvp", dir / "out.chb"});
    EXPECT_EQ(empty.code, kExitFailed);
    EXPECT_NE(empty.err.find("no motion clip"), std::string::npos) << empty.err;
    EXPECT_EQ(Tool({"bake", dir / "p.tvp"}).code, kExitUsage);
    // An existing output is replaced as a whole; no temporary file stays behind.
    WriteText(dir / "old.cha", "old");
    ASSERT_EQ(Tool({"bake", dir / "p.tvp", dir / "old.cha"}).code, kExitOk);
    EXPECT_EQ(CMotion(dir / "old.cha", 0).GetLength(), 89);
    // A motion whose values are no numbers cannot be told to other tools: the reason is named.
    auto broken = CreateAnimFile(nullptr, kTypeCHB, 1);
    broken->GetSegment(4)->frames[0].m[1] = std::nanf("");
    broken->WriteAs((dir / "nan.chb").c_str(), 1);
    WriteText(dir / "nan.tvp", "D,nan\n1\nM,0,0,0,0,0,0,nan.chb,0,0,0,0,0,*\n0\nS,none\nI,0\n");
    WriteText(dir / "old.glb", "old");
    const Result nan = Tool({"bake", dir / "nan.tvp", dir / "old.glb", "--skeleton-only"});
    EXPECT_EQ(nan.code, kExitFailed);
    EXPECT_NE(nan.err.find("LThigh has a value that is not a number"), std::string::npos)
        << nan.err;
    EXPECT_EQ(tavrel::testing::ReadBytes(dir / "old.glb"), "old");
    // A glTF skin needs the avatar's body: without a readable one only the skeleton is written.
    fs::create_directories(dir / "home");
    fs::copy_file(TAVREL_SHARE_DIR "/Init.chb", dir / "home/Init.chb");
    WriteText(dir / "home/avatar.scx", "not a scene");
    setenv("TAVREL_HOME", (dir / "home").c_str(), 1);
    const Result bodiless = Tool({"bake", dir / "p.tvp", dir / "old.glb"});
    EXPECT_EQ(bodiless.code, kExitFailed);
    EXPECT_NE(bodiless.err.find("avatar's body"), std::string::npos) << bodiless.err;
    EXPECT_EQ(tavrel::testing::ReadBytes(dir / "old.glb"), "old");
    EXPECT_EQ(Tool({"bake", dir / "p.tvp", dir / "old.glb", "--skeleton-only"}).code, kExitOk);
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".part-"), std::string::npos);
}

}  // namespace
}  // namespace tavrel::cli
