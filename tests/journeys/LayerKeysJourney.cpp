// A user adds a layer over a walk from the timeline's menu, turns the right forearm in
// manipulation mode at two frames (each turn a key on the layer), plays, and the forearm moves
// from one key to the other; Ctrl+Z takes the last key back.
#include <QToolButton>

#include "RKWindow/RKPicker.h"
#include "RKWindow/RKWindowTools.h"
#include "app/CommandIds.h"
#include "compose/PoseEvaluator.h"
#include "motion/QuatSpline.h"
#include "tests/journeys/JourneyFixture.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/LayerRows.h"

namespace tavrel::journeys {
namespace {

class LayerKeysJourney : public JourneyFixture {
protected:
    // A point of the 3D window that shows the segment (null when none does).
    QPoint PointOnSegment(const char* name) {
        CRKSystem* system = View3D()->System();
        for (int y = 8; system && y < View3D()->height(); y += 6) {
            for (int x = 8; x < View3D()->width(); x += 6) {
                const rkNode* picked = CRKPicker::Pick(*system, x, y);
                if (picked && std::string(picked->name) == name) return {x, y};
            }
        }
        return {};
    }

    // Presses on the forearm and drags up by `pixels`, as a user turns it.
    void TurnForearm(int pixels) {
        const QPoint at = PointOnSegment("RLowArm");
        ASSERT_FALSE(at.isNull()) << "the forearm is not in view";
        QWindow* window = View3D()->window()->windowHandle();
        const QPoint from = View3D()->mapTo(View3D()->window(), at);
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, from);
        for (int step = 1; step <= 10; ++step) {
            QTest::mouseMove(window, from - QPoint(0, pixels * step / 10));
            QTest::qWait(10);
        }
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, from - QPoint(0, pixels));
    }

    int Keys() const {
        int keys = 0;
        for (const LayerTrack& track : Model().Layers().tracks) {
            for (const LayerClip& clip : track.clips) keys += int(clip.keys.size());
        }
        return keys;
    }

    // The forearm's rotation as the editor shows the frame.
    Quat Forearm(int frame) {
        const auto pose = evaluator.PoseOf(Model().GetFrameSample(frame));
        return MatrixToQuat(rkFindNode(pose->GetRoot(), "RLowArm")->local);
    }
    static float Between(const Quat& a, const Quat& b) {
        return QuatAngle(QuatMultiply(a, QuatConjugate(b)));
    }

    CMotionManager manager;
    CPoseEvaluator evaluator{manager, std::string(TAVREL_SHARE_DIR) + "/Init.chb"};
};

TEST_F(LayerKeysJourney, TwoKeysOnALayerMoveTheForearmBetweenThemAndUndoTakesOneBack) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    // The key clip made for the first key reaches to the second frame.
    const int first = 20, second = first + CTimelineModel::kKeyClipMargin;
    ASSERT_GT(Model().LastFrame(), second + 10);

    ChooseInNextMenu(Panel().Text(commands::kAddLayer));
    Click(MotionTrack(), {Panel().Mapping().XOf(5), MotionTrack()->height() / 2}, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&] { return Model().Layers().tracks.size() == 1; }));
    EXPECT_EQ(Panel().SelectedLayer(), 0);

    Frame()->Action(command::kManipulation)->trigger();
    ASSERT_TRUE(View3D()->Tools()->InManipulationMode());
    const Quat unkeyedFirst = Forearm(first), unkeyedSecond = Forearm(second);
    Panel().SetCurrentFrame(first);
    TurnForearm(40);
    ASSERT_TRUE(WaitUntil([&] { return Keys() == 1; })) << "the turn made no key";
    Panel().SetCurrentFrame(second);
    TurnForearm(-40);
    ASSERT_TRUE(WaitUntil([&] { return Keys() == 2; }));
    Frame()->Action(command::kManipulation)->trigger();
    const LayerClip& keys = Model().Layers().tracks[0].clips.at(0);
    EXPECT_TRUE(keys.IsKeyClip() && keys.Contains(first) && keys.Contains(second));

    // Played through, the forearm leaves the first key's pose and comes to the second's.
    const Quat atFirst = Forearm(first), atSecond = Forearm(second);
    EXPECT_GT(Between(atFirst, unkeyedFirst), 0.05f) << "the first key turns the forearm";
    EXPECT_GT(Between(atSecond, unkeyedSecond), 0.05f) << "the second key turns it";
    Panel().SetCurrentFrame(first);
    Click(Panel().Button(commands::kPlayAll), Panel().Button(commands::kPlayAll)->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return Model().CurrentFrame() > second; }, 20000));
    Click(Panel().Button(commands::kStop), Panel().Button(commands::kStop)->rect().center());
    float before = 0.0f;
    for (int f = first + 5; f < second; f += 5) {
        const float fromFirst = Between(Forearm(f), atFirst);
        EXPECT_GT(fromFirst, 0.0f) << f;
        before = std::max(before, fromFirst);
    }
    EXPECT_GT(before, Between(atFirst, atSecond) * 0.3f) << "the forearm moves on between the keys";

    // Ctrl+Z takes the second key back: the forearm at the second frame (the key clip's last)
    // is as the walk has it again.
    Panel().setFocus();
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Keys() == 1; }));
    EXPECT_LT(Between(Forearm(second), unkeyedSecond), 1e-3f);
    EXPECT_LT(Between(Forearm(first), atFirst), 1e-4f) << "the first key stays";
}

// The strip grows to show the layer's row; the user sets a key clip's weight by number and drags
// its end out with the mouse; undo takes the drag back.
TEST_F(LayerKeysJourney, ALayerRowShowsInFullAndItsClipIsSetAndStretchedByHand) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const int stripBefore = Panel().height();
    ChooseInNextMenu(Panel().Text(commands::kAddLayer));
    Click(MotionTrack(), {Panel().Mapping().XOf(5), MotionTrack()->height() / 2}, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&] { return Model().Layers().tracks.size() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return Panel().height() > stripBefore + CLayerRows::kRowHeight; }))
        << "the strip stays " << Panel().height() << " high";
    CLayerRows* rows = Find<CLayerRows>();
    ASSERT_TRUE(rows && rows->isVisible());
    EXPECT_EQ(rows->height(), CLayerRows::kRowHeight);
    ASSERT_TRUE(Panel().Model().SetKey(0, 40, kHead, {0.98f, 0.2f, 0, 0}).done);  // a clip of 10-70
    const LayerClip& clip = Model().Layers().tracks[0].clips.at(0);
    const int first = clip.firstFrame, last = clip.lastFrame;

    const QPoint middle(Panel().Mapping().XOf(40), CLayerRows::kRowHeight / 2);
    TypeIntoNextNumberQuestion(40);
    ChooseInNextMenu(Panel().Text(commands::kLayerWeightAsk));
    Click(rows, middle, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&] { return Model().Layers().tracks[0].clips[0].weight == 0.4f; }));

    const QPoint end(Panel().Mapping().XOf(last + 1) - 1, middle.y());
    const QPoint further(Panel().Mapping().XOf(last + 21), middle.y());
    QWindow* window = rows->window()->windowHandle();
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, rows->mapTo(rows->window(), end));
    for (int step = 1; step <= 10; ++step) {
        QTest::mouseMove(window, rows->mapTo(rows->window(), end + (further - end) * step / 10));
        QTest::qWait(10);
    }
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier,
                        rows->mapTo(rows->window(), further));
    ASSERT_TRUE(WaitUntil([&] { return Model().Layers().tracks[0].clips[0].lastFrame > last; }));
    EXPECT_NEAR(Model().Layers().tracks[0].clips[0].lastFrame, last + 20, 2);
    EXPECT_EQ(Model().Layers().tracks[0].clips[0].firstFrame, first);
    EXPECT_EQ(Model().Layers().tracks[0].clips[0].keys.at(0).frame, 40 - first);
    Panel().setFocus();
    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Model().Layers().tracks[0].clips[0].lastFrame == last; }));
}

}  // namespace
}  // namespace tavrel::journeys
