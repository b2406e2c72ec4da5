#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <vector>

#include "MotionFiles.h"
#include "base/DebugOutput.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"
#include "motion/PoseBlender.h"

namespace tavrel {
namespace {

using testing::TempDir;
using testing::WriteStandardMotion;

float RootX(CMotion& m, int i) {
    return m.GetPose(i)->GetRoot()->local.m[12];
}

void ExpectSamePose(const rkNode* a, const rkNode* b, float eps) {
    ASSERT_TRUE(a && b);
    for (int e = 0; e < 16; ++e) ASSERT_NEAR(a->local.m[e], b->local.m[e], eps) << a->name;
    for (a = a->child, b = b->child; a && b; a = a->next, b = b->next) ExpectSamePose(a, b, eps);
}

TEST(MotionFileType, ExtensionDecidesWithoutRegardToCase) {
    EXPECT_EQ(MotionFileTypeOf("a/walk.CHA"), kTypeCHA);
    EXPECT_EQ(MotionFileTypeOf("walk.cha"), kTypeCHA);
    EXPECT_EQ(MotionFileTypeOf("walk.Chb"), kTypeCHB);
    EXPECT_EQ(MotionFileTypeOf("walk.htr"), kTypeHTR);
    EXPECT_EQ(MotionFileTypeOf("walk.cha.bak"), kTypeUnknown);
    EXPECT_EQ(MotionFileTypeOf("cha"), kTypeUnknown);
}

TEST(Motion, ConstructionFailuresLeaveAMotionWithoutData) {
    TempDir dir;
    DebugCapture capture;
    std::string longPath = dir / std::string(300, 'a') + ".cha";
    CMotion tooLong(longPath, 0);
    EXPECT_EQ(tooLong.GetFrameCount(), -1);
    EXPECT_EQ(tooLong.GetPose(0), nullptr);
    CMotion badExtension(dir / "walk.cha.bak", 0);
    CMotion missing(dir / "missing.cha", 0);
    testing::WriteText(dir / "broken.chb", "not a motion");
    CMotion broken(dir / "broken.chb", 0);
    EXPECT_FALSE(broken.HasData());
    EXPECT_EQ(capture.Text(),
              "CMotion ctor(filename) failed: filename too long\n"
              "CMotion ctor(filename) failed:filename extension not support!\n"
              "CMotion(filename) ctor failed: not exist.Please Enter your Full Pathname.\n");
}

TEST(Motion, PathLengthLimitIs260Characters) {
    TempDir dir;
    const std::string prefix = dir / "";
    const std::string ok = prefix + std::string(260 - prefix.size() - 4, 'm') + ".chb";
    ASSERT_EQ(ok.size(), 260u);
    WriteStandardMotion(ok, 2);
    EXPECT_EQ(CMotion(ok, 0).GetFrameCount(), 2);
    const std::string over = prefix + std::string(261 - prefix.size() - 4, 'm') + ".chb";
    WriteStandardMotion(over, 2);
    EXPECT_EQ(CMotion(over, 0).GetFrameCount(), -1);
    // A NUL would have the system read the shorter path before it.
    WriteStandardMotion(dir / "m.chb", 2);
    EXPECT_EQ(CMotion(dir / "m.chb" + std::string(1, '\0') + ".chb", 0).GetFrameCount(), -1);
}

TEST(Motion, PosesAreCopiesCountedFromTheBeginFrame) {
    TempDir dir;
    WriteStandardMotion(dir / "m.cha", 5);
    CMotion motion(dir / "m.cha", 0);
    ASSERT_EQ(motion.GetFrameCount(), 5);
    EXPECT_EQ(motion.GetLength(), 5);
    auto pose = motion.GetPose(3);
    EXPECT_FLOAT_EQ(pose->GetRoot()->local.m[12], 3.0f);
    pose->GetRoot()->local.m[12] = 99.0f;  // a copy: the motion keeps its frame
    EXPECT_FLOAT_EQ(RootX(motion, 3), 3.0f);
    EXPECT_EQ(motion.CopyPoseTo(*pose, 1), 1);
    EXPECT_FLOAT_EQ(pose->GetRoot()->local.m[12], 1.0f);
    EXPECT_FLOAT_EQ(RootX(motion, 40), 4.0f);  // clamped to the end
}

TEST(Motion, SetPoseWidensAndShortenOnlyLowersTheEnd) {
    CMotion motion;
    ASSERT_EQ(motion.GetFrameCount(), 1);
    auto pose = motion.GetPose(0);
    pose->GetRoot()->local.m[12] = 7.0f;
    EXPECT_EQ(motion.SetPose(3, *pose), 1);
    EXPECT_EQ(motion.GetFrameCount(), 4);
    EXPECT_EQ(motion.GetEndFrame(), 3);
    EXPECT_FLOAT_EQ(RootX(motion, 3), 7.0f);
    EXPECT_EQ(motion.Shorten(2), 1);
    EXPECT_EQ(motion.GetEndFrame(), 2);
    EXPECT_EQ(motion.GetLength(), 4);
    EXPECT_EQ(motion.Shorten(5), 0);
}

TEST(Motion, SaveRenumbersFromZeroInTheExtensionsFormat) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 4);
    CMotion motion(dir / "m.chb", 0);
    ASSERT_EQ(motion.Save(dir / "copy.CHA"), 1);
    EXPECT_EQ(motion.GetPath(), dir / "copy.CHA");
    CMotion copy(dir / "copy.CHA", 0);
    ASSERT_EQ(copy.GetFrameCount(), 4);
    EXPECT_EQ(copy.GetBeginFrame(), 0);
    ExpectSamePose(copy.GetPose(2)->GetRoot(), motion.GetPose(2)->GetRoot(), 1e-3f);
    DebugCapture capture;
    EXPECT_EQ(motion.Save(dir / "copy.txt"), 0);
    EXPECT_EQ(capture.Text(), "CMotion Save() failed:filename extension not support!\n");
    EXPECT_EQ(motion.Save(dir / "copy.htr"), 0);  // could never be read back
    EXPECT_EQ(motion.Save(dir / "no/such/folder.cha"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "copy.htr"));
}

TEST(Motion, EditsRefuseAForeignSkeletonInsteadOfWritingGarbage) {
    TempDir dir;
    testing::WriteText(dir / "three.cha", testing::kThreeSegmentCha);
    CMotion motion(dir / "three.cha", 0);
    ASSERT_EQ(motion.GetFrameCount(), 2);
    EXPECT_FALSE(motion.HasStandardSkeleton());
    EXPECT_EQ(motion.Save(dir / "out.cha"), 0);
    EXPECT_EQ(motion.SaveReversed(dir / "out.cha"), 0);
    EXPECT_EQ(motion.SaveSplit(1, dir / "a.cha", dir / "b.cha"), 0);
    EXPECT_EQ(motion.Resample(dir / "out.cha", 4), 0);
    EXPECT_EQ(motion.SaveTranslated(dir / "out.cha", 1, 2, 3, 0), 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(Motion, SaveReversedRunsTheFramesBackwards) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 6);
    CMotion motion(dir / "m.chb", 0);
    ASSERT_EQ(motion.SaveReversed(dir / "r.chb"), 1);
    CMotion reversed(dir / "r.chb", 0);
    ASSERT_EQ(reversed.GetFrameCount(), 6);
    for (int k = 0; k < 6; ++k) {
        ExpectSamePose(reversed.GetPose(k)->GetRoot(), motion.GetPose(5 - k)->GetRoot(), 0.0f);
    }
    WriteStandardMotion(dir / "one.chb", 1);
    CMotion one(dir / "one.chb", 0);
    EXPECT_EQ(one.SaveReversed(dir / "none.chb"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.chb"));
}

TEST(Motion, SaveSplitCutsIntoTwoFiles) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 10);
    CMotion motion(dir / "m.chb", 0);
    ASSERT_EQ(motion.SaveSplit(3, dir / "a.chb", dir / "b.chb"), 1);
    CMotion a(dir / "a.chb", 0), b(dir / "b.chb", 0);
    EXPECT_EQ(a.GetFrameCount(), 3);
    EXPECT_EQ(b.GetFrameCount(), 7);
    EXPECT_FLOAT_EQ(RootX(b, 0), 3.0f);
    EXPECT_EQ(motion.SaveSplit(0, dir / "x.chb", dir / "y.chb"), 0);
    EXPECT_EQ(motion.SaveSplit(3, dir / "e.chb", dir / "no/such/f.chb"), 0);
    EXPECT_TRUE(std::filesystem::exists(dir / "e.chb"));  // the first half is still written
    ASSERT_EQ(motion.SaveSplit(10, dir / "c.chb", dir / "d.chb"), 1);
    EXPECT_EQ(CMotion(dir / "d.chb", 0).GetFrameCount(), 1);  // only its default frame
}

TEST(Motion, ResampleKeepsExactFramesAndBlendsBetween) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 10);
    CMotion motion(dir / "m.chb", 0);
    ASSERT_EQ(motion.Resample(dir / "r.chb", 19), 1);
    CMotion stretched(dir / "r.chb", 0);
    ASSERT_EQ(stretched.GetFrameCount(), 19);
    CPoseBlender blender;
    for (int k = 0; k < 19; ++k) {
        auto pose = stretched.GetPose(k);
        if (k % 2 == 0) {
            ExpectSamePose(pose->GetRoot(), motion.GetPose(k / 2)->GetRoot(), 0.0f);
        } else {
            auto a = motion.GetPose(k / 2), b = motion.GetPose(k / 2 + 1);
            ExpectSamePose(pose->GetRoot(), blender.Blend(a.get(), b.get(), 0.5f)->GetRoot(),
                           1e-5f);
            EXPECT_FLOAT_EQ(pose->GetRoot()->local.m[12], k / 2 + 0.5f);
        }
    }
    EXPECT_EQ(motion.Resample(dir / "x.chb", 1), 0);
}

// From 10 frames to 11, 12 or 13 the in-between frames fall at thirds, quarters and the like:
// each must lie that far from the earlier frame towards the later one.
TEST(Motion, ResampleBlendsByHowFarEachFrameFalls) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 10);
    CMotion motion(dir / "m.chb", 0);
    CPoseBlender blender;
    for (int length = 10; length <= 13; ++length) {
        const std::string path = dir / ("r" + std::to_string(length) + ".chb");
        ASSERT_EQ(motion.Resample(path, length), 1);
        CMotion resampled(path, 0);
        ASSERT_EQ(resampled.GetFrameCount(), length);
        for (int k = 0; k < length; ++k) {
            const double t = 9.0 * k / (length - 1);
            const int i = static_cast<int>(t);
            const float f = static_cast<float>(t - i);
            SCOPED_TRACE(std::to_string(length) + " frames, frame " + std::to_string(k));
            EXPECT_NEAR(RootX(resampled, k), t, 1e-4);
            auto a = motion.GetPose(i);
            if (f == 0.0f) {
                ExpectSamePose(resampled.GetPose(k)->GetRoot(), a->GetRoot(), 0.0f);
                continue;
            }
            auto b = motion.GetPose(i + 1);
            ExpectSamePose(resampled.GetPose(k)->GetRoot(),
                           blender.Blend(a.get(), b.get(), 1.0f - f)->GetRoot(), 1e-5f);
        }
    }
}

TEST(Motion, TranslateMovesEveryRootAndRotatePartTurnsEveryFrame) {
    TempDir dir;
    WriteStandardMotion(dir / "m.chb", 3);
    CMotion motion(dir / "m.chb", 0);
    ASSERT_EQ(motion.SaveTranslated(dir / "t.chb", 10, 0, -5, 0), 1);
    CMotion moved(dir / "t.chb", 0);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(RootX(moved, i), i + 10.0f);
    ASSERT_EQ(motion.SaveTranslated(dir / "a.chb", 1, 2, 3, 1), 1);
    EXPECT_FLOAT_EQ(CMotion(dir / "a.chb", 0).GetPose(2)->GetRoot()->local.m[14], 3.0f);

    ASSERT_EQ(motion.RotatePart("Head", 1, 0, 0, 0, 1), 1);
    for (int i = 0; i < 3; ++i) {
        float w, x, y, z;
        motion.GetPose(i)->GetQuatByName("Head", w, x, y, z);
        EXPECT_NEAR(w, 1.0f, 1e-6f);
    }
    EXPECT_EQ(motion.RotatePart("Tail", 1, 0, 0, 0, 1), 0);
    // Numbers that are no position or no rotation write nothing.
    EXPECT_EQ(motion.SaveTranslated(dir / "nan.chb", std::nanf(""), 0, 0, 0), 0);
    EXPECT_EQ(motion.SaveTranslated(dir / "inf.chb", 0, 0, INFINITY, 1), 0);
    EXPECT_EQ(motion.RotatePart("Head", 0, 0, 0, 0, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "nan.chb") ||
                 std::filesystem::exists(dir / "inf.chb"));
}

// A file whose head reads but whose frames are damaged: the reader fails only when the frames
// are first asked for.
std::string WriteDamagedMotion(const TempDir& dir, const std::string& name) {
    WriteStandardMotion(dir / name, 10);
    std::filesystem::resize_file(dir / name, std::filesystem::file_size(dir / name) - 100);
    return dir / name;
}

TEST(Motion, AReaderFailureAtTheFirstPoseRequestGivesNoPose) {
    TempDir dir;
    const std::string path = WriteDamagedMotion(dir, "cut.chb");
    CMotion motion(path, 0);
    ASSERT_TRUE(motion.HasData());
    EXPECT_EQ(motion.GetFrameCount(), 10);
    DebugCapture capture;
    EXPECT_EQ(motion.GetPose(3), nullptr);
    EXPECT_EQ(motion.GetReadError(), path + ": code 2: File is corrupted!");
    EXPECT_EQ(capture.Text(),
              "CMotion::GetPose failed: " + path + ": code 2: File is corrupted!\n");
    // From then on it is a motion without data, and the file is not read again.
    EXPECT_FALSE(motion.HasData());
    EXPECT_EQ(motion.GetFrameCount(), -1);
    std::unique_ptr<CHTR> pose = CMotion(dir / "cut.chb", 0).GetPose(0);
    EXPECT_EQ(pose, nullptr);

    // Every operation that reads frames refuses, writes nothing and raises nothing.
    const std::vector<std::function<int(CMotion&)>> edits = {
        [&](CMotion& m) { return m.Save(dir / "out.chb"); },
        [&](CMotion& m) { return m.SaveReversed(dir / "out.chb"); },
        [&](CMotion& m) { return m.SaveSplit(4, dir / "out.chb", dir / "out2.chb"); },
        [&](CMotion& m) { return m.Resample(dir / "out.chb", 20); },
        [&](CMotion& m) { return m.SaveTranslated(dir / "out.chb", 1, 2, 3, 0); },
        [&](CMotion& m) { return m.RotatePart("Head", 1, 0, 0, 0, 1); },
        [&](CMotion& m) { return m.SetPose(2, *CMotion().GetPose(0)); },
        [&](CMotion& m) {
            CHTR target(rkCloneNode(CMotion().GetPose(0)->GetRoot()));
            return m.CopyPoseTo(target, 1);
        },
    };
    for (size_t k = 0; k < edits.size(); ++k) {
        CMotion fresh(path, 0);
        EXPECT_EQ(edits[k](fresh), 0) << "edit " << k;
        EXPECT_FALSE(fresh.GetReadError().empty()) << "edit " << k;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.chb") ||
                 std::filesystem::exists(dir / "out2.chb"));

    // A stream-mode motion fails the same way when a store makes it read all frames.
    WriteStandardMotion(dir / "tail.cha", 10);
    std::string text = testing::ReadBytes(dir / "tail.cha");
    text.replace(text.find("Frame 8"), 7, "Frame 0");
    testing::WriteText(dir / "tail.cha", text);
    CMotion streamed(dir / "tail.cha", 1);
    ASSERT_NE(streamed.GetPose(2), nullptr);
    EXPECT_EQ(streamed.SetPose(3, *streamed.GetPose(2)), 0);
    EXPECT_NE(streamed.GetReadError().find("code 2: File is corrupted!: At Line:"),
              std::string::npos);
}

}  // namespace
}  // namespace tavrel
