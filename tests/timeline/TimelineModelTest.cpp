#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <tuple>

#include "motion/AnimFileFactory.h"
#include "settings/StringIds.h"
#include "tests/timeline/TimelineFixture.h"
#include "timeline/TimelineModel.h"
#include "timeline/ui/TimelineStrings.h"

namespace tavrel {
namespace {

using testing::Range;
using testing::ReadFile;
using testing::TimelineFixture;
using RangeList = std::vector<Range>;

class Model : public TimelineFixture {};

TEST_F(Model, InsertPlacesACopyAtTheCurrentFrame) {
    const std::string user = UserFile("walk.cha", 30);
    const std::string bytes = ReadFile(user);
    model->SetCurrentFrame(10);
    ASSERT_TRUE(model->AddMotionFile(user).done);
    const MotionClip clip = Clips().at(0);
    EXPECT_EQ(Range(clip.firstFrame, clip.lastFrame), Range(10, 39));
    EXPECT_EQ(clip.fileName, workingDirectory->Path() + "/walk.cha");
    EXPECT_EQ(clip.transitionIn, 5);
    EXPECT_EQ(clip.transitionOut, 5);
    EXPECT_EQ(clip.sourceLast, 29);
    EXPECT_EQ(model->SelectedPosition(), 0);
    EXPECT_EQ(model->UndoCount(), 1);
    // The same file again gets a copy of its own.
    ASSERT_TRUE(Add(30, 100, "walk.cha").done);
    EXPECT_EQ(Clips().at(1).fileName, workingDirectory->Path() + "/walk_1.cha");
    EXPECT_EQ(ReadFile(user), bytes);
}

TEST_F(Model, ConvertedFilesEnterWithTheirConvertedLengthAndSayWhatWasLeftOut) {
    // The fake converts HTR, BVH and FBX files as from half the timeline's rate; BVH loses
    // "Tail", and a file named for its rigs holds several skeletons.
    const struct {
        const char* name;
        int frames, length;
        int report;
        const char* told;
    } cases[] = {{"walk.cha", 10, 10, 0, ""},
                 {"jump.htr", 10, 19, 0, ""},
                 {"capture.bvh", 10, 19, strings::kJointsLeftOut, "Tail"},
                 {"Capture2.BVH", 4, 7, strings::kJointsLeftOut, "Tail"},
                 {"rigs.fbx", 4, 7, strings::kSkeletonTaken, "2 rigs, 1 taken"},
                 {"rigs.bvh", 4, 7, strings::kSkeletonTakenJointsLeftOut, "Tail"}};
    int at = 0;
    for (const auto& c : cases) {
        const EditResult result = Add(c.frames, at, c.name);
        ASSERT_TRUE(result.done) << c.name;
        const MotionClip clip = Clips().back();
        EXPECT_EQ(Range(clip.firstFrame, clip.lastFrame), Range(at, at + c.length - 1)) << c.name;
        EXPECT_EQ(motion.FrameCount(clip.fileName), c.length) << c.name;
        EXPECT_EQ(result.message.id, c.report) << c.name;
        if (c.report) {
            const std::string text = result.message.Text(CStringTable::BuiltIn().Lookup());
            EXPECT_NE(text.find(c.name), std::string::npos) << text;
            EXPECT_NE(text.find(c.told), std::string::npos) << text;
            EXPECT_EQ(text.find('%'), std::string::npos) << text;
        }
        at += c.length + 10;
    }
    // A refused insert leaves no converted file behind.
    const size_t files =
        std::distance(std::filesystem::directory_iterator(workingDirectory->Path()),
                      std::filesystem::directory_iterator());
    model->SetCurrentFrame(kMaxFrame - 2);
    EXPECT_FALSE(model->AddMotionFile(UserFile("long.bvh", 10)).done);
    EXPECT_EQ(size_t(std::distance(std::filesystem::directory_iterator(workingDirectory->Path()),
                                   std::filesystem::directory_iterator())),
              files);
}

TEST_F(Model, AFileOfSeveralTakesAsksWhichComesInAndACancelLeavesAllAsItWas) {
    const std::string dance = root / "user/dance.fbx", solo = root / "user/solo.fbx";
    std::filesystem::create_directories(root / "user");
    testing::WriteFakeMotion(dance, 10, "takes Walk Run");
    testing::WriteFakeMotion(solo, 10, "takes Walk");
    // answer, file, whether it is asked, what comes in
    const std::tuple<std::optional<std::string>, std::string, bool, const char*> cases[] = {
        {std::nullopt, dance, true, nullptr},
        {"Run", dance, true, " take Run"},
        {std::nullopt, solo, false, ""},
    };
    for (const auto& [answer, file, asks, taken] : cases) {
        SCOPED_TRACE(file + " " + answer.value_or("cancel"));
        decisions.take = answer;
        decisions.asked.clear();
        decisions.offeredTakes.clear();
        const std::vector<MotionClip> before = Clips();
        const EditResult result = model->AddMotionFile(file);
        using Names = std::vector<std::string>;
        EXPECT_EQ(decisions.asked, asks ? std::vector<int>{strings::kChooseTake} : std::vector<int>());
        EXPECT_EQ(decisions.offeredTakes, asks ? Names({"Walk", "Run"}) : Names());
        ASSERT_EQ(result.done, taken != nullptr);
        if (!taken) {
            EXPECT_EQ(result.message.id, 0);  // a cancel is no failure to report
            EXPECT_EQ(Clips().size(), before.size());
            continue;
        }
        model->SetCurrentFrame(Clips().back().lastFrame + 5);
        const std::string copy = ReadFile(Clips().back().fileName);
        EXPECT_NE(copy.find("converted " + file + taken + "\n"), std::string::npos) << copy;
    }
}

TEST(MotionFileDialogs, OfferAndAcceptEveryFormatTheReadersTake) {
    const StringLookup text = CStringTable::BuiltIn().Lookup();
    const std::string accepted = "," + text(strings::kAcceptedExtensions) + ",";
    for (const std::string ext : {"cha", "chb", "htr", "bvh", "fbx", "gltf", "glb", "dae"}) {
        ASSERT_NE(MotionFileTypeOf("a." + ext), kTypeUnknown) << ext;
        EXPECT_NE(accepted.find("," + ext + ","), std::string::npos) << ext;
        std::string upper = ext;
        for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
        for (int filter : {strings::kOpenFilters[0], strings::kOpenFilters[1]}) {
            EXPECT_NE(text(filter).find("*." + ext + " "), std::string::npos) << text(filter);
            EXPECT_NE(text(filter).find("*." + upper), std::string::npos) << text(filter);
        }
    }
}

// A refused or cancelled insert leaves the track and the undo list as they were.
TEST_F(Model, InsertRefusalsChangeNothing) {
    const struct {
        const char* name;
        Range existing, added;
        OverlapChoice overlap;
        int message;
        std::vector<int> asked;
    } cases[] = {
        {"beyond the end", {0, 9}, {kMaxFrame - 5, kMaxFrame + 4}, OverlapChoice::kCancel,
         strings::kClipBeyondEnd, {}},
        {"overlap cancelled", {10, 29}, {15, 24}, OverlapChoice::kCancel, 0,
         {strings::kClipOverlapQuestion}},
        {"shifted past the end", {kMaxFrame - 9, kMaxFrame}, {kMaxFrame - 14, kMaxFrame - 5},
         OverlapChoice::kShift, strings::kShiftBeyondEnd, {strings::kClipBlendQuestion}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        model->NewProject(CTimelineProject());
        ASSERT_TRUE(Add(c.existing.second - c.existing.first + 1, c.existing.first).done);
        decisions.overlap = c.overlap;
        decisions.asked.clear();
        const EditResult result = Add(c.added.second - c.added.first + 1, c.added.first);
        EXPECT_FALSE(result.done);
        EXPECT_EQ(result.message.id, c.message);
        EXPECT_EQ(decisions.asked, c.asked);
        EXPECT_EQ(Ranges(), RangeList{c.existing});
        EXPECT_EQ(model->UndoCount(), 1);
    }
    model->SetCurrentFrame(50);
    const Message unusable = model->AddMotionFile(root / "user/none.cha").message;
    EXPECT_EQ(unusable.id, strings::kMotionFileUnusable);
    // The message names the file and gives a reason.
    ASSERT_EQ(unusable.values.size(), 2u);
    EXPECT_EQ(unusable.values[0].second, "none.cha");
    EXPECT_FALSE(unusable.values[1].second.empty());
    EXPECT_EQ(model->AddMotionFile("/" + std::string(300, 'a') + ".cha").message.id,
              strings::kPathTooLong);
    EXPECT_EQ(Ranges(), (RangeList{{kMaxFrame - 9, kMaxFrame}}));
    EXPECT_EQ(model->UndoCount(), 1);
}

TEST_F(Model, ReplaceRemovesEveryOverlappedClip) {
    ASSERT_TRUE(Add(10, 0).done);
    ASSERT_TRUE(Add(10, 20).done);
    ASSERT_TRUE(Add(10, 40).done);
    const std::string first = Clips()[0].fileName, second = Clips()[1].fileName;
    decisions.overlap = OverlapChoice::kReplace;
    ASSERT_TRUE(Add(25, 5).done);
    EXPECT_EQ(Ranges(), (RangeList{{5, 29}, {40, 49}}));
    EXPECT_TRUE(model->RemovedFiles().Contains(first));
    EXPECT_TRUE(model->RemovedFiles().Contains(second));
}

TEST_F(Model, ShiftMovesTheFirstOverlappedClipAndAllLaterOnes) {
    ASSERT_TRUE(Add(10, 0).done);
    ASSERT_TRUE(Add(10, 20).done);
    ASSERT_TRUE(Add(10, 40).done);
    decisions.overlap = OverlapChoice::kShift;
    // The new clip starts where the second one did: that one moves to 5 frames after its end.
    ASSERT_TRUE(Add(10, 20).done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 9}, {20, 29}, {34, 43}, {54, 63}}));
    // A clip that starts before the new one but reaches into it moves as well.
    ASSERT_TRUE(Add(5, 8).done);
    EXPECT_EQ(Ranges(), (RangeList{{8, 12}, {17, 26}, {37, 46}, {51, 60}, {71, 80}}));
}

// A clip blended over the end of another moves to the best point the motions offer: trimmed at
// its head by the frames before its meeting frame, starting where the earlier clip's frame meets
// it, blending over the whole overlap, in one undo step. Dropped exactly, answered with a shift,
// or where the move would run into the next clip, it stays where it fell.
TEST_F(Model, ABlendMovesToTheBestPointOfItsOverlap) {
    motion.bestTransition = [](const std::string&, const std::string&, const MatchLimits& l) {
        // The dropped overlap of 10 frames at A's frame 30, or the best: 14 frames from A's 26,
        // meeting B's frame 3.
        return l.minOverlap == l.maxOverlap ? TransitionPoint{30, 0, 10, 50.0f}
                                            : TransitionPoint{26, 3, 14, 10.0f};
    };
    struct Case {
        const char* name;
        OverlapChoice answer;
        bool exactly;
        int next;  // first frame of a clip after, or -1
        Range expected;
    };
    const Case cases[] = {
        {"snapped", OverlapChoice::kBlend, false, -1, {26, 42}},
        {"exactly", OverlapChoice::kBlend, true, -1, {30, 49}},
        {"shifted", OverlapChoice::kShift, false, -1, {30, 49}},
        {"blocked", OverlapChoice::kBlend, false, 41, {30, 49}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model->NewProject(CTimelineProject());
        ASSERT_TRUE(Add(40, 0).done);
        if (c.next >= 0) {
            ASSERT_TRUE(Add(10, c.next).done);
        }
        const int undo = model->UndoCount();
        decisions.overlap = c.answer;
        model->SetCurrentFrame(30);
        ASSERT_TRUE(model->AddMotionFile(UserFile("b.cha", 20), c.exactly).done);
        const MotionClip added = *model->SelectedClip();
        EXPECT_EQ(Range(added.firstFrame, added.lastFrame), c.expected);
        EXPECT_EQ(motion.FrameCount(added.fileName), added.Length());
        EXPECT_EQ(model->LastBlendSnap().has_value(), c.expected.first == 26);
        if (c.expected.first == 26) {
            EXPECT_EQ(added.transitionIn, 14);
            EXPECT_EQ(model->ClipAtPosition(model->PositionOfClipAt(0))->transitionOut, 14);
            EXPECT_EQ(model->LastBlendSnap()->distance, 10.0f);
            EXPECT_EQ(model->LastBlendSnap()->droppedDistance, 50.0f);
        }
        EXPECT_EQ(model->UndoCount(), undo + 1);
        ASSERT_TRUE(model->Undo().done);
        EXPECT_EQ(model->Project().motionClips.Count(), c.next >= 0 ? 2 : 1);
    }
}

// Blending is offered exactly where the overlap could have been made by a move, and a blend
// keeps both clips whole so that they cross-fade over the shared frames.
TEST_F(Model, BlendIsOfferedWhereTheOverlapCanCrossFade) {
    struct Case {
        RangeList before;  // clips made without any question
        Range added;       // the new clip's range
        bool offered;
    };
    const Case cases[] = {
        {{{0, 29}}, {25, 34}, true},              // over the end of a clip
        {{{20, 49}}, {10, 24}, true},             // over the start of one
        {{{0, 29}, {40, 69}}, {25, 44}, true},    // between two, over both ends
        {{{0, 29}}, {5, 14}, false},              // inside a clip
        {{{10, 19}}, {0, 29}, false},             // swallowing a clip
        {{{0, 0}}, {0, 9}, false},                // over a one-frame clip
        {{{0, 29}, {20, 49}}, {25, 59}, false},   // over both clips of a blend
    };
    for (const Case& c : cases) {
        model->NewProject(CTimelineProject());
        SCOPED_TRACE(c.added.first);
        decisions.overlap = OverlapChoice::kBlend;
        for (const Range& r : c.before) ASSERT_TRUE(Add(r.second - r.first + 1, r.first).done);
        const int undo = model->UndoCount();
        decisions.asked.clear();
        decisions.blendOffered.clear();
        const EditResult result = Add(c.added.second - c.added.first + 1, c.added.first);
        ASSERT_EQ(decisions.blendOffered, std::vector<bool>{c.offered});
        EXPECT_EQ(decisions.asked.at(0),
                  c.offered ? strings::kClipBlendQuestion : strings::kClipOverlapQuestion);
        RangeList expected = c.before;
        if (c.offered) expected.push_back(c.added);
        std::sort(expected.begin(), expected.end());
        // A blend not offered is taken as no answer: nothing changes.
        EXPECT_EQ(result.done, c.offered);
        EXPECT_EQ(Ranges(), expected);
        EXPECT_EQ(model->UndoCount(), undo + (c.offered ? 1 : 0));
    }
    // The blended frames mix the two clips: at 30 the first clip's frame 30 meets the second's 5.
    model->NewProject(CTimelineProject());
    ASSERT_TRUE(Add(40, 0).done);
    ASSERT_TRUE(Add(20, 25).done);
    const FrameSample sample = model->GetFrameSample(30);
    EXPECT_EQ(sample.localA, 30);
    EXPECT_EQ(sample.localB, 5);
    EXPECT_FLOAT_EQ(sample.weight, 5.0f / 15.0f);
}

TEST_F(Model, MovesFollowTheCrossFadeRules) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(30, 100).done);
    ASSERT_TRUE(Add(5, 200).done);
    EXPECT_FALSE(model->MoveClip(PositionOf(100), 100).done);  // no change, no record
    // Its first 10 frames over the last 10 of its predecessor: a 10-frame cross-fade.
    ASSERT_TRUE(model->MoveClip(PositionOf(100), 20).done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 29}, {20, 49}, {200, 204}}));
    // A 5-frame clip into the middle of a 30-frame clip.
    EXPECT_FALSE(model->MoveClip(PositionOf(200), 5).done);
    EXPECT_EQ(model->UndoCount(), 4);
    EXPECT_EQ(model->SelectedPosition(), PositionOf(20));
}

TEST_F(Model, SplitCutsTheClipUnderTheFrame) {
    ASSERT_TRUE(Add(20, 0).done);
    EXPECT_FALSE(model->SplitAtFrame(0).done);
    EXPECT_FALSE(model->SplitAtFrame(25).done);
    EXPECT_TRUE(model->CanSplitAt(10));
    ASSERT_TRUE(model->SplitAtFrame(10).done);
    EXPECT_FALSE(model->CanSplitAt(10));  // a clip starts there now
    const auto clips = Clips();
    ASSERT_EQ(Ranges(), (RangeList{{0, 9}, {10, 19}}));
    for (const MotionClip& c : clips) {
        EXPECT_EQ(c.transitionIn, 3);
        EXPECT_EQ(c.transitionOut, 3);
        EXPECT_EQ(motion.FrameCount(c.fileName), 10);
    }
    EXPECT_EQ(clips[0].sourceLast, 9);
    EXPECT_EQ(model->SelectedClip()->firstFrame, 0);
}

TEST_F(Model, SplitIsRefusedWhereClipsOverlapOrAOneFrameClipSits) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(30, 100).done);
    ASSERT_TRUE(model->MoveClip(PositionOf(100), 20).done);
    EXPECT_FALSE(model->SplitAtFrame(25).done);
    ASSERT_TRUE(Add(1, 300).done);
    EXPECT_FALSE(model->SplitAtFrame(300).done);
    EXPECT_EQ(model->UndoCount(), 4);
}

TEST_F(Model, CropKeepsTheMarkedRange) {
    ASSERT_TRUE(Add(20, 0).done);
    ASSERT_TRUE(Add(20, 20).done);
    ASSERT_TRUE(Add(20, 40).done);
    EXPECT_FALSE(model->CropToMarks().done);  // no mark: nothing happens
    EXPECT_FALSE(model->CropToMarks().message);
    model->SetInMark(10);
    model->SetOutMark(11);
    EXPECT_EQ(model->CropToMarks().message.id, strings::kCropImpossible);
    const std::string last = Clips()[2].fileName;
    model->SetOutMark(29);
    ASSERT_TRUE(model->CropToMarks().done);
    EXPECT_EQ(Ranges(), (RangeList{{10, 19}, {20, 29}}));
    EXPECT_EQ(model->CurrentFrame(), 10);
    EXPECT_TRUE(model->RemovedFiles().Contains(last));
    for (const MotionClip& c : Clips()) EXPECT_EQ(motion.FrameCount(c.fileName), 10);
}

TEST_F(Model, MarksSwapWhenSetPastEachOther) {
    model->SetOutMark(20);
    model->SetInMark(30);
    EXPECT_EQ(model->InMark(), 20);
    EXPECT_EQ(model->OutMark(), 30);
    model->SetOutMark(5);
    EXPECT_EQ(model->InMark(), 5);
    EXPECT_EQ(model->OutMark(), 20);
    EXPECT_FALSE(model->SetCurrentFrame(kMaxFrame + 1));
    EXPECT_FALSE(model->SetCurrentFrame(-1));
}

// Frame 0 is a mark like any other, not the absence of one.
TEST_F(Model, AMarkAtFrameZeroIsAMark) {
    ASSERT_TRUE(Add(20, 10).done);
    ASSERT_TRUE(Add(20, 30).done);
    model->SetOutMark(0);
    model->SetInMark(5);  // past the out mark: the two swap
    EXPECT_EQ(model->InMark(), 0);
    EXPECT_EQ(model->OutMark(), 5);
    model->ClearInMark();
    model->SetOutMark(0);  // from the first clip at 10 to 0: no range
    EXPECT_EQ(model->CropToMarks().message.id, strings::kCropImpossible);
    model->ClearOutMark();
    model->SetInMark(0);
    model->SetCurrentFrame(25);
    ASSERT_TRUE(model->CropToMarks().done);  // from 0 to the end: every clip whole
    EXPECT_EQ(Ranges(), (RangeList{{10, 29}, {30, 49}}));
    EXPECT_EQ(model->CurrentFrame(), 0);
}

TEST_F(Model, StretchingTwiceKeepsTheFirstSourceAndUndoRewritesTheFile) {
    ASSERT_TRUE(Add(20, 0).done);
    const std::string original = Clips()[0].fileName;
    EXPECT_FALSE(model->ResizeClip(0, 0, 1).done);  // shorter than 3 frames
    ASSERT_TRUE(model->ResizeClip(0, 0, 29).done);
    const MotionClip stretched = Clips()[0];
    EXPECT_EQ(stretched.sourceFileName, original);
    EXPECT_EQ(stretched.fileName, workingDirectory->Path() + "/m0_1.cha");
    EXPECT_EQ(stretched.stretched, 1);
    EXPECT_EQ(motion.FrameCount(stretched.fileName), 30);
    ASSERT_TRUE(model->ResizeClip(0, 0, 39).done);
    EXPECT_EQ(Clips()[0].sourceFileName, original);
    EXPECT_EQ(Clips()[0].fileName, stretched.fileName);
    EXPECT_EQ(motion.FrameCount(stretched.fileName), 40);

    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 29}}));
    EXPECT_EQ(motion.FrameCount(stretched.fileName), 30);
    ASSERT_TRUE(model->Redo().done);
    EXPECT_EQ(motion.FrameCount(stretched.fileName), 40);
    // Undoing the first stretch brings back the unstretched clip; its file was never touched.
    ASSERT_TRUE(model->Undo().done);
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(Clips()[0].fileName, original);
    EXPECT_EQ(motion.FrameCount(original), 20);
}

TEST_F(Model, ResizeStaysClearOfTheNeighbours) {
    ASSERT_TRUE(Add(10, 0).done);
    ASSERT_TRUE(Add(3, 20).done);
    ASSERT_TRUE(Add(10, 30).done);
    const int middle = PositionOf(20);
    EXPECT_FALSE(model->ResizeClip(middle, 21, 22).done);  // a 3-frame clip cannot shrink
    EXPECT_FALSE(model->ResizeClip(middle, 20, 21).done);
    EXPECT_FALSE(model->ResizeClip(middle, 9, 22).done);   // into the clip before
    EXPECT_FALSE(model->ResizeClip(middle, 20, 30).done);  // into the clip after
    ASSERT_TRUE(model->ResizeClip(middle, 10, 29).done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 9}, {10, 29}, {30, 39}}));
    EXPECT_EQ(Clips()[1].transitionIn, 5);
}

TEST_F(Model, ResizeToExactlyThreeFramesSucceedsAtEitherEnd) {
    ASSERT_TRUE(Add(10, 0).done);
    ASSERT_TRUE(Add(10, 20).done);
    ASSERT_TRUE(model->ResizeClip(PositionOf(0), 0, 2).done);
    ASSERT_TRUE(model->ResizeClip(PositionOf(20), 27, 29).done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 2}, {27, 29}}));
    for (const MotionClip& c : Clips()) {
        EXPECT_EQ(motion.FrameCount(c.fileName), 3);
        EXPECT_EQ(c.transitionIn, 1);
    }
    EXPECT_FALSE(model->ResizeClip(PositionOf(27), 28, 29).done);
}

TEST_F(Model, ResizeKeepsCrossFadesApart) {
    ASSERT_TRUE(Add(30, 0).done);
    ASSERT_TRUE(Add(30, 100).done);
    ASSERT_TRUE(model->MoveClip(PositionOf(100), 20).done);
    // Shortening the earlier clip from its start would leave it inside the later one.
    EXPECT_FALSE(model->ResizeClip(PositionOf(0), 22, 29).done);
    EXPECT_TRUE(model->ResizeClip(PositionOf(0), 18, 29).done);
    EXPECT_EQ(Ranges(), (RangeList{{18, 29}, {20, 49}}));
}

TEST_F(Model, UndoAndRedoRestoreTheViewAndClearOnNewEdits) {
    ASSERT_TRUE(Add(10, 0).done);
    model->SetInMark(2);
    ASSERT_TRUE(Add(10, 50).done);
    const auto after = Clips();
    model->SetCurrentFrame(70);
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 9}}));
    EXPECT_EQ(model->CurrentFrame(), 50);
    EXPECT_EQ(model->InMark(), 2);
    EXPECT_EQ(model->SelectedPosition(), 0);
    ASSERT_TRUE(model->Redo().done);
    EXPECT_EQ(Clips(), after);
    EXPECT_EQ(model->CurrentFrame(), 70);
    ASSERT_TRUE(model->Undo().done);
    ASSERT_TRUE(Add(10, 30).done);
    EXPECT_FALSE(model->CanRedo());
    EXPECT_FALSE(model->Redo().done);
}

TEST_F(Model, UndoAndRedoMarkTheTrackChanged) {
    ASSERT_TRUE(Add(10, 0).done);
    EXPECT_TRUE(model->Changed());
    model->ClearChanged();
    ASSERT_TRUE(model->Undo().done);
    EXPECT_TRUE(model->Changed());
    model->ClearChanged();
    ASSERT_TRUE(model->Redo().done);
    EXPECT_TRUE(model->Changed());
    model->ClearChanged();
    EXPECT_FALSE(model->Redo().done);  // nothing to redo: nothing changed
    EXPECT_FALSE(model->Changed());
}

TEST_F(Model, FailedMotionWritesLeaveTheModelExactlyAsBefore) {
    ASSERT_TRUE(Add(20, 0).done);
    ASSERT_TRUE(Add(20, 40).done);
    ASSERT_TRUE(model->Undo().done);
    ASSERT_TRUE(model->Redo().done);
    model->Select(0);
    model->SetInMark(5);
    const auto before = Clips();
    const int undo = model->UndoCount();
    const auto attempt = [&](auto edit, int message) {
        motion.failNext = true;
        const EditResult result = edit();
        EXPECT_FALSE(result.done);
        EXPECT_EQ(result.message.id, message);
        EXPECT_EQ(Clips(), before);
        EXPECT_EQ(model->UndoCount(), undo);
        EXPECT_EQ(model->SelectedPosition(), 0);
        EXPECT_EQ(model->InMark(), 5);
    };
    attempt([&] { return model->SplitAtFrame(50); }, strings::kSplitFailed);
    attempt([&] { return model->CropToMarks(); }, strings::kSplitFailed);
    attempt([&] { return model->ResizeClip(0, 40, 70); }, strings::kClipEditFailed);
    attempt([&] { return model->ReverseSelected(); }, strings::kClipEditFailed);
    attempt([&] { return model->MirrorSelected(); }, strings::kClipEditFailed);
    attempt([&] { return model->RepeatSelected(3); }, strings::kClipEditFailed);
    attempt([&] { return model->AlignToPrevious("Head"); }, strings::kAlignImpossible);
    attempt([&] { return model->AddPoseClip(kEditPoseClip); }, strings::kPoseClipFailed);
    EXPECT_TRUE(model->CanRedo() == false);
}

// Names of the files in the working folder.
std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST_F(Model, SplitsThatFailPartWayLeaveNoFilesBehind) {
    ASSERT_TRUE(Add(20, 0).done);
    ASSERT_TRUE(Add(20, 20).done);
    ASSERT_TRUE(Add(20, 40).done);
    const auto files = FilesIn(workingDirectory->Path());
    motion.writesBeforeFailure = 1;  // the first half is written, the second fails
    EXPECT_EQ(model->SplitAtFrame(10).message.id, strings::kSplitFailed);
    EXPECT_EQ(FilesIn(workingDirectory->Path()), files);
    // The crop cuts the last clip, then fails on the first one.
    model->SetInMark(10);
    model->SetOutMark(49);
    motion.writesBeforeFailure = 2;
    EXPECT_EQ(model->CropToMarks().message.id, strings::kSplitFailed);
    EXPECT_EQ(FilesIn(workingDirectory->Path()), files);
    EXPECT_EQ(Ranges(), (RangeList{{0, 19}, {20, 39}, {40, 59}}));
}

TEST_F(Model, CropKeepsNoFileItCutAgain) {
    ASSERT_TRUE(Add(60, 0).done);
    model->SetInMark(10);
    model->SetOutMark(49);
    ASSERT_TRUE(model->CropToMarks().done);
    // The original, the kept middle and the two removed ends: the piece cut twice is gone.
    std::set<std::string> expected = {"m0.cha",
                                      std::filesystem::path(Clips()[0].fileName).filename()};
    for (const std::string& removed : model->RemovedFiles().Names()) {
        expected.insert(std::filesystem::path(removed).filename());
    }
    EXPECT_EQ(expected.size(), 4u);
    EXPECT_EQ(FilesIn(workingDirectory->Path()), expected);
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 59}}));
    EXPECT_EQ(motion.FrameCount(Clips()[0].fileName), 60);
}

TEST_F(Model, PasteSaysWhenTheClipsFileNoLongerFits) {
    ASSERT_TRUE(Add(20, 0).done);
    ASSERT_TRUE(model->ResizeClip(0, 0, 29).done);
    model->Select(0);
    model->CopySelected();
    // Resizing a stretched clip writes its file again at the new length.
    ASSERT_TRUE(model->ResizeClip(0, 0, 39).done);
    model->SetCurrentFrame(100);
    decisions.pasteName = "copy";
    const auto files = FilesIn(workingDirectory->Path());
    EXPECT_EQ(model->Paste().message.id, strings::kPasteLengthChanged);
    EXPECT_EQ(FilesIn(workingDirectory->Path()), files);
    EXPECT_EQ(model->UndoCount(), 3);
}

TEST_F(Model, EditsOfTheSelectedClipWriteDerivedFiles) {
    ASSERT_TRUE(Add(20, 0).done);
    model->Select(0);
    EXPECT_EQ(model->AlignToPrevious("Head").message.id, strings::kAlignImpossible);
    ASSERT_TRUE(Add(20, 20).done);
    EXPECT_EQ(model->AlignToPrevious("Elbow").message.id, strings::kAlignImpossible);
    ASSERT_TRUE(model->ResizeClip(0, 20, 44).done);
    ASSERT_TRUE(model->AlignToPrevious("LFoot").done);
    const MotionClip aligned = *model->SelectedClip();
    EXPECT_EQ(aligned.stretched, 0);
    EXPECT_EQ(aligned.sourceFileName, "");
    EXPECT_NE(ReadFile(aligned.fileName).find("aligned at LFoot"), std::string::npos);
    ASSERT_TRUE(model->ReverseSelected().done);
    ASSERT_TRUE(model->RotateSegmentOfSelected("Head", {0, 1, 0, 0}, true).done);
    ASSERT_TRUE(model
                    ->ReplaceSelectedFile([&](const std::string& from, const std::string& to) {
                        testing::WriteFakeMotion(to, motion.FrameCount(from), "filtered");
                        return true;
                    })
                    .done);
    EXPECT_EQ(motion.FrameCount(model->SelectedClip()->fileName), 25);
    EXPECT_EQ(model->UndoCount(), 7);
}

TEST_F(Model, PasteCopiesTheClipUnderAConfirmedName) {
    ASSERT_TRUE(Add(20, 0, "walk.cha").done);
    model->Select(0);
    model->CopySelected();
    EXPECT_EQ(model->Clipboard()->lastFrame, 19);
    model->SetCurrentFrame(100);
    decisions.cancelPaste = true;
    EXPECT_FALSE(model->Paste().done);
    EXPECT_EQ(decisions.lastProposed, "walk_1");
    decisions.cancelPaste = false;
    decisions.pasteName = "bad:name";
    EXPECT_EQ(model->Paste().message.id, strings::kInvalidFileName);
    decisions.pasteName = std::string(51, 'n');
    EXPECT_EQ(model->Paste().message.id, strings::kFileNameTooLong);
    decisions.pasteName = "walk";
    EXPECT_EQ(model->Paste().message.id, strings::kPasteNameTaken);
    decisions.pasteName = std::nullopt;
    ASSERT_TRUE(model->Paste().done);
    EXPECT_EQ(Ranges(), (RangeList{{0, 19}, {100, 119}}));
    EXPECT_EQ(Clips()[1].fileName, workingDirectory->Path() + "/walk_1.cha");
    EXPECT_EQ(ReadFile(Clips()[1].fileName), ReadFile(Clips()[0].fileName));
    // A paste that is cancelled at the overlap question leaves no file behind.
    decisions.pasteName = "again";
    EXPECT_FALSE(model->Paste().done);
    EXPECT_FALSE(std::filesystem::exists(workingDirectory->Path() + "/again.cha"));
}

TEST_F(Model, DeletedAndMissingFilesAreReportedOnce) {
    ASSERT_TRUE(Add(10, 0).done);
    ASSERT_TRUE(Add(10, 20).done);
    const std::string gone = Clips()[0].fileName, missing = Clips()[1].fileName;
    model->Select(PositionOf(0));
    ASSERT_TRUE(model->DeleteSelected().done);
    EXPECT_EQ(model->SelectedPosition(), -1);
    model->CheckFiles();
    EXPECT_TRUE(model->TakeFileReports().empty());
    EXPECT_EQ(model->UndoCount(), 3);

    std::filesystem::remove(gone);
    std::filesystem::remove(missing);
    model->CheckFiles();
    const auto reports = model->TakeFileReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].id, strings::kMissingMotionFiles);
    EXPECT_EQ(reports[1].id, strings::kUnusedFiles);
    const std::string text = reports[0].Text(CStringTable::BuiltIn().Lookup());
    EXPECT_NE(text.find(missing), std::string::npos);
    EXPECT_EQ(reports[1].values.at(0).second, gone);
    EXPECT_FALSE(model->CanUndo());
    model->CheckFiles();
    EXPECT_EQ(model->TakeFileReports().size(), 1u);  // the clip's file is still missing
}

TEST_F(Model, DeleteWithoutSelectionRemovesTheSound) {
    const std::string wav = root.Write("user/tune.wav", "RIFF");
    ASSERT_TRUE(model->SetSoundFile(wav).done);
    EXPECT_EQ(model->Project().soundFile, workingDirectory->Path() + "/tune.wav");
    ASSERT_TRUE(model->SetSoundFile(root.Write("user/other.wav", "RIFF")).done);
    EXPECT_FALSE(std::filesystem::exists(workingDirectory->Path() + "/tune.wav"));
    ASSERT_TRUE(model->DeleteSelected().done);
    EXPECT_EQ(model->Project().soundFile, "");
    EXPECT_EQ(model->UndoCount(), 0);
    EXPECT_EQ(model->SetSoundFile(root / "user/none.wav").message.id, strings::kSoundLoadFailed);
}

TEST_F(Model, UndoLeavesTheSoundTrackAsItIs) {
    ASSERT_TRUE(model->SetSoundFile(root.Write("user/tune.wav", "RIFF")).done);
    ASSERT_TRUE(Add(10, 0).done);
    ASSERT_TRUE(model->SetSoundFile(root.Write("user/other.wav", "RIFF")).done);
    const std::string sound = model->Project().soundFile;
    ASSERT_TRUE(model->Undo().done);
    EXPECT_EQ(model->Project().soundFile, sound);
    ASSERT_TRUE(model->Redo().done);
    EXPECT_EQ(model->Project().soundFile, sound);
    EXPECT_TRUE(std::filesystem::exists(sound));
    // A sound that cannot be loaded keeps the one there was.
    EXPECT_EQ(model->SetSoundFile(root / "user/none.wav").message.id, strings::kSoundLoadFailed);
    EXPECT_EQ(model->Project().soundFile, sound);
    EXPECT_TRUE(std::filesystem::exists(sound));
    // The same name from elsewhere replaces the sound, and only one WAV file stays.
    ASSERT_TRUE(model->SetSoundFile(root.Write("user/x/other.wav", "RIFF2")).done);
    EXPECT_EQ(ReadFile(model->Project().soundFile), "RIFF2");
    int wavs = 0;
    for (const std::string& name : FilesIn(workingDirectory->Path())) {
        wavs += std::filesystem::path(name).extension() == ".wav";
    }
    EXPECT_EQ(wavs, 1);
}

TEST_F(Model, MediaClipsFollowTheInsertRules) {
    const std::string picture = root.Write("user/still.bmp", "BM");
    const std::string video = root.Write("user/clip.avi", "RIFF");
    model->SetCurrentFrame(10);
    ASSERT_TRUE(model->AddMediaFile(picture, 1, false).done);
    EXPECT_EQ(model->AddMediaFile(video, 30, true).message.id, strings::kMediaAlreadyAtFrame);
    model->SetCurrentFrame(0);
    decisions.overlap = OverlapChoice::kShift;
    ASSERT_TRUE(model->AddMediaFile(video, 30, true).done);
    EXPECT_EQ(decisions.asked, std::vector<int>{strings::kMediaOverlapQuestion});
    FrameSample sample = model->GetFrameSample(34);
    EXPECT_EQ(sample.mediaFile, workingDirectory->Path() + "/still.bmp");
    EXPECT_EQ(sample.mediaFrame, -1);
    sample = model->GetFrameSample(12);
    EXPECT_EQ(sample.mediaFile, workingDirectory->Path() + "/clip.avi");
    EXPECT_EQ(sample.mediaFrame, 12);
    model->SetCurrentFrame(kMaxFrame - 5);
    EXPECT_EQ(model->AddMediaFile(video, 30, true).message.id, strings::kMediaBeyondEnd);
    EXPECT_EQ(model->AddMediaFile(root.Write("user/a;b.bmp", "BM"), 1, false).message.id,
              strings::kMediaNameRefused);
    EXPECT_FALSE(model->MoveMediaClip(0, 20).done);  // onto the video
    ASSERT_TRUE(model->MoveMediaClip(0, 40).done);
    model->SelectMedia(0);
    ASSERT_TRUE(model->DeleteSelected().done);
    EXPECT_EQ(model->Project().mediaClips.Count(), 1);
}

TEST_F(Model, PoseClipsAreOneFrameClipsInNumberedFiles) {
    model->SetCurrentFrame(7);
    ASSERT_TRUE(model->AddPoseClip(kEditInitialPoseClip).done);
    model->SetCurrentFrame(9);
    ASSERT_TRUE(model->AddPoseClip(kEditPoseClip).done);
    EXPECT_EQ(Ranges(), (RangeList{{7, 7}, {9, 9}}));
    EXPECT_EQ(Clips()[0].fileName, workingDirectory->Path() + "/InitialPose1.chb");
    EXPECT_EQ(Clips()[1].fileName, workingDirectory->Path() + "/Pose1.chb");
    EXPECT_EQ(Clips()[0].transitionIn, 1);
    EXPECT_FALSE(model->AddPoseClip(kEditMove).done);
}

TEST_F(Model, NewProjectStartsOverInAnEmptyWorkingDirectory) {
    ASSERT_TRUE(Add(10, 0).done);
    model->NewProject(CTimelineProject());
    EXPECT_EQ(model->Project().motionClips.Count(), 0);
    EXPECT_FALSE(model->CanUndo());
    EXPECT_TRUE(std::filesystem::is_empty(workingDirectory->Path()));
    EXPECT_EQ(model->FirstFrame(), -1);
    EXPECT_EQ(model->LastFrame(), -1);
}

}  // namespace
}  // namespace tavrel
