// Saved projects open into the same timeline: random edit sequences written and read back.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/timeline/TimelineFixture.h"
#include "timeline/ProjectFileReader.h"
#include "timeline/ProjectFileWriter.h"

namespace tavrel::testing {
namespace {

class ProjectFileWriterTest : public TimelineFixture {
protected:
    // Saves the model's project, opens the file, and checks it is the same timeline.
    void ExpectRoundTrip(const std::string& where) {
        SCOPED_TRACE(where);
        std::filesystem::create_directories(root / "saved");
        const std::string path = root / "saved/project.tvp";
        std::string error;
        ASSERT_TRUE(CProjectFileWriter::Write(model->Project(), path, &error)) << error;
        ProjectReadResult read = CProjectFileReader(*workingDirectory, motion).Read(path);
        ASSERT_TRUE(read.project.complete);
        ASSERT_TRUE(read.messages.empty()) << read.messages.front().id;
        const auto saved = ClipsOf(model->Project());
        const auto opened = ClipsOf(read.project);
        ASSERT_EQ(opened.size(), saved.size());
        for (size_t i = 0; i < saved.size(); ++i) {
            MotionClip a = saved[i], b = opened[i];
            EXPECT_EQ(FileBytes(a.fileName), FileBytes(b.fileName)) << i;
            if (a.stretched) {
                EXPECT_EQ(FileBytes(a.sourceFileName), FileBytes(b.sourceFileName)) << i;
            }
            a.fileName = b.fileName, a.sourceFileName = b.sourceFileName;
            EXPECT_EQ(a, b) << i;
        }
        EXPECT_EQ(read.project.soundFile.empty(), model->Project().soundFile.empty());
        const std::vector<MediaClip> savedMedia(model->Project().mediaClips.begin(),
                                                model->Project().mediaClips.end());
        const std::vector<MediaClip> openedMedia(read.project.mediaClips.begin(),
                                                 read.project.mediaClips.end());
        ASSERT_EQ(openedMedia.size(), savedMedia.size());
        for (size_t i = 0; i < savedMedia.size(); ++i) {
            MediaClip a = savedMedia[i];
            EXPECT_EQ(FileBytes(a.fileName), FileBytes(openedMedia[i].fileName)) << i;
            a.fileName = openedMedia[i].fileName;
            EXPECT_EQ(a, openedMedia[i]) << i;
        }
    }
};

TEST_F(ProjectFileWriterTest, RandomTimelinesOpenAsTheyWereSaved) {
    std::mt19937 random(11);
    for (int round = 0; round < 60; ++round) {
        const int count = model->Project().motionClips.Count();
        const int position = count ? static_cast<int>(random() % count) : 0;
        const MotionClip* clip = model->ClipAtPosition(position);
        switch (random() % 6) {
            case 0:
            case 1:
                Add(3 + static_cast<int>(random() % 20), static_cast<int>(random() % 200));
                break;
            case 2:
                if (clip)
                    model->MoveClip(position,
                                    clip->firstFrame + static_cast<int>(random() % 21) - 10);
                break;
            case 3:
                if (clip)
                    model->ResizeClip(position, clip->firstFrame,
                                      clip->lastFrame + static_cast<int>(random() % 9) - 4);
                break;
            case 4:
                if (clip) model->SetSpeedCurve(position, SpeedCurve(random() % kSpeedCurveCount));
                break;
            default:
                model->SplitAtFrame(static_cast<int>(random() % 220));
                break;
        }
        ExpectRoundTrip("round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
}

// Videos and pictures keep their kinds, one-frame videos too: a picture read as a video, or a
// video as a picture, would show nothing.
TEST_F(ProjectFileWriterTest, VideoAndPictureClipsOpenAsTheKindsTheyWere) {
    Add(10, 0);
    const std::string video = root.Write("user/clip.avi", "RIFF video");
    const std::string picture = root.Write("user/still.bmp", "BM picture");
    const struct {
        int at, frames;
        bool video;
    } clips[] = {{0, 12, true}, {20, 1, false}, {30, 1, true}, {40, 1, false}};
    for (const auto& c : clips) {
        model->SetCurrentFrame(c.at);
        ASSERT_TRUE(model->AddMediaFile(c.video ? video : picture, c.frames, c.video).done);
    }
    ExpectRoundTrip("a video and a picture");
}

TEST_F(ProjectFileWriterTest, CopiesNeverOverwriteOtherFilesAndFailuresLeaveNoProject) {
    Add(10, 0, "walk.cha");
    std::filesystem::create_directories(root / "saved");
    // A file of the same name and other content already lies where the copy would go.
    WriteFakeMotion(root / "saved/walk.cha", 4, "someone else's");
    const std::string before = FileBytes(root / "saved/walk.cha");
    ExpectRoundTrip("beside a foreign walk.cha");
    EXPECT_EQ(FileBytes(root / "saved/walk.cha"), before);
    EXPECT_NE(FileBytes(root / "saved/project.tvp").find("walk_1.cha"), std::string::npos);

    std::string error;
    EXPECT_FALSE(CProjectFileWriter::Write(model->Project(), root / "missing/p.tvp", &error));
    EXPECT_NE(error.find("no such folder"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(root / "missing"));
}

}  // namespace
}  // namespace tavrel::testing
