#include <gtest/gtest.h>

#include <vector>

#include "timeline/CursorList.h"
#include "timeline/MotionClip.h"

namespace tavrel {
namespace {

MotionClip ClipAt(int first, int last) {
    MotionClip clip;
    clip.SetFrames(first, last);
    return clip;
}

std::vector<std::pair<int, int>> Order(const CCursorList<MotionClip>& list) {
    std::vector<std::pair<int, int>> order;
    for (const MotionClip& c : list) order.emplace_back(c.firstFrame, c.lastFrame);
    return order;
}

TEST(CCursorList, KeepsMotionClipsLatestFirst) {
    CCursorList<MotionClip> list(CompareMotionClips);
    for (auto [f, l] : {std::pair{10, 19}, {0, 9}, {30, 39}, {10, 29}, {10, 15}}) {
        list.InsertSorted(ClipAt(f, l));
    }
    EXPECT_EQ(Order(list),
              (std::vector<std::pair<int, int>>{{30, 39}, {10, 29}, {10, 19}, {10, 15}, {0, 9}}));
    EXPECT_EQ(list.Last()->firstFrame, 0);
    EXPECT_EQ(list.Position(), 4);
    EXPECT_EQ(list.InsertSorted(ClipAt(20, 25)), 1);
    EXPECT_EQ(list.Current()->firstFrame, 20);
    ASSERT_NE(list.Find(ClipAt(10, 15)), nullptr);
    EXPECT_EQ(list.Position(), 4);
    EXPECT_EQ(list.Find(ClipAt(10, 16)), nullptr);
}

TEST(CCursorList, CursorWalksAndRemovals) {
    CCursorList<int> list;
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    for (int i : {1, 2, 3}) list.Append(i);
    EXPECT_EQ(*list.First(), 1);
    EXPECT_EQ(*list.Next(), 2);
    EXPECT_EQ(*list.Next(), 3);
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.Position(), -1);
    EXPECT_EQ(*list.Prev(), 3);
    EXPECT_EQ(list.Position(), 2);
    list.At(1);
    list.RemoveCurrent();  // the cursor moves to the following record
    EXPECT_EQ(*list.Current(), 3);
    EXPECT_EQ(list.Position(), 1);
    list.RemoveCurrent();  // the last one: the cursor moves to Last
    EXPECT_EQ(*list.Current(), 1);
    EXPECT_EQ(list.Position(), 0);
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace tavrel
