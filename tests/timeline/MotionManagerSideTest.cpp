#include <gtest/gtest.h>

#include "base/DebugOutput.h"
#include "tests/motion/MotionFiles.h"
#include "timeline/MotionManagerSide.h"

namespace tavrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteStandardMotion;

float RootX(CMotionManager& manager, const std::string& path, int frame) {
    std::unique_ptr<CHTR> pose = manager.ReloadMotion(path)->GetPose(frame);
    return pose ? pose->GetRoot()->local.m[12] : -1.0f;
}

class ManagerSide : public ::testing::Test {
protected:
    ManagerSide() { WriteStandardMotion(dir / "walk.chb", 20); }
    TempDir dir;
    CMotionManager manager;
    CMotionManagerSide side{manager};
};

TEST_F(ManagerSide, FootPlantsAreKeptUntilTheFileIsForgottenOrRewritten) {
    const std::string walk = dir / "walk.chb";
    // The test motion swings its left leg and stands on its right foot throughout.
    ASSERT_EQ(side.FootContactsOf(walk).Plants(kRightFoot), (std::vector<FootPlant>{{0, 19}}));
    WriteStandardMotion(walk, 12);  // replaced behind the side's back
    EXPECT_EQ(side.FootContactsOf(walk).Plants(kRightFoot)[0].last, 19) << "kept";
    side.Forget(walk);
    EXPECT_EQ(side.FootContactsOf(walk).Plants(kRightFoot)[0].last, 11);
    // A file the side writes itself is never answered from what it kept before.
    ASSERT_TRUE(side.Reverse(dir / "walk.chb", dir / "r.chb"));
    EXPECT_EQ(side.FootContactsOf(dir / "r.chb").Plants(kRightFoot)[0].last, 11);
    WriteStandardMotion(dir / "long.chb", 30);
    ASSERT_TRUE(side.Resample(dir / "long.chb", 30, dir / "r.chb", kSpeedConstant));
    EXPECT_EQ(side.FootContactsOf(dir / "r.chb").Plants(kRightFoot)[0].last, 29);
    EXPECT_TRUE(side.FootContactsOf(dir / "missing.chb").Plants(kLeftFoot).empty());
}

TEST_F(ManagerSide, WritesNewMotionFiles) {
    const std::string walk = dir / "walk.chb";
    EXPECT_EQ(side.FrameCount(walk), 20);
    ASSERT_TRUE(side.Split(walk, 8, dir / "a.chb", dir / "b.chb"));
    EXPECT_EQ(side.FrameCount(dir / "a.chb"), 8);
    EXPECT_EQ(side.FrameCount(dir / "b.chb"), 12);
    EXPECT_FLOAT_EQ(RootX(manager, dir / "b.chb", 0), 8.0f);
    EXPECT_FALSE(side.Split(walk, 20, dir / "c.chb", dir / "d.chb"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.chb"));

    ASSERT_TRUE(side.Reverse(walk, dir / "r.cha"));
    EXPECT_FLOAT_EQ(RootX(manager, dir / "r.cha", 0), 19.0f);
    std::string problem;
    ASSERT_TRUE(side.Mirror(walk, dir / "m.chb", &problem));
    EXPECT_EQ(side.FrameCount(dir / "m.chb"), 20);
    ASSERT_TRUE(side.Repeat(walk, 3, dir / "three.chb"));
    EXPECT_EQ(side.FrameCount(dir / "three.chb"), 60);
    EXPECT_FALSE(side.Repeat(walk, 1, dir / "once.chb"));
    EXPECT_FALSE(std::filesystem::exists(dir / "once.chb"));
    ASSERT_TRUE(side.Convert(dir / "r.cha", dir / "r.chb", 0, nullptr, ""));
    EXPECT_EQ(side.FrameCount(dir / "r.chb"), 20);

    // The later clip continues where the earlier one left its lower torso.
    ASSERT_TRUE(side.Align(dir / "a.chb", 7, walk, "LowerTorso", dir / "aligned.chb"));
    EXPECT_FLOAT_EQ(RootX(manager, dir / "aligned.chb", 0), 7.0f);
    EXPECT_FLOAT_EQ(RootX(manager, dir / "aligned.chb", 3), 10.0f);
    EXPECT_FALSE(side.Align(dir / "a.chb", 7, walk, "Tail", dir / "no.chb"));

    float w0, x0, y0, z0, w, x, y, z;
    manager.GetMotion(walk)->GetPose(5)->GetQuatByName("Head", w0, x0, y0, z0);
    ASSERT_TRUE(
        side.RotateSegment(walk, "Head", {0.0f, 0.0f, 0.0f, 1.0f}, true, dir / "turned.chb"));
    manager.ReloadMotion(dir / "turned.chb")->GetPose(5)->GetQuatByName("Head", w, x, y, z);
    EXPECT_NEAR(std::abs(z), 1.0f, 1e-5f);
    manager.GetMotion(walk)->GetPose(5)->GetQuatByName("Head", w, x, y, z);
    EXPECT_FLOAT_EQ(w, w0);  // the cached source was not turned
    EXPECT_FLOAT_EQ(z, z0);
    EXPECT_FALSE(side.WritePoseClip(12, dir / "pose.chb"));
}

TEST_F(ManagerSide, RewritingAStretchedFileReplacesItWholeOrNotAtAll) {
    const std::string walk = dir / "walk.chb", stretched = dir / "walk_1.chb";
    ASSERT_TRUE(side.Resample(walk, 30, stretched, kSpeedConstant));
    EXPECT_EQ(side.FrameCount(stretched), 30);
    ASSERT_TRUE(side.Resample(walk, 12, stretched, kSpeedConstant));
    EXPECT_EQ(side.FrameCount(stretched), 12);  // the cache let go of the old length
    const std::string bytes = ReadBytes(stretched);
    EXPECT_FALSE(side.Resample(walk, 1, stretched, kSpeedConstant));
    testing::WriteText(dir / "odd.cha", testing::kThreeSegmentCha);
    EXPECT_FALSE(side.Resample(dir / "odd.cha", 5, stretched, kSpeedConstant));
    EXPECT_EQ(ReadBytes(stretched), bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST_F(ManagerSide, ADamagedClipRefusesAlignAndRotateWithTheReadersMessage) {
    // The head reads, the frames do not: the failure shows only at the first pose request.
    const std::string walk = dir / "walk.chb", cut = dir / "cut.chb";
    WriteStandardMotion(cut, 20);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 200);
    EXPECT_EQ(side.FrameCount(cut), 20);
    DebugCapture capture;
    EXPECT_FALSE(side.Align(walk, 19, cut, "LowerTorso", dir / "a.chb"));
    EXPECT_FALSE(side.Align(cut, 19, walk, "LowerTorso", dir / "b.chb"));
    EXPECT_FALSE(side.RotateSegment(cut, "Head", {1, 0, 0, 0}, true, dir / "r.chb"));
    EXPECT_FALSE(side.Reverse(cut, dir / "v.chb"));
    EXPECT_FALSE(side.Split(cut, 5, dir / "s1.chb", dir / "s2.chb"));
    EXPECT_TRUE(
        capture.Contains("CMotion::GetPose failed: " + cut + ": code 2: File is corrupted!"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

}  // namespace
}  // namespace tavrel
