// Random edit sequences with random undo and redo on real motion files. After every step the
// track must be ordered, cover no frame more than twice, and name only files that exist and
// hold as many frames as their clips; every move and resize must keep its rules; undoing
// everything must give back the first state and redoing everything the last; the user's files
// must keep their bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>

#include "settings/StringTable.h"
#include "tests/motion/MotionFiles.h"
#include "tests/timeline/TimelineFixture.h"
#include "timeline/ClipDrag.h"
#include "timeline/MotionManagerSide.h"

namespace tavrel {
namespace {

using testing::ClipsOf;

class RandomDecisions : public CUserDecisions {
public:
    explicit RandomDecisions(std::mt19937& random) : random_(random) {}
    OverlapChoice AskOverlap(int, bool) override {
        return static_cast<OverlapChoice>(random_() % 4);
    }
    std::optional<std::string> AskPasteName(int, const std::string& proposed) override {
        switch (random_() % 4) {
            case 0:
                return std::nullopt;
            case 1:
                return "bad/name";
            case 2:
                return "paste" + std::to_string(random_() % 8);
            default:
                return proposed;
        }
    }
    std::optional<std::string> AskTake(int, const std::vector<std::string>& takes) override {
        const size_t pick = random_() % (takes.size() + 1);
        return pick < takes.size() ? std::optional<std::string>(takes[pick]) : std::nullopt;
    }

private:
    std::mt19937& random_;
};

int Sequences() {
    const char* n = std::getenv("TAVREL_PROPERTY_SEQUENCES");
    return n ? std::max(1, std::atoi(n)) : 2000;
}

class EditProperty : public ::testing::Test {
protected:
    EditProperty() {
        std::filesystem::create_directories(root / "user");
        const int lengths[] = {1, 3, 8, 12, 20, 26};
        for (int i = 0; i < 6; ++i) {
            const std::string path =
                root / ("user/m" + std::to_string(i) + (i % 2 ? ".cha" : ".chb"));
            testing::WriteStandardMotion(path, lengths[i]);
            userFiles[path] = testing::ReadFile(path);
        }
        wd = CWorkingDirectory::Create(root.Path(), CStringTable::BuiltIn().Lookup(), nullptr);
        model = std::make_unique<CTimelineModel>(side, decisions, *wd);
    }

    // Frames of a file as a fresh read gives them, bypassing every cache.
    static int FramesOnDisk(const std::string& path) { return CMotion(path, 0).GetFrameCount(); }

    void CheckInvariants(const std::string& where) {
        SCOPED_TRACE(where);
        const CTimelineProject& p = model->Project();
        const MotionClip* previous = nullptr;
        for (const MotionClip& c : p.motionClips) {
            if (previous) {
                ASSERT_LE(CompareMotionClips(*previous, c), 0);
            }
            previous = &c;
            ASSERT_TRUE(c.firstFrame >= 0 && c.firstFrame <= c.lastFrame &&
                        c.lastFrame <= kMaxFrame);
            ASSERT_EQ(FramesOnDisk(c.fileName), c.Length()) << c.fileName;
            if (c.stretched) {
                ASSERT_GT(FramesOnDisk(c.sourceFileName), 0);
            }
        }
        const auto clips = ClipsOf(p);
        for (int f = 0; f <= p.LastFrame(); ++f) {
            int covering = 0;
            for (const MotionClip& c : clips) covering += c.Contains(f);
            ASSERT_LE(covering, 2) << "frame " << f;
        }
    }

    // A clip that was just moved cross-fades with at most two clips that do not overlap each
    // other, swallows none and is swallowed by none, and no one-frame clip takes part.
    void CheckMoved(const std::string& file) {
        const auto clips = ClipsOf(model->Project());
        const auto moved = std::find_if(clips.begin(), clips.end(),
                                        [&](const MotionClip& c) { return c.fileName == file; });
        ASSERT_NE(moved, clips.end());
        std::vector<MotionClip> overlapped;
        for (const MotionClip& o : clips) {
            if (o.fileName == file ||
                !RangesOverlap(o.firstFrame, o.lastFrame, moved->firstFrame, moved->lastFrame)) {
                continue;
            }
            ASSERT_FALSE(o.IsOneFrame() || moved->IsOneFrame());
            ASSERT_FALSE(o.firstFrame > moved->firstFrame && o.lastFrame < moved->lastFrame);
            ASSERT_FALSE(moved->firstFrame > o.firstFrame && moved->lastFrame < o.lastFrame);
            overlapped.push_back(o);
        }
        ASSERT_LE(overlapped.size(), 2u);
        if (overlapped.size() == 2) {
            ASSERT_FALSE(RangesOverlap(overlapped[0].firstFrame, overlapped[0].lastFrame,
                                       overlapped[1].firstFrame, overlapped[1].lastFrame));
        }
    }

    // A resized clip is at least 3 frames long, its changed end stays clear of the neighbour
    // on that side, and it keeps the cross-fade rules of a move.
    void CheckResized(const CTimelineProject& before, int position) {
        const auto at = [&](int p) -> const MotionClip* {
            if (p < 0 || p >= before.motionClips.Count()) return nullptr;
            return &*std::next(before.motionClips.begin(), p);
        };
        const MotionClip& old = *at(position);
        const MotionClip* resized = model->SelectedClip();
        ASSERT_NE(resized, nullptr);
        ASSERT_GE(resized->Length(), 3);
        if (resized->firstFrame != old.firstFrame && at(position + 1)) {
            ASSERT_GT(resized->firstFrame, at(position + 1)->lastFrame);
        }
        if (resized->lastFrame != old.lastFrame && at(position - 1)) {
            ASSERT_LT(resized->lastFrame, at(position - 1)->firstFrame);
        }
        CheckMoved(resized->fileName);
    }

    std::string AnyUserFile() {
        auto it = userFiles.begin();
        std::advance(it, random() % userFiles.size());
        return it->first;
    }
    int AnyPosition() {
        const int count = model->Project().motionClips.Count();
        return count ? int(random() % count) : -1;
    }
    int Near(int frame, int spread) {
        return std::max(0, frame + int(random() % (2 * spread + 1)) - spread);
    }

    void RandomStep() {
        const MotionClip* clip = model->ClipAtPosition(AnyPosition());
        const int last = std::max(model->LastFrame(), 0);
        switch (random() % 13) {
            case 0:
            case 1:
                model->SetCurrentFrame(int(random() % (last + 30)));
                model->AddMotionFile(AnyUserFile());
                break;
            case 2:
                if (clip) {
                    const std::string file = clip->fileName;
                    if (model->MoveClip(AnyPosition(), Near(clip->firstFrame, 25)).done) {
                        CheckMoved(file);
                    }
                }
                break;
            case 3:
                if (clip) {
                    // Either end, as a drag does; the model refuses what breaks its rules.
                    const int position = AnyPosition();
                    const CTimelineProject before = model->Project();
                    const MotionClip c = *model->ClipAtPosition(position);
                    const bool end = random() % 2;
                    if (model
                            ->ResizeClip(position, end ? c.firstFrame : Near(c.firstFrame, 10),
                                         end ? Near(c.lastFrame, 10) : c.lastFrame)
                            .done) {
                        CheckResized(before, position);
                    }
                }
                break;
            case 4:
                model->SplitAtFrame(int(random() % (last + 2)));
                break;
            case 5:
                if (random() % 3 == 0) {
                    model->SetInMark(int(random() % (last + 2)));
                    model->SetOutMark(int(random() % (last + 2)));
                    model->CropToMarks();
                    model->ClearInMark();
                    model->ClearOutMark();
                }
                break;
            case 6:
                model->Select(AnyPosition());
                model->DeleteSelected();
                break;
            case 7:
                model->Select(AnyPosition());
                model->CopySelected();
                model->SetCurrentFrame(int(random() % (last + 30)));
                model->Paste();
                break;
            case 8:
                model->Select(AnyPosition());
                model->AlignToPrevious(CTimelineModel::kAlignSegments[random() % 6]);
                break;
            case 9:
                model->Select(AnyPosition());
                switch (random() % 3) {
                    case 0:
                        model->ReverseSelected();
                        break;
                    case 1:
                        model->RotateSegmentOfSelected("LThigh", {0.9f, 0.1f, 0.2f, 0.3f}, false);
                        break;
                    default:
                        model->SetSpeedCurve(model->SelectedPosition(),
                                             SpeedCurve(random() % kSpeedCurveCount));
                        break;
                }
                break;
            case 10:
            case 11:
                // Not below the first state, which undoing everything must give back.
                if (model->UndoCount() > firstUndo) model->Undo();
                break;
            default:
                model->Redo();
                break;
        }
    }

    // One random edit of any kind, as the windows make them: curve changes, drags of blends'
    // edges, moves and resizes through the drag, and the edits of the menus.
    void RandomEdit() {
        const int count = model->Project().motionClips.Count();
        const int position = AnyPosition();
        const MotionClip* clip = model->ClipAtPosition(position);
        CClipDrag drag(*model);
        using Mode = CClipDrag::Mode;
        switch (random() % 9) {
            case 0:
                model->SetCurrentFrame(int(random() % (std::max(model->LastFrame(), 0) + 30)));
                model->AddMotionFile(AnyUserFile());
                break;
            case 1:
            case 2:
                if (clip) model->SetCurveType(position, uint32_t(random() % 4));
                break;
            case 3:
            case 4:
                if (count > 1) {
                    const int earlier = 1 + int(random() % (count - 1));
                    drag.StartTransition(random() % 2 ? Mode::kTransitionOut : Mode::kTransitionIn,
                                         earlier);
                    drag.DragTo(Near(model->ClipAtPosition(earlier)->lastFrame, 12));
                    drag.Finish();
                }
                break;
            case 5:
                if (clip) {
                    drag.StartClip(position, random() % 2 ? clip->firstFrame : clip->lastFrame);
                    drag.DragTo(Near(clip->firstFrame, 20));
                    drag.Finish();
                }
                break;
            case 6:
                model->SplitAtFrame(int(random() % (std::max(model->LastFrame(), 0) + 2)));
                break;
            case 7:
                model->Select(position);
                model->DeleteSelected();
                break;
            default:
                if (clip && random() % 3 == 0) {
                    model->SetKeepInStep(position, random() % 2);
                } else if (clip) {
                    model->SetClipSwitches(position, random() % 2, random() % 2);
                }
                break;
        }
    }

    testing::TempFolder root;
    std::map<std::string, std::string> userFiles;
    std::mt19937 random;
    RandomDecisions decisions{random};
    CMotionManager manager;
    CMotionManagerSide side{manager};
    std::optional<CWorkingDirectory> wd;
    std::unique_ptr<CTimelineModel> model;
    int firstUndo = 0;
};

TEST_F(EditProperty, RandomEditsKeepTheTrackSound) {
    ASSERT_TRUE(wd);
    for (int sequence = 0; sequence < Sequences(); ++sequence) {
        random.seed(sequence);
        SCOPED_TRACE("sequence " + std::to_string(sequence));
        model->NewProject(CTimelineProject());
        for (int i = 0; i < 2; ++i) {
            model->SetCurrentFrame(i * 40);
            model->AddMotionFile(AnyUserFile());
        }
        const auto first = ClipsOf(model->Project());
        firstUndo = model->UndoCount();
        for (int step = 0; step < 10; ++step) {
            RandomStep();
            if (HasFatalFailure()) return;
            CheckInvariants("sequence " + std::to_string(sequence) + " step " +
                            std::to_string(step));
            if (HasFatalFailure()) return;
        }
        // The last state: every step redone.
        while (model->CanRedo()) model->Redo();
        const auto last = ClipsOf(model->Project());
        while (model->UndoCount() > firstUndo) model->Undo();
        ASSERT_EQ(ClipsOf(model->Project()), first) << "sequence " << sequence;
        CheckInvariants("after undoing sequence " + std::to_string(sequence));
        while (model->CanRedo()) model->Redo();
        ASSERT_EQ(ClipsOf(model->Project()), last) << "sequence " << sequence;
        CheckInvariants("after redoing sequence " + std::to_string(sequence));
        if (HasFatalFailure()) return;
    }
    for (const auto& [path, bytes] : userFiles) EXPECT_EQ(testing::ReadFile(path), bytes) << path;
}

TEST_F(EditProperty, EveryEditIsOneUndoStepOfItsOwn) {
    ASSERT_TRUE(wd);
    struct State {
        std::vector<MotionClip> clips;
        std::vector<MediaClip> media;
        bool operator==(const State&) const = default;
    };
    const auto now = [&] {
        const CTimelineProject& p = model->Project();
        return State{ClipsOf(p), {p.mediaClips.begin(), p.mediaClips.end()}};
    };
    for (int sequence = 0; sequence < std::max(1, Sequences() / 4); ++sequence) {
        random.seed(10000 + sequence);
        model->NewProject(CTimelineProject());
        for (int at : {0, 30, 60}) {
            model->SetCurrentFrame(at);
            model->AddMotionFile(AnyUserFile());
        }
        for (int step = 0; step < 12; ++step) {
            SCOPED_TRACE(::testing::Message() << "sequence " << sequence << " step " << step);
            const State before = now();
            const int undo = model->UndoCount();
            RandomEdit();
            const State after = now();
            // An edit that keeps no step changes nothing; one that does keeps exactly one.
            if (model->UndoCount() == undo) {
                ASSERT_EQ(after, before);
                continue;
            }
            ASSERT_EQ(model->UndoCount(), undo + 1);
            ASSERT_FALSE(model->CanRedo());
            ASSERT_TRUE(model->Undo().done);
            ASSERT_EQ(now(), before);
            ASSERT_TRUE(model->Redo().done);
            ASSERT_EQ(now(), after);
        }
    }
}

}  // namespace
}  // namespace tavrel
