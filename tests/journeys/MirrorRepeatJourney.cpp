// A user mirrors a wave from the clip's menu and the avatar waves with its other hand; a walk
// repeated three times from the same menu lies three times as long and walks on through its
// seams as it plays. Ctrl+Z takes each edit back.
#include "compose/PoseEvaluator.h"
#include "tests/journeys/JourneyFixture.h"
#include "timeline/TimelineCommands.h"

namespace tavrel::journeys {
namespace {

class MirrorRepeatJourney : public JourneyFixture {
protected:
    // Right-clicks the clip at the frame and picks the menu's item of that command.
    void ChooseOnClip(int frame, int command) {
        ChooseInNextMenu(Panel().Text(command));
        CObjectGrid* track = MotionTrack();
        Panel().SetCurrentFrame(frame);  // the clip in view
        Click(track, {Panel().Mapping().XOf(frame), track->height() / 2}, Qt::RightButton);
    }
    const MotionClip& OnlyClip() const { return *Model().Project().motionClips.begin(); }
    // A joint as the editor shows the frame.
    rkVector Joint(int frame, const char* name) {
        const auto pose = evaluator.PoseOf(Model().GetFrameSample(frame));
        return rkOrigin(WorldOf(rkFindNode(pose->GetRoot(), name)));
    }
    // How much higher the hand is than the other one at the frame.
    float Raised(int frame, const char* hand, const char* other) {
        return Joint(frame, hand).z - Joint(frame, other).z;
    }

    CMotionManager manager;
    CPoseEvaluator evaluator{manager, std::string(TAVREL_SHARE_DIR) + "/Init.chb"};
};

TEST_F(MirrorRepeatJourney, AMirroredWaveWavesWithTheOtherHandUntilUndone) {
    ASSERT_TRUE(ShowFolder(Library() / "Gestures"));
    ASSERT_TRUE(DropAndWait("wave.cha", 0));
    const int waving = 120;  // the hand is up from 0.7 s to 3.3 s
    ASSERT_GT(Raised(waving, "RHand", "LHand"), 300.0f) << "the sample waves with its right";
    Panel().SetCurrentFrame(waving);
    const QImage before = Next3DPicture();
    const std::string original = OnlyClip().fileName;

    ChooseOnClip(waving, commands::kMirror);
    ASSERT_TRUE(WaitUntil([&] { return OnlyClip().fileName != original; }));
    EXPECT_GT(Raised(waving, "LHand", "RHand"), 300.0f) << "the left hand waves now";
    EXPECT_EQ(OnlyClip().Length(), 240);
    Panel().SetCurrentFrame(waving);
    EXPECT_GT(Difference(before, Next3DPicture()), 0.005) << "the 3D window shows it";

    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return OnlyClip().fileName == original; }));
    EXPECT_GT(Raised(waving, "RHand", "LHand"), 300.0f);
}

TEST_F(MirrorRepeatJourney, AWalkRepeatedThreeTimesWalksOnAndUndoShortensItAgain) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const int length = OnlyClip().Length();

    const auto typed = TypeIntoNextNumberQuestion(3);
    ChooseOnClip(10, commands::kRepeat);
    ASSERT_TRUE(WaitUntil([&] { return OnlyClip().Length() == 3 * length; }));
    EXPECT_TRUE(*typed);
    EXPECT_EQ(Clips(), 1);
    EXPECT_EQ(Model().LastFrame(), 3 * length - 1);

    // The hips go on the way they went at every seam, never back to the start.
    const rkVector way = Joint(length - 1, "LowerTorso") - Joint(0, "LowerTorso");
    for (int seam : {length, 2 * length}) {
        for (int f = seam - 5; f < seam + 5; ++f) {
            const rkVector step = Joint(f + 1, "LowerTorso") - Joint(f, "LowerTorso");
            EXPECT_GT(rkDot(step, way), 0.0f) << f;
        }
    }
    EXPECT_GT(rkDot(Joint(3 * length - 1, "LowerTorso") - Joint(length - 1, "LowerTorso"), way),
              1.5f * rkDot(way, way))
        << "two more walks' way ahead";

    // Played from the first seam, the frame runs on into the repeats.
    Panel().SetCurrentFrame(length - 10);
    Key(Qt::Key_Space);
    ASSERT_TRUE(WaitUntil([&] { return Panel().CurrentFrame() > length + 10; }));
    Key(Qt::Key_Space);
    ASSERT_TRUE(WaitUntil([&] { return !Panel().IsPlaying(); }));

    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return OnlyClip().Length() == length; }));
    EXPECT_EQ(Model().LastFrame(), length - 1);
}

}  // namespace
}  // namespace tavrel::journeys
