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

TEST(CCursorList, CopiesInOrderAndReleasesEveryRecord) {
    std::vector<int> released;
    CCursorList<int> list(nullptr, [&](int& v) { released.push_back(v); });
    for (int i : {4, 5, 6}) list.Append(i);
    CCursorList<int> copy;
    copy.Append(9);
    copy = list;
    EXPECT_EQ(std::vector<int>(copy.begin(), copy.end()), (std::vector<int>{4, 5, 6}));
    CCursorList<int> moved(std::move(copy));
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(std::vector<int>(moved.rbegin(), moved.rend()), (std::vector<int>{6, 5, 4}));
    released.clear();
    list.Clear();
    EXPECT_EQ(released.size(), 3u);
    moved.Clear();
    EXPECT_EQ(released.size(), 6u);  // the copies share the release function
}

TEST(MotionClip, DefaultsAndClamps) {
    MotionClip clip;
    EXPECT_EQ(clip.transitionIn, 1);
    EXPECT_EQ(clip.transitionOut, 1);
    clip.SetFrames(17990, 20000);
    EXPECT_EQ(clip.lastFrame, kMaxFrame);
    clip.SetTransitionIn(-4);
    EXPECT_EQ(clip.transitionIn, 0);
    for (auto [length, expected] : {std::pair{0, 0}, {1, 1}, {9, 1}, {10, 3}, {14, 3}, {15, 5}}) {
        EXPECT_EQ(DefaultTransitionLength(length), expected) << length;
    }
    EXPECT_TRUE(RangesOverlap(0, 10, 10, 20));
    EXPECT_TRUE(RangesOverlap(5, 6, 0, 20));
    EXPECT_FALSE(RangesOverlap(0, 9, 10, 20));
}

}  // namespace
}  // namespace tavrel
