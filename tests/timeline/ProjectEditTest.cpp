// Every kind of edit, undone and redone, on clips read from a project file: such clips carry
// what inserted ones never do (an unstretched clip that names a source, a stretched clip
// without one, an HTR file).
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "settings/StringIds.h"
#include "tests/timeline/TimelineFixture.h"

namespace tavrel {
namespace {

using testing::ReadFile;
using testing::TimelineFixture;

// What undo and redo must give back: the clips, and what each of them plays.
struct TrackState {
    std::vector<MotionClip> clips;
    std::vector<std::string> contents;  // each clip's file, then its source's
    std::vector<std::pair<int, int>> media;
    std::string sound;

    bool operator==(const TrackState&) const = default;
};

void PrintTo(const TrackState& state, std::ostream* out) {
    for (size_t i = 0; i < state.clips.size(); ++i) {
        PrintTo(state.clips[i], out);
        *out << " plays \"" << state.contents[2 * i] << "\" from \"" << state.contents[2 * i + 1]
             << "\"\n";
    }
    *out << state.media.size() << " media clips, sound " << state.sound;
}

class ProjectEdits : public TimelineFixture {
protected:
    ProjectEdits() {
        root.Write("proj/walk.cha", "frames 30\nwalk\n");
        root.Write("proj/run.cha", "frames 20\nrun\n");
        root.Write("proj/short.cha", "frames 10\nshort\n");
        root.Write("proj/jump.htr", "frames 12\njump\n");
        root.Write("proj/still.bmp", "BM");
        root.Write("proj/tune.wav", "RIFF");
        project = root.Write("proj/p.tvp",
                             "D,x\n4\n"
                             "M,0,29,5,5,0,0,walk.cha,0,29,0,0,0,run.cha\n"
                             "M,40,59,5,5,1,0,run.cha,0,19,0,0,0,walk.cha\n"
                             "M,70,81,3,3,0,0,jump.htr,0,11,0,0,0,*\n"
                             "M,100,109,3,3,1,0,short.cha,0,9,0,0,0,*\n"
                             "1\nI,0,0,still.bmp\nS,tune.wav\nI,0\n");
    }

    void Open() {
        model->NewProject(CTimelineProject());
        const std::vector<Message> messages = model->OpenProject(project);
        ASSERT_TRUE(messages.empty()) << messages.at(0).id;
        ASSERT_EQ(model->Project().motionClips.Count(), 4);
    }

    TrackState State() {
        TrackState state;
        state.clips = Clips();
        for (const MotionClip& c : state.clips) {
            // Undo writes a stretched file again from its source: its length comes back, not
            // the bytes a project brought. Every other file must keep its bytes.
            state.contents.push_back(c.stretched ? std::to_string(motion.FrameCount(c.fileName))
                                                 : ReadFile(c.fileName));
            state.contents.push_back(c.sourceFileName.empty() ? "" : ReadFile(c.sourceFileName));
        }
        for (const MediaClip& c : model->Project().mediaClips) {
            state.media.emplace_back(c.firstFrame, c.lastFrame);
        }
        state.sound = model->Project().soundFile;
        return state;
    }

    bool SelectAt(int firstFrame) { return model->Select(PositionOf(firstFrame)); }

    std::string project;
};

TEST_F(ProjectEdits, UndoAndRedoGiveBackEachEditOnReadClips) {
    const std::string picture = root.Write("user/other.bmp", "BM");
    const std::map<std::string, std::function<EditResult()>> edits = {
        {"add file", [&] { return Add(10, 200); }},
        {"move", [&] { return model->MoveClip(PositionOf(100), 120); }},
        {"resize unstretched with source", [&] { return model->ResizeClip(PositionOf(0), 0, 34); }},
        {"resize stretched", [&] { return model->ResizeClip(PositionOf(40), 40, 64); }},
        {"resize stretched without source",
         [&] { return model->ResizeClip(PositionOf(100), 100, 114); }},
        {"resize htr", [&] { return model->ResizeClip(PositionOf(70), 68, 81); }},
        {"paste",
         [&] {
             SelectAt(70);
             model->CopySelected();
             model->SetCurrentFrame(300);
             return model->Paste();
         }},
        {"delete",
         [&] {
             SelectAt(0);
             return model->DeleteSelected();
         }},
        {"split", [&] { return model->SplitAtFrame(75); }},
        {"crop",
         [&] {
             model->SetInMark(10);
             model->SetOutMark(75);
             return model->CropToMarks();
         }},
        {"pose clip",
         [&] {
             model->SetCurrentFrame(400);
             return model->AddPoseClip(kEditPoseClip);
         }},
        {"align",
         [&] {
             SelectAt(70);
             return model->AlignToPrevious("Head");
         }},
        {"reverse",
         [&] {
             SelectAt(70);
             return model->ReverseSelected();
         }},
        {"mirror",
         [&] {
             SelectAt(40);
             return model->MirrorSelected();
         }},
        {"repeat stretched",
         [&] {
             SelectAt(100);
             return model->RepeatSelected(3);
         }},
        {"ease unstretched with source",
         [&] { return model->SetSpeedCurve(PositionOf(0), kSpeedEaseIn); }},
        {"ease stretched", [&] { return model->SetSpeedCurve(PositionOf(40), kSpeedEaseOut); }},
        {"ease stretched without source",
         [&] { return model->SetSpeedCurve(PositionOf(100), kSpeedEaseBoth); }},
        {"rotate",
         [&] {
             SelectAt(40);
             return model->RotateSegmentOfSelected("Head", {0, 0, 1, 0}, false);
         }},
        {"replace file",
         [&] {
             SelectAt(100);
             return model->ReplaceSelectedFile([&](const std::string& from, const std::string& to) {
                 testing::WriteFakeMotion(to, motion.FrameCount(from), "filtered");
                 return true;
             });
         }},
        {"add media",
         [&] {
             model->SetCurrentFrame(500);
             return model->AddMediaFile(picture, 1, false);
         }},
        {"move media", [&] { return model->MoveMediaClip(0, 20); }},
        {"delete media",
         [&] {
             model->SelectMedia(0);
             return model->DeleteSelected();
         }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        Open();
        const TrackState before = State();
        const EditResult result = edit();
        ASSERT_TRUE(result.done) << result.message.id;
        const TrackState after = State();
        ASSERT_NE(after, before);
        ASSERT_TRUE(model->Undo().done);
        EXPECT_EQ(State(), before);
        ASSERT_TRUE(model->Redo().done);
        EXPECT_EQ(State(), after);
        ASSERT_TRUE(model->Undo().done);
        EXPECT_EQ(State(), before);
    }
}

TEST_F(ProjectEdits, ReadClipsNeedNoFileReports) {
    Open();
    model->CheckFiles();
    const std::vector<Message> reports = model->TakeFileReports();
    EXPECT_TRUE(reports.empty()) << reports.at(0).id;
    // The HTR clip plays a converted copy, which edits can derive files from.
    EXPECT_EQ(model->ClipAtPosition(PositionOf(70))->fileName,
              workingDirectory->Path() + "/jump.chb");
}

}  // namespace
}  // namespace tavrel
