// The ruler's labelling, the shared frame mapping and the window timers' identifiers.
#include <gtest/gtest.h>

#include <QObject>
#include <memory>
#include <vector>

#include "timeline/ui/FrameRuler.h"
#include "timeline/ui/TrackMapping.h"
#include "uikit/CRTimer.h"

namespace tavrel {
namespace {

std::vector<int> LabelledFrames(int from, int to, int pixelsPerFrame) {
    std::vector<int> frames;
    for (int f = from; f <= to; ++f) {
        if (RulerMarkAt(f, pixelsPerFrame).label) frames.push_back(f);
    }
    return frames;
}

TEST(FrameRuler, OnePixelPerFrameLabelsEveryThirtiethFrameThenEveryHundredFiftieth) {
    std::vector<int> expected;
    for (int f = 0; f <= 990; f += 30) expected.push_back(f);
    for (int f : {1050, 1200, 1350, 1500}) expected.push_back(f);
    EXPECT_EQ(LabelledFrames(0, 1500, 1), expected);
    // Past 1000 the ticks of unlabelled multiples of 30 stay.
    EXPECT_EQ(RulerMarkAt(1020, 1), (RulerMark{RulerTick::kLong, false}));
    EXPECT_EQ(RulerMarkAt(1025, 1), (RulerMark{RulerTick::kNone, false}));
}

TEST(FrameRuler, TicksFollowTheZoom) {
    // Three pixels: tens labelled, other fives a medium tick, the rest nothing.
    EXPECT_EQ(RulerMarkAt(40, 3), (RulerMark{RulerTick::kLong, true}));
    EXPECT_EQ(RulerMarkAt(45, 3), (RulerMark{RulerTick::kMedium, false}));
    EXPECT_EQ(RulerMarkAt(44, 3), (RulerMark{RulerTick::kNone, false}));
    // Two pixels: every twentieth frame, other fives nothing.
    EXPECT_EQ(LabelledFrames(0, 100, 2), (std::vector<int>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(RulerMarkAt(30, 2).tick, RulerTick::kNone);
    // Four pixels and more: every fifth frame labelled, a short tick on every other frame.
    EXPECT_EQ(LabelledFrames(0, 20, 4), (std::vector<int>{0, 5, 10, 15, 20}));
    EXPECT_EQ(RulerMarkAt(7, 12).tick, RulerTick::kShort);
    EXPECT_EQ(RulerMarkAt(1005, 12), (RulerMark{RulerTick::kLong, false}));
    EXPECT_EQ(RulerMarkAt(1050, 12), (RulerMark{RulerTick::kLong, true}));
}

TEST(FrameRuler, OverviewLabelsDependOnTheRulersEnd) {
    EXPECT_EQ(OverviewLabelStep(3599), 120);
    EXPECT_EQ(OverviewLabelStep(3600), 240);
    std::vector<int> fine, coarse;
    for (int f = 0; f <= 2400; f += 120) {
        if (OverviewLabelAt(f, 120)) fine.push_back(f);
    }
    for (int f = 0; f <= 2400; f += 240) {
        if (OverviewLabelAt(f, 240)) coarse.push_back(f);
    }
    EXPECT_EQ(fine,
              (std::vector<int>{0, 120, 240, 360, 480, 600, 720, 840, 960, 1200, 1800, 2400}));
    EXPECT_EQ(coarse, (std::vector<int>{1200, 2400}));
}

TEST(TrackMapping, PixelsAndFramesMatchAtEveryZoomAndScroll) {
    CTrackMapping m;
    m.SetWidth(600);
    for (int step = 0; step < 9; ++step) {
        m.SetStep(step);
        m.SetScroll(137);
        const int p = m.PixelsPerFrame();
        for (int f : {m.FirstVisible() + 1, 100, 250}) {
            if (m.XOf(f) < 0) continue;
            EXPECT_EQ(m.FrameAt(m.XOf(f)), f) << "step " << step;
            EXPECT_EQ(m.FrameAt(m.XOf(f) + p - 1), f) << "step " << step;
        }
    }
    // Scrolling stops where frame 17999 ends at the right edge.
    m.SetStep(0);
    m.SetScroll(1 << 30);
    EXPECT_EQ(m.LastVisible(), kMaxFrame);
    m.SetScroll(0);
    EXPECT_EQ(m.FrameAt(-50), 0);  // left of frame 0
}

TEST(TrackMapping, OverviewSqueezesTheTimelineIntoTheWidth) {
    CTrackMapping m;
    m.SetWidth(1000);
    m.SetOverview(true, 1999);
    EXPECT_EQ(m.FrameAt(0), 0);
    EXPECT_EQ(m.FrameAt(999), 1998);
    EXPECT_EQ(m.XOf(1000), 500);
    // A scrolled zoom does not leak into the overview.
    m.SetScroll(5000);
    EXPECT_EQ(m.XOf(0), 0);
}

TEST(TrackMapping, ShowFramePagesOnAndCentresFarFrames) {
    CTrackMapping m;
    m.SetWidth(600);  // 100 frames at 6 pixels
    m.ShowFrame(50);
    EXPECT_EQ(m.Scroll(), 0);
    m.ShowFrame(100);  // just past the right edge: the next page
    EXPECT_EQ(m.FirstVisible(), 100);
    m.ShowFrame(5000);
    EXPECT_EQ(m.FrameAt(300), 5000);
}

TEST(CRTimer, IdentifiersAreUniqueAndComeBack) {
    QObject owner;
    const int before = CRTimer::IdentifiersInUse();
    std::vector<std::unique_ptr<CRTimer>> timers;
    while (CRTimer::IdentifiersInUse() < CRTimer::kMaxIdentifiers) {
        timers.push_back(std::make_unique<CRTimer>(&owner, 33));
    }
    // The table is full: a further timer gets no identifier and cannot start.
    CRTimer extra(&owner, 33);
    EXPECT_EQ(extra.Identifier(), 0);
    EXPECT_FALSE(extra.Start());
    std::vector<bool> seen(CRTimer::kMaxIdentifiers + 1);
    for (const auto& t : timers) {
        ASSERT_GE(t->Identifier(), 1);
        ASSERT_LE(t->Identifier(), CRTimer::kMaxIdentifiers);
        EXPECT_FALSE(seen[t->Identifier()]) << t->Identifier();
        seen[t->Identifier()] = true;
    }
    const int freed = timers[10]->Identifier();
    timers.erase(timers.begin() + 10);
    CRTimer again(&owner, 33);
    EXPECT_EQ(again.Identifier(), freed);
    timers.clear();
    EXPECT_EQ(CRTimer::IdentifiersInUse(), before + 1);  // only `again`: `extra` holds none
}

TEST(CRTimer, RunsOnlyWithAnOwnerAndStopsWhenItChangesHands) {
    QObject a, b;
    CRTimer orphan(nullptr, 33);
    EXPECT_FALSE(orphan.Start());
    CRTimer timer(&a, 33);
    EXPECT_TRUE(timer.Start());
    EXPECT_TRUE(timer.IsRunning());
    timer.SetOwner(&b);
    EXPECT_FALSE(timer.IsRunning());
    EXPECT_EQ(timer.Owner(), &b);
    timer.Stop();  // stopping a stopped timer is harmless
    EXPECT_FALSE(timer.IsRunning());
}

}  // namespace
}  // namespace tavrel
