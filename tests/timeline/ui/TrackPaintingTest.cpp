// What the track windows draw, read back from their off-screen images; the whole panel is
// also kept as a picture for a person to look at.
#include <QDir>
#include <QImage>

#include "tests/timeline/ui/PanelFixture.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/FrameRuler.h"
#include "timeline/ui/MediaTrack.h"
#include "timeline/ui/SoundTrack.h"
#include "timeline/ui/TimeSlider.h"
#include "timeline/ui/TrackColours.h"

namespace tavrel::testing {
namespace {

class TrackPaintingTest : public PanelFixture {
protected:
    QColor Pixel(const QImage& image, int frame, int y) {
        return image.pixelColor(Mapping().XOf(frame) + int(Mapping().FrameWidth() / 2), y);
    }
    static constexpr int kClipMiddle = CObjectGrid::kClipTop + 2;
    static constexpr int kStripBottom = CObjectGrid::kTransitionBottom - 1;
    static constexpr int kStripTop = CObjectGrid::kTransitionTop + 1;
};

TEST_F(TrackPaintingTest, ClipsOverlapsAndSelectionHaveTheirColours) {
    AddClip(30, 0);
    AddClip(30, 40);
    ASSERT_TRUE(Model().MoveClip(Model().PositionOfClipAt(40), 20).done);  // a cross-fade
    AddClip(1, 80);
    Model().Select(Model().PositionOfClipAt(80));
    Model().SetCurrentFrame(150);  // its line off the clips
    const QImage& image = Grid().RenderImage();
    EXPECT_EQ(Pixel(image, 10, kClipMiddle), colours::kClip);
    EXPECT_EQ(Pixel(image, 25, CObjectGrid::kClipTop + 6), colours::kOverlap);
    EXPECT_EQ(Pixel(image, 80, kClipMiddle), colours::kSelectedClip);
    EXPECT_EQ(Pixel(image, 60, kClipMiddle), colours::kBackground);
}

TEST_F(TrackPaintingTest, FootPlantsAreMarkedOnTheirClips) {
    // Left foot planted in frames 2-9 of each motion, right foot in 12-20.
    motion.footContacts = FootContacts({std::vector<FootPlant>{{2, 9}}, {{12, 20}}}, 30);
    AddClip(30, 0);
    AddClip(30, 40);
    Model().SetCurrentFrame(150);
    const QImage& image = Grid().RenderImage();
    const int top = CObjectGrid::kClipTop + 2, bottom = CObjectGrid::kClipBottom - 2;
    for (int clipStart : {0, 40}) {
        EXPECT_EQ(Pixel(image, clipStart + 5, top), colours::kLeftPlant);
        EXPECT_NE(Pixel(image, clipStart + 5, bottom), colours::kRightPlant);
        EXPECT_EQ(Pixel(image, clipStart + 15, bottom), colours::kRightPlant);
        EXPECT_NE(Pixel(image, clipStart + 15, top), colours::kLeftPlant);
        EXPECT_NE(Pixel(image, clipStart + 25, top), colours::kLeftPlant);
    }
}

// A media clip shows its file's name, and a selected one the selection's colour.
TEST_F(TrackPaintingTest, MediaClipsShowTheirNameAndTheSelection) {
    probe.frames["intro.avi"] = 60;
    dialogs.answers.push_back({root.Write("user/intro.avi", "v")});
    panel->SetCurrentFrame(0);
    panel->RunCommand(commands::kAddVideo);
    // Pixels inside the clip's edge that pass a test.
    const auto count = [&](auto pass) {
        const QImage& image = panel->MediaTrack().RenderImage();
        int n = 0;
        for (int x = Mapping().XOf(0) + 6; x < Mapping().XOf(60) - 6; ++x) {
            for (int y = 7; y < image.height() - 7; ++y) n += pass(image.pixelColor(x, y));
        }
        return n;
    };
    const auto selected = [](const QColor& c) { return c == colours::kSelectedClip; };
    const auto dark = [](const QColor& c) { return c.lightness() < 60; };
    const auto light = [](const QColor& c) { return c.lightness() > 200; };
    ASSERT_EQ(Model().SelectedMediaPosition(), 0);
    EXPECT_GT(count(selected), 100);
    EXPECT_GT(count(dark), 5);  // dark letters on the selection
    Model().SelectMedia(-1);
    EXPECT_EQ(count(selected), 0);
    EXPECT_GT(count(light), 5);  // white letters on blue
}

// A clip that starts inside the one before it shows its name after their cross-fade, where
// it can be read, and not under the cross-fade's mark.
TEST_F(TrackPaintingTest, AClipsNameFollowsTheCrossFadeOverItsStart) {
    AddClip(30, 0);
    AddClip(30, 40);
    ASSERT_TRUE(Model().MoveClip(Model().PositionOfClipAt(40), 20).done);  // fade 20..29
    Model().Select(-1);
    const QImage& image = Grid().RenderImage();
    const auto lettersIn = [&](int firstFrame, int lastFrame) {
        int count = 0;
        for (int x = Mapping().XOf(firstFrame); x < Mapping().XOf(lastFrame + 1); ++x) {
            for (int y = CObjectGrid::kClipTop + 1; y < CObjectGrid::kClipBottom; ++y) {
                count += image.pixelColor(x, y).lightness() > 200;  // white letters
            }
        }
        return count;
    };
    EXPECT_EQ(lettersIn(20, 29), 0);
    EXPECT_GT(lettersIn(30, 39), 5);
    EXPECT_GT(lettersIn(0, 10), 5);  // the first clip's own name at its start
}

TEST_F(TrackPaintingTest, TransitionZonesShowTheShapeOfTheirCurve) {
    AddClip(30, 0);
    AddClip(30, 60);  // zone 25..64 across the gap
    const auto filledAt = [&](int frame) {
        const QImage& image = Grid().RenderImage();
        // The share of the strip's rows under the curve at that frame.
        int filled = 0;
        for (int y = kStripTop; y <= kStripBottom; ++y) {
            filled += Pixel(image, frame, y) == colours::kCurveFill;
        }
        return filled;
    };
    const int linear = filledAt(35);
    Model().SetCurveType(Model().PositionOfClipAt(10), kCurveEaseIn);
    const int easeIn = filledAt(35);
    Model().SetCurveType(Model().PositionOfClipAt(10), kCurveEaseOut);
    const int easeOut = filledAt(35);
    EXPECT_GT(linear, 0);
    EXPECT_LT(easeIn, linear);  // starts slowly
    EXPECT_GT(easeOut, linear);
    EXPECT_EQ(filledAt(20), 0);  // before the zone
}

TEST_F(TrackPaintingTest, OnlyClipsInTheVisibleRangeAreDrawnUnlessInOverview) {
    AddClip(30, 5000);
    Model().Select(-1);
    const QImage& zoomed = Grid().RenderImage();
    bool anyClip = false;
    for (int x = 0; x < Grid().width(); ++x) {
        anyClip |= zoomed.pixelColor(x, kClipMiddle) == colours::kClip;
    }
    EXPECT_FALSE(anyClip);
    panel->RunCommand(commands::kOverview);
    const QImage& overview = Grid().RenderImage();
    EXPECT_EQ(overview.pixelColor(Mapping().XOf(5015), kClipMiddle), colours::kClip);
}

// Frame numbers grow wider along the timeline; at no zoom and no place do two of them touch,
// and the ruler still carries numbers.
TEST_F(TrackPaintingTest, RulerLabelsNeverRunTogether) {
    const auto check = [&](const std::string& where) {
        SCOPED_TRACE(where);
        panel->Ruler().RenderImage();
        const std::vector<QRect>& rects = panel->Ruler().LabelRects();
        EXPECT_GE(rects.size(), 2u);
        for (size_t i = 1; i < rects.size(); ++i) {
            EXPECT_GT(rects[i].left(), rects[i - 1].right() + 1) << i;
        }
    };
    for (int step = 0; step < 9; ++step) {
        panel->RunCommand(commands::kZoomReset);
        for (int i = CTrackMapping::kDefaultStep; i < step; ++i) panel->RunCommand(commands::kZoomIn);
        for (int i = CTrackMapping::kDefaultStep; i > step; --i) {
            panel->RunCommand(commands::kZoomOut);
        }
        ASSERT_EQ(Mapping().Step(), step);
        for (int frame : {0, 95, 990, 9990, kMaxFrame - 200}) {
            panel->ScrollTo(Mapping().XOf(frame) + Mapping().Scroll());
            check("step " + std::to_string(step) + " at " + std::to_string(frame));
        }
    }
    // The overview of a long timeline squeezes thousands of frames into the ruler.
    for (int end : {100, 3000, 9000, kMaxFrame - 10}) {
        AddClip(10, end);
        if (!Mapping().Overview()) panel->RunCommand(commands::kOverview);
        panel->RedrawTracks();
        check("overview to " + std::to_string(end));
    }
}

TEST_F(TrackPaintingTest, TheWholePanelAsAUserSeesIt) {
    AddClip(120, 0);
    AddClip(90, 130);
    AddClip(60, 230);
    ASSERT_TRUE(Model().MoveClip(Model().PositionOfClipAt(230), 200).done);  // a cross-fade
    AddClip(1, 280);
    Model().SetCurveType(Model().PositionOfClipAt(0), kCurveEaseIn);
    Model().SetInMark(40);
    Model().SetOutMark(150);
    Model().Select(Model().PositionOfClipAt(140));
    probe.frames["intro.avi"] = 80;
    dialogs.answers.push_back({root.Write("user/intro.avi", "v")});
    panel->SetCurrentFrame(10);
    panel->RunCommand(commands::kAddVideo);
    panel->RunCommand(commands::kZoomOut);
    panel->RunCommand(commands::kZoomOut);
    panel->SetCurrentFrame(150);
    panel->resize(1200, 190);
    const QImage shot = panel->grab().toImage();
    EXPECT_EQ(shot.width(), 1200);
    const QString folder = QString(TAVREL_TEST_OUTPUT);
    QDir().mkpath(folder);
    EXPECT_TRUE(shot.save(folder + "/timeline-panel.png"));
    // The overview of the same timeline.
    panel->RunCommand(commands::kOverview);
    EXPECT_TRUE(panel->grab().toImage().save(folder + "/timeline-overview.png"));
}

}  // namespace
}  // namespace tavrel::testing
