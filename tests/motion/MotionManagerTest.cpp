#include "motion/MotionManager.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "base/DebugOutput.h"
#include "MotionFiles.h"

namespace tavrel {
namespace {

using testing::TempDir;

TEST(MotionManager, MissingFileIsCachedWithoutData) {
    CMotionManager manager;
    CMotion* first = manager.GetMotion("/no/such/walk.cha");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetFrameCount(), -1);
    EXPECT_EQ(manager.GetMotion("/no/such/walk.cha"), first);
    EXPECT_EQ(manager.GetCount(), 1u);
}

TEST(MotionManager, SeventeenthPathEvictsOne) {
    TempDir dir;
    CMotionManager manager;
    for (int i = 0; i < 17; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "m%d.chb", i);
        const std::string path = dir / name;
        testing::WriteStandardMotion(path, 2);
        EXPECT_EQ(manager.GetMotion(path)->GetFrameCount(), 2);
    }
    EXPECT_EQ(manager.GetCount(), 16u);
    EXPECT_TRUE(manager.IsCached(dir / "m16.chb"));
}

TEST(MotionManager, DeleteReloadAndClear) {
    TempDir dir;
    const std::string path = dir / "m.chb";
    testing::WriteStandardMotion(path, 2);
    CMotionManager manager;
    EXPECT_EQ(manager.GetMotion(path)->GetFrameCount(), 2);
    testing::WriteStandardMotion(path, 5);  // rewritten on disk
    EXPECT_EQ(manager.ReloadMotion(path)->GetFrameCount(), 5);
    EXPECT_EQ(manager.DeleteMotion(path), 1);
    DebugCapture capture;
    EXPECT_EQ(manager.DeleteMotion(path), 0);
    EXPECT_EQ(capture.Text(), "CMotionManager::DeleteMotion failed: not in cache of manager.\n");
    manager.GetMotion(path);
    manager.Clear();
    EXPECT_EQ(manager.GetCount(), 0u);
}

}  // namespace
}  // namespace tavrel
