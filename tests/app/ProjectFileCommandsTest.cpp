// The File menu's project commands over a fake timeline holding a real project: where Save
// writes, what a failure shows, the motion export, and the autosave offered after a crash.
#include <QSettings>
#include <filesystem>
#include <fstream>

#include "app/ProjectFileCommands.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"
#include "tests/app/ShellFixture.h"
#include "timeline/TimelineProject.h"

namespace tavrel::testing {
namespace {

namespace fs = std::filesystem;

// The fake timeline with a project to save.
class ProjectTimeline : public FakeTimeline {
public:
    using FakeTimeline::FakeTimeline;
    const CTimelineProject* Project() const override { return hasProject ? &project : nullptr; }
    CTimelineProject project;
    bool hasProject = true;
};

class ProjectFileCommands : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        fs::create_directories(home / "work");
        // The default motion: the standard skeleton in its rest pose, one frame.
        CreateAnimFile(nullptr, kTypeCHB, 1)->WriteAs((home / "work/a.chb").c_str(), 1);
        MotionClip clip;
        clip.fileName = home / "work/a.chb";
        clip.SetFrames(0, 9);
        clip.sourceLast = 0;
        project.project.name = "demo";
        project.project.motionClips.InsertSorted(clip);
        commands = std::make_unique<CProjectFileCommands>(frame.get(), home.Path());
        commands->SetTimeline(&project);
        commands->askPath = [this](int title, const QString&, const QString& suggested) {
            asked.push_back(title);
            suggestions.push_back(suggested);
            return answer;
        };
        commands->saved = [this](const QString& path) { savedFiles << path; };
        frame->SetFileCommands(commands.get());
    }
    void TearDown() override {
        frame->SetFileCommands(nullptr);
        commands.reset();
        ShellFixture::TearDown();
    }

    ProjectTimeline project{log};
    std::unique_ptr<CProjectFileCommands> commands;
    QString answer;
    std::vector<int> asked;
    QStringList suggestions, savedFiles;
};

TEST_F(ProjectFileCommands, SaveAsksOnceThenWritesToTheSameFile) {
    ASSERT_TRUE(frame->Action(command::kSave) && frame->Action(command::kExportVideo));
    answer = QString::fromStdString(home / "mine");  // no extension: .tvp is added
    ASSERT_TRUE(frame->OnCommand(command::kSave));
    EXPECT_EQ(asked, std::vector<int>{62540});
    EXPECT_EQ(suggestions, QStringList{"demo.tvp"});
    ASSERT_TRUE(fs::exists(home / "mine.tvp"));
    EXPECT_TRUE(fs::exists(home / "a.chb"));  // the clip's file beside the project
    EXPECT_EQ(savedFiles, QStringList{QString::fromStdString(home / "mine.tvp")});
    fs::remove(home / "mine.tvp");
    ASSERT_TRUE(frame->OnCommand(command::kSave));
    EXPECT_EQ(asked.size(), 1u);  // not asked again
    EXPECT_TRUE(fs::exists(home / "mine.tvp"));
    // Save as always asks; a cancelled dialog writes nothing.
    answer.clear();
    EXPECT_FALSE(frame->OnCommand(command::kSaveAs));
    EXPECT_EQ(asked.size(), 2u);
    // Another project: Save asks again instead of writing over the first one's file.
    project.project.file = home / "other.tvp";
    answer = QString::fromStdString(home / "second.tvp");
    ASSERT_TRUE(commands->Save());
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(commands->SavedPath(), home / "second.tvp");
}

TEST_F(ProjectFileCommands, AProjectFromAFileGoesBackThereAndFailuresAreShown) {
    project.project.fromFile = 1;
    project.project.file = home / "opened.tvp";
    ASSERT_TRUE(commands->Save());
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(fs::exists(home / "opened.tvp"));
    answer = QString::fromStdString(home / "no/such/folder/p.tvp");
    EXPECT_FALSE(commands->SaveAs());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 62543);
    EXPECT_EQ(savedFiles.size(), 1);
    // Nothing to save or export without a project, or while the timeline plays.
    project.busy = true;
    EXPECT_FALSE(commands->IsEnabled(command::kSave));
    EXPECT_FALSE(frame->OnCommand(command::kExportMotion));
    project.busy = false;
    project.hasProject = false;
    EXPECT_FALSE(commands->IsEnabled(command::kSaveAs));
    EXPECT_FALSE(frame->OnCommand(command::kSaveAs));
}

// A project whose layer section was damaged is written without it only when the user agrees.
TEST_F(ProjectFileCommands, SavingWithoutUnreadLayersAsksFirst) {
    project.project.fromFile = 1;
    project.project.file = home / "layered.tvp";
    project.project.layersDamaged = 1;
    const std::string kept = "D,x\n0\n0\nS,none\nI,0\nLayers,1\nT,broken\n";
    std::ofstream(project.project.file, std::ios::binary) << kept;
    int questions = 0;
    bool agree = false;
    commands->askSaveWithoutLayers = [&] { return ++questions, agree; };
    EXPECT_FALSE(commands->Save());
    std::ifstream in(project.project.file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kept);
    agree = true;
    EXPECT_TRUE(commands->Save());
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(savedFiles.size(), 1);
}

TEST_F(ProjectFileCommands, ExportMotionBakesTheTimelineAndCanBeCancelled) {
    int calls = 0;
    bool cancel = true;
    commands->makeProgress = [&](int title) {
        EXPECT_EQ(title, 62541);
        return [&](int done, int total) {
            ++calls;
            EXPECT_EQ(total, 10);
            return !(cancel && done == 3);
        };
    };
    answer = QString::fromStdString(home / "baked.bvh");
    EXPECT_FALSE(frame->OnCommand(command::kExportMotion));
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(fs::exists(home / "baked.bvh"));
    EXPECT_TRUE(messages.empty());  // a cancel is no failure
    cancel = false;
    ASSERT_TRUE(frame->OnCommand(command::kExportMotion));
    EXPECT_EQ(CMotion(home / "baked.bvh", 0).GetLength(), 10);
    // The export ends by naming the file written.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, 62553);
    EXPECT_EQ(ui::MessageText(messages[0]).toStdString(),
              "The motion was written to " + home / "baked.bvh" + ".");
    // The project's own file is refused with a message.
    answer = QString::fromStdString(home / "work/a.chb");
    EXPECT_FALSE(commands->ExportMotion());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].id, 62544);
}

TEST_F(ProjectFileCommands, AnAutosaveIsOfferedOnlyAfterACrash) {
    QSettings().remove("Autosave");
    QStringList offered;
    bool restore = true;
    commands->askRestore = [&](const QString& when) {
        offered << when;
        return restore;
    };
    EXPECT_FALSE(commands->OfferRestore());  // nothing saved yet
    ASSERT_TRUE(commands->Autosave());
    ASSERT_TRUE(commands->Autosave());  // again: the folder is replaced, not piled up
    EXPECT_EQ(std::distance(fs::directory_iterator(home / "Autosave"), {}), 2);
    EXPECT_FALSE(fs::exists(home / "Autosave.new"));
    // The program did not end normally: the autosave is offered and opened.
    ASSERT_TRUE(commands->OfferRestore());
    EXPECT_EQ(offered.size(), 1);
    EXPECT_EQ(project.opened, std::vector<std::string>{commands->AutosaveFile()});
    // The restored autosave is not where Save writes.
    project.project.fromFile = 1;
    project.project.file = commands->AutosaveFile();
    answer = QString::fromStdString(home / "kept.tvp");
    ASSERT_TRUE(commands->Save());
    EXPECT_EQ(asked.size(), 1u);
    // Saved: the work is in its file, so the autosave goes; the next one is offered again.
    EXPECT_FALSE(fs::exists(commands->AutosaveFile()));
    ASSERT_TRUE(commands->Autosave());
    // Declined: nothing opened.
    restore = false;
    EXPECT_FALSE(commands->OfferRestore());
    EXPECT_EQ(project.opened.size(), 1u);
    // After a clean exit there is nothing to offer.
    commands->MarkCleanExit();
    EXPECT_FALSE(fs::exists(commands->AutosaveFile()));
    EXPECT_FALSE(commands->OfferRestore());
    EXPECT_EQ(offered.size(), 2);
    // An autosave older than the last clean exit is not offered either.
    project.project.fromFile = 0;
    ASSERT_TRUE(commands->Autosave());
    QSettings().setValue("Autosave/CleanExit", QDateTime::currentDateTime().addSecs(60));
    EXPECT_FALSE(commands->OfferRestore());
    EXPECT_EQ(offered.size(), 2);
    // An empty timeline is not autosaved.
    project.project.motionClips = CTimelineProject().motionClips;
    EXPECT_FALSE(commands->Autosave());
}

}  // namespace
}  // namespace tavrel::testing
