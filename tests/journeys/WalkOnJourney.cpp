// A second walk dropped over the end of the first walks on from where the first one stopped,
// with no action of the user's; the clip's menu keeps it in its own place, and Ctrl+Z undoes
// that exactly. Through the blend the avatar's feet stay planted.
#include "compose/PoseEvaluator.h"
#include "tests/journeys/JourneyFixture.h"
#include "timeline/ClipPlace.h"

namespace tavrel::journeys {
namespace {

using WalkOnJourney = JourneyFixture;

TEST_F(WalkOnJourney, TheSecondWalkGoesOnFromTheFirst) {
    ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    const int overlapStart = Model().LastFrame() - 9;
    AnswerNextMessageByKey(Qt::Key_Return);  // the first choice: a blend
    ASSERT_TRUE(DropAndWait("walk.cha", overlapStart, Qt::ShiftModifier));  // exactly there

    // The second walk stands where the first leaves the body: ahead of the capture's place.
    const MotionClip placed = *Model().Project().motionClips.begin();
    ASSERT_EQ(placed.firstFrame, overlapStart);
    const GroundPlace ground = ClipPlaceOf(placed.offset).ground;
    EXPECT_GT(std::hypot(ground.x, ground.y), 500.0f) << "a walk of a few steps goes on";

    // Through the blend the hips never go back (the plain mix drags them to the capture's place).
    CMotionManager manager;
    const std::string rest = std::string(TAVREL_SHARE_DIR) + "/Init.chb";
    CPoseEvaluator evaluator(manager, rest);
    const auto hips = [&](int frame) {
        return rkOrigin(evaluator.PoseOf(Model().GetFrameSample(frame))->GetRoot()->local);
    };
    const rkVector way = hips(overlapStart) - hips(0);
    for (int f = overlapStart; f <= overlapStart + 10; ++f)
        EXPECT_GE(rkDot(hips(f + 1) - hips(f), way), 0.0f) << f;

    // Keep its own place, from the clip's menu: it stays where it stands, whatever comes before.
    ChooseInNextMenu("Keep its own place");
    CObjectGrid* track = MotionTrack();
    Panel().SetCurrentFrame(overlapStart + 15);  // the clip in view
    Click(track, {Panel().Mapping().XOf(overlapStart + 15), track->height() / 2}, Qt::RightButton);
    ASSERT_TRUE(WaitUntil([&] {
        return ClipPlaceOf(Model().Project().motionClips.begin()->offset).ownPlace;
    }));
    EXPECT_EQ(ClipPlaceOf(Model().Project().motionClips.begin()->offset).ground, ground);

    Key(Qt::Key_Z, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] {
        return !ClipPlaceOf(Model().Project().motionClips.begin()->offset).ownPlace;
    }));
    EXPECT_EQ(Model().Project().motionClips.begin()->offset, placed.offset) << "undone exactly";
}

}  // namespace
}  // namespace tavrel::journeys
