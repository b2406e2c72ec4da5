// Mirror and repeat of the selected clip: each one undo step that plays a new file of the
// working folder; a repeat stretches the clip over its repeats only where they fit, and a
// figure without sides is refused with the reason.
#include <gtest/gtest.h>

#include <optional>

#include "settings/StringIds.h"
#include "tests/timeline/TimelineFixture.h"

namespace tavrel {
namespace {

using testing::ReadFile;
using MirrorRepeatEdits = testing::TimelineFixture;

TEST_F(MirrorRepeatEdits, ARepeatStretchesTheClipOverItsRepeatsWhereTheyFit) {
    struct Case {
        const char* name;
        int length, first;             // the selected clip
        std::optional<int> nextFirst;  // a clip after it
        int times;
        int last;  // the clip's last frame after the repeat; -1: refused
    };
    const Case cases[] = {
        {"three walks", 30, 0, std::nullopt, 3, 89},
        {"up to the next clip", 30, 0, 60, 2, 59},
        {"into the next clip", 30, 0, 59, 2, -1},
        {"past the timeline's end", 30, kMaxFrame - 40, std::nullopt, 2, -1},
        {"once is no repeat", 30, 0, std::nullopt, 1, -1},
        {"a hundred", 5, 0, std::nullopt, 100, 499},
        {"more than a hundred", 5, 0, std::nullopt, 101, -1},
        {"a still pose", 1, 0, std::nullopt, 3, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model->NewProject(CTimelineProject());
        if (c.nextFirst) {
            ASSERT_TRUE(Add(10, *c.nextFirst).done);
        }
        ASSERT_TRUE(Add(c.length, c.first).done);
        ASSERT_TRUE(model->Select(PositionOf(c.first)));
        const std::vector<MotionClip> before = Clips();
        const MotionClip clip = *model->SelectedClip();
        EXPECT_EQ(model->CanRepeatSelected(c.times), c.last >= 0);
        const EditResult result = model->RepeatSelected(c.times);
        ASSERT_EQ(result.done, c.last >= 0) << result.message.id;
        if (!result.done) {
            EXPECT_EQ(result.message.id, strings::kRepeatImpossible);
            EXPECT_EQ(Clips(), before);
            continue;
        }
        const MotionClip& repeated = *model->SelectedClip();
        EXPECT_EQ(repeated.firstFrame, c.first);
        EXPECT_EQ(repeated.lastFrame, c.last);
        EXPECT_EQ(motion.FrameCount(repeated.fileName), repeated.Length());
        EXPECT_NE(repeated.fileName, clip.fileName);
        EXPECT_EQ(repeated.transitionIn, clip.transitionIn);
        EXPECT_EQ(Clips().size(), before.size());
        ASSERT_TRUE(model->Undo().done);
        EXPECT_EQ(Clips(), before);
    }
}

TEST_F(MirrorRepeatEdits, AMirrorPlaysAMirroredFileAndAFigureWithoutSidesSaysWhy) {
    ASSERT_TRUE(Add(20, 0).done);
    ASSERT_TRUE(Add(20, 40, "lopsided.cha").done);
    ASSERT_TRUE(model->Select(PositionOf(0)));
    const std::string original = model->SelectedClip()->fileName;
    ASSERT_TRUE(model->MirrorSelected().done);
    EXPECT_NE(ReadFile(model->SelectedClip()->fileName).find("mirrored " + original),
              std::string::npos);
    EXPECT_EQ(model->SelectedClip()->Length(), 20);

    ASSERT_TRUE(model->Select(PositionOf(40)));
    const std::vector<MotionClip> before = Clips();
    const EditResult refused = model->MirrorSelected();
    EXPECT_FALSE(refused.done);
    EXPECT_EQ(refused.message.id, strings::kMirrorImpossible);
    EXPECT_EQ(refused.message.Text(CStringTable::BuiltIn().Lookup()),
              "The clip could not be mirrored: the figure has no left and right segments.");
    EXPECT_EQ(Clips(), before);
    ASSERT_TRUE(model->Undo().done);  // the mirror before is the last step
    EXPECT_EQ(model->ClipAtPosition(PositionOf(0))->fileName, original);
}

}  // namespace
}  // namespace tavrel
