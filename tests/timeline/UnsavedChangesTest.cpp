// When a project counts as changed, and what each answer to the save question lets happen.
#include <gtest/gtest.h>

#include <random>

#include "tests/timeline/TimelineFixture.h"
#include "timeline/UnsavedChangesGuard.h"

namespace tavrel {
namespace {

using testing::ClipsOf;

// Random edits, non-undoable changes, undo, redo and saves. Whenever the clips differ from
// those last saved the project reads changed; whenever undo or redo lead back to the step that
// was saved (and no edit since branched away from it or changed it in place) it reads
// unchanged.
class ModifiedProperty : public testing::TimelineFixture {};

TEST_F(ModifiedProperty, ChangedExactlyAwayFromTheSavedStep) {
    std::mt19937 random(7);
    for (int sequence = 0; sequence < 30; ++sequence) {
        model->NewProject(CTimelineProject());
        ASSERT_FALSE(model->IsModified());
        std::vector<MotionClip> saved;
        int savedStep = 0;  // the undo count at the save
        bool savedReachable = true;
        for (int step = 0; step < 30; ++step) {
            const int before = model->UndoCount();
            const auto clips = model->Project().motionClips.Count();
            switch (random() % 7) {
                case 0:
                case 1:
                    if (Add(1 + int(random() % 20), int(random() % 60)).done && savedStep > before)
                        savedReachable = false;  // the saved step was on the redo list
                    break;
                case 2:
                    if (clips && model->MoveClip(int(random() % clips), int(random() % 80)).done &&
                        savedStep > before)
                        savedReachable = false;
                    break;
                case 3:
                    model->Undo();
                    break;
                case 4:
                    model->Redo();
                    break;
                case 5:
                    if (clips) {
                        // A curve change is an edit of its own, as any other.
                        if (model->SetCurveType(int(random() % clips), random() % 3) &&
                            savedStep > before)
                            savedReachable = false;
                    }
                    break;
                default:
                    model->MarkSaved();
                    saved = ClipsOf(model->Project());
                    savedStep = model->UndoCount();
                    savedReachable = true;
                    break;
            }
            if (ClipsOf(model->Project()) != saved) {
                ASSERT_TRUE(model->IsModified()) << "sequence " << sequence << " step " << step;
            }
            if (savedReachable && model->UndoCount() == savedStep) {
                ASSERT_FALSE(model->IsModified()) << "sequence " << sequence << " step " << step;
            }
        }
    }
}

TEST_F(ModifiedProperty, TheSoundTrackAndARestoredCopyCountAsChanges) {
    Add(10, 0);
    model->MarkSaved();
    const std::string wav = root.Write("user/a.wav", "RIFF");
    ASSERT_TRUE(model->SetSoundFile(wav).done);
    EXPECT_TRUE(model->IsModified());
    model->MarkSaved();
    model->MarkUnsaved();
    EXPECT_TRUE(model->IsModified());
    model->NewProject(CTimelineProject());
    EXPECT_FALSE(model->IsModified());
}

TEST(UnsavedChangesGuard, EachAnswerLetsTheProjectGoOrKeepsIt) {
    struct Case {
        bool modified;
        SaveAnswer answer;
        bool saveWorks;
        bool mayLeave, asked, saved, discarded;
    } cases[] = {
        {false, SaveAnswer::kCancel, false, true, false, false, false},
        {true, SaveAnswer::kCancel, true, false, true, false, false},
        {true, SaveAnswer::kDiscard, true, true, true, false, true},
        {true, SaveAnswer::kSave, true, true, true, true, false},
        // A save that fails or whose file name is not given keeps the project.
        {true, SaveAnswer::kSave, false, false, true, true, false},
    };
    for (const Case& c : cases) {
        std::string askedFor;
        bool saved = false, discarded = false;
        CUnsavedChangesGuard guard(
            [&](const std::string& name) {
                askedFor = name;
                return c.answer;
            },
            [&] { return saved = true, c.saveWorks; }, [&] { discarded = true; });
        SCOPED_TRACE(::testing::Message() << "modified " << c.modified << " answer "
                                          << int(c.answer) << " save works " << c.saveWorks);
        EXPECT_EQ(guard.MayLeave(c.modified, "dance.tvp"), c.mayLeave);
        EXPECT_EQ(askedFor, c.asked ? "dance.tvp" : "");
        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(discarded, c.discarded);
    }
}

}  // namespace
}  // namespace tavrel
