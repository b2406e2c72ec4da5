// What the track windows draw, read back from their off-screen images; the whole panel is
// also kept as a picture for a person to look at.
#include <QDir>
#include <QImage>

#include "tests/timeline/ui/PanelFixture.h"
#include "timeline/ui/FrameRuler.h"
#include "timeline/ui/MediaTrack.h"
#include "timeline/ui/SoundTrack.h"
#include "timeline/ui/TimeSlider.h"
#include "timeline/ui/TimelineCommands.h"
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
            filled += Pixel(image, frame, y) == colours::kSelectedClip;
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
