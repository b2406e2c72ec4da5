// A user eases a walk in from the clip's menu: it keeps its length, its first and last poses,
// and at its middle frame the avatar has walked only about a quarter of the way; stepping onto
// that frame shows it, playing runs on through the clip, and Ctrl+Z gives the even walk back.
#include <QHelpEvent>
#include <QToolTip>

#include "compose/PoseEvaluator.h"
#include "tests/journeys/JourneyFixture.h"
#include "timeline/TimelineCommands.h"
#include "timeline/ui/TimelineStrings.h"

namespace tavrel::journeys {
namespace {

class SpeedCurveJourney : public JourneyFixture {
protected:
    // Right-clicks the clip at the frame and picks the speed submenu's item of the command.
    void ChooseSpeed(int frame, int command) {
        ChooseInNextMenu(QStringList{Panel().Text(strings::kSpeedMenu), Panel().Text(command)});
        CObjectGrid* track = MotionTrack();
        Panel().SetCurrentFrame(frame);  // the clip in view
        const int clips = (CObjectGrid::kClipTop + track->ClipBottom()) / 2;
        Click(track, {Panel().Mapping().XOf(frame), clips}, Qt::RightButton);
    }
    const MotionClip& OnlyClip() const { return *Model().Project().motionClips.begin(); }
    rkVector Hips(int frame) {
        const auto pose = evaluator.PoseOf(Model().GetFrameSample(frame));
        return rkOrigin(WorldOf(rkFindNode(pose->GetRoot(), "LowerTorso")));
    }
    // How far along its way from the first frame to the last the walk is at the frame.
    float Progress(int frame, int last) {
        const rkVector way = Hips(last) - Hips(0);
        return rkDot(Hips(frame) - Hips(0), way) / rkDot(way, way);
    }

    CMotionManager manager;
    CPoseEvaluator evaluator{manager, std::string(TAVREL_SHARE_DIR) + "/Init.chb"};
};

TEST_F(SpeedCurveJourney, AnEasedInWalkStartsSlowKeepsItsEndsAndUndoes) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const std::string original = OnlyClip().fileName;
    const int length = OnlyClip().Length(), last = length - 1, middle = length / 2;
    const rkVector start = Hips(0), end = Hips(last);
    const float even = Progress(middle, last);
    ASSERT_GT(even, 0.35f) << "the sample walks on evenly";
    ASSERT_LT(even, 0.65f);
    Panel().SetCurrentFrame(middle);
    const QImage evenPicture = Next3DPicture();

    ChooseSpeed(middle, commands::kSpeedCommands[kSpeedEaseIn]);
    ASSERT_TRUE(WaitUntil([&] { return OnlyClip().speedCurve == kSpeedEaseIn; }));
    EXPECT_EQ(OnlyClip().Length(), length);
    EXPECT_EQ(OnlyClip().sourceFileName, original);
    EXPECT_LT(rkLength(Hips(0) - start), 1.0f) << "the first pose stays";
    EXPECT_LT(rkLength(Hips(last) - end), 1.0f) << "the last pose stays";
    EXPECT_LT(Progress(middle, last), even - 0.15f) << "half the time, a quarter of the way";
    EXPECT_GT(Progress(last - 3, last), 0.85f);
    // Resting on the clip, the pointer's tip names the curve.
    CObjectGrid* track = MotionTrack();
    const QPoint over(Panel().Mapping().XOf(middle),
                      (CObjectGrid::kClipTop + track->ClipBottom()) / 2);
    const QString eased = Panel().Text(commands::kSpeedCommands[kSpeedEaseIn]);
    QWidget* top = track->window();
    QTest::mouseMove(top->windowHandle(), track->mapTo(top, over + QPoint(8, 0)));
    QTest::mouseMove(top->windowHandle(), track->mapTo(top, over));
    ASSERT_TRUE(WaitUntil([&] { return track->toolTip().endsWith(eased); }))
        << track->toolTip().toStdString();
    QHelpEvent rest(QEvent::ToolTip, over, track->mapToGlobal(over));
    QApplication::sendEvent(track, &rest);
    EXPECT_TRUE(WaitUntil([&] { return QToolTip::text().endsWith(eased); }))
        << QToolTip::text().toStdString();
    QToolTip::hideText();

    // Stepped onto the middle frame, the 3D window shows the eased pose.
    Panel().SetCurrentFrame(middle - 1);
    Key(Qt::Key_Right);
    ASSERT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() == middle; }));
    EXPECT_GT(Difference(evenPicture, Next3DPicture()), 0.002) << "another pose at the middle";
    // Played, the frame runs on through the eased clip.
    Panel().SetCurrentFrame(0);
    Key(Qt::Key_Space);
    ASSERT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() > middle; }));
    Key(Qt::Key_Space);
    ASSERT_TRUE(WaitUntil([&] { return !Panel().IsPlaying(); }));

    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return OnlyClip().fileName == original; }));
    EXPECT_EQ(OnlyClip().speedCurve, kSpeedConstant);
    EXPECT_NEAR(Progress(middle, last), even, 1e-4f);
}

}  // namespace
}  // namespace tavrel::journeys
