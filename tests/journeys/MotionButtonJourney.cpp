// A user adds motions with the timeline's Motion button, typing each file's path into the open
// dialog: a damaged file is refused with a message that names it and says why, and leaves the
// timeline as it was; a sound one then lies on the track.
#include <QToolButton>
#include <fstream>

#include "tests/journeys/JourneyFixture.h"
#include "timeline/TimelineCommands.h"

namespace tavrel::journeys {
namespace {

using MotionButtonJourney = JourneyFixture;

TEST_F(MotionButtonJourney, ADamagedFileIsNamedWithWhyAndASoundOneIsAdded) {
    fs::create_directories(Home() / "takes");
    const fs::path broken = Home() / "takes/broken.cha";
    std::ofstream(broken) << "not a motion at all\n";
    const fs::path walk = Home() / "takes/walk.cha";
    fs::copy_file(Library() / "Locomotion/walk.cha", walk);
    QWidget* button = Panel().Button(commands::kAddMotion);
    ASSERT_TRUE(button && button->isEnabled());

    const auto told = AnswerNextMessage(QMessageBox::Ok);
    auto typed = TypeIntoNextFileDialog(broken);
    Click(button, button->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return !told->isEmpty(); })) << "no word of the damaged file";
    EXPECT_TRUE(*typed);
    EXPECT_TRUE(told->startsWith("broken.cha could not be read (")) << told->toStdString();
    EXPECT_FALSE(told->contains('%')) << told->toStdString();
    EXPECT_EQ(Clips(), 0);
    EXPECT_FALSE(Model().IsModified());

    typed = TypeIntoNextFileDialog(walk);
    Click(button, button->rect().center());
    ASSERT_TRUE(WaitUntil([&] { return Clips() == 1; })) << "the walk was not added";
    EXPECT_TRUE(Model().IsModified());
}

}  // namespace
}  // namespace tavrel::journeys
