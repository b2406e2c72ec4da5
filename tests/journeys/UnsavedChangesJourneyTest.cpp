// A project with changes pending meets Open and Exit: every way out asks first, and Cancel,
// Discard and Save do what they say to the timeline and to the files on disk.
#include <signal.h>

#include <QFileDialog>
#include <QMenu>
#include <QProcess>
#include <fstream>
#include <sstream>

#include "tests/journeys/JourneyFixture.h"

namespace tavrel::journeys {
namespace {

using UnsavedChangesJourney = JourneyFixture;

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class UnsavedChangesJourneyWithFiles : public JourneyFixture {
protected:
    void SetUp() override {
        JourneyFixture::SetUp();
        // The file dialog's answer; the rest of the way is the program's own.
        FileCommands()->askPath = [this](int, const QString&, const QString&) {
            return QString::fromStdString((Home() / "first.tvp").string());
        };
        ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    }

    void DropRunAfterTheEnd() { ASSERT_TRUE(DropAndWait("run.chb", Model().LastFrame() + 1)); }
    // The recent-file list's entry for a file, as the File menu shows it.
    QAction* RecentEntry(const fs::path& file) const {
        for (QMenu* menu : Frame()->findChildren<QMenu*>()) {
            for (QAction* action : menu->actions()) {
                if (action->text().endsWith(QString::fromStdString(file.string()))) return action;
            }
        }
        return nullptr;
    }
    bool TitleMarksChanges() const { return Frame()->windowTitle().endsWith('*'); }
};

TEST_F(UnsavedChangesJourneyWithFiles, OpeningAskedCancelKeepsDiscardOpensSaveWrites) {
    const fs::path first = Home() / "first.tvp";
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(first); }));
    EXPECT_TRUE(WaitUntil([&] {
        return Frame()->windowTitle() == "Tavrel - " + QString::fromStdString(first.string());
    })) << Frame()->windowTitle().toStdString();
    const std::string savedOnce = Bytes(first);

    DropRunAfterTheEnd();
    ASSERT_TRUE(WaitUntil([&] { return TitleMarksChanges(); }));
    ASSERT_TRUE(WaitUntil([&] { return RecentEntry(first) != nullptr; }));

    // Cancel: the timeline and the file stay as they are.
    auto asked = AnswerNextMessage(QMessageBox::Cancel);
    RecentEntry(first)->trigger();
    EXPECT_EQ(*asked, "Save changes to first.tvp?");
    EXPECT_EQ(Clips(), 2);
    EXPECT_TRUE(Model().IsModified());
    EXPECT_EQ(Bytes(first), savedOnce);

    // Discard: the file is opened as it was saved, and untouched.
    asked = AnswerNextMessage(QMessageBox::Discard);
    RecentEntry(first)->trigger();
    EXPECT_FALSE(asked->isEmpty());
    EXPECT_EQ(Clips(), 1);
    EXPECT_FALSE(Model().IsModified());
    EXPECT_EQ(Bytes(first), savedOnce);

    // Save: the changes go into the file, which is then opened with them.
    DropRunAfterTheEnd();
    asked = AnswerNextMessage(QMessageBox::Save);
    Frame()->OpenDocumentByName(QString::fromStdString(first.string()));  // a second start
    EXPECT_FALSE(asked->isEmpty());
    EXPECT_NE(Bytes(first), savedOnce);
    EXPECT_EQ(Clips(), 2);
    EXPECT_FALSE(Model().IsModified());

    // An unchanged project is opened without a question.
    asked = AnswerNextMessage(QMessageBox::Cancel);
    Frame()->OnCommand(command::kNewProject);
    EXPECT_TRUE(asked->isEmpty());
    EXPECT_EQ(Clips(), 0);
}

TEST_F(UnsavedChangesJourneyWithFiles, ExitAsksAndChangesLostByAnEndAreOfferedAtTheNextStart) {
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    auto asked = AnswerNextMessage(QMessageBox::Cancel);
    EXPECT_FALSE(CloseEditor());
    EXPECT_FALSE(asked->isEmpty());
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_NE(Next3DPicture(), QImage()) << "the 3D window still draws";

    // The editor ends without its close (killed, the session ended): the autosave is there
    // at the next start and brings the work back, as changed.
    ASSERT_TRUE(FileCommands()->Autosave());
    const std::string autosave = FileCommands()->AutosaveFile();
    asked = AnswerNextMessage(QMessageBox::Yes);
    ASSERT_TRUE(RestartWithoutClose());
    ASSERT_TRUE(WaitUntil([&] { return Clips() == 1; }));
    EXPECT_FALSE(asked->isEmpty());
    EXPECT_TRUE(Model().IsModified());
    EXPECT_TRUE(WaitUntil([&] { return Frame()->windowTitle() == "Tavrel*"; }))
        << Frame()->windowTitle().toStdString();

    // Discarding at the exit gives the work up: no autosave is left to offer. The restored work
    // is in no file of the user's, and is named so.
    asked = AnswerNextMessage(QMessageBox::Discard);
    EXPECT_TRUE(CloseEditor());
    EXPECT_EQ(*asked, "Save changes to Untitled timeline?");
    EXPECT_FALSE(fs::exists(autosave));
}

// The editor killed in a process of its own: the journey starts this program again with the
// child's test below and the folder its editor works in, kills it once it has done its part,
// and starts the editor again over the same folders.
constexpr const char* kKilledHome = "TAVREL_KILLED_EDITOR_HOME";

class KilledEditorChild : public UnsavedChangesJourneyWithFiles {
protected:
    void SetUp() override {
        const char* home = std::getenv(kKilledHome);
        if (!home) GTEST_SKIP() << "runs only inside the killed-editor journey";
        UseHome(home);  // and the settings folder the journey gave
        ASSERT_TRUE(StartEditor());
        ASSERT_TRUE(ShowFolder(Library() / "Locomotion"));
    }
    // The next file dialog is cancelled, as a user who changed his mind does.
    void CancelNextFileDialog() {
        auto poll = std::make_shared<QTimer>();
        poll->setInterval(10);
        QObject::connect(poll.get(), &QTimer::timeout, [poll]() mutable {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            poll->stop();
            QTimer::singleShot(0, dialog, &QFileDialog::reject);
            poll.reset();
        });
        poll->start();
        polls_.push_back(poll);
    }
    std::vector<std::shared_ptr<QTimer>> polls_;
};

// Edit, Open answered Discard and its file dialog cancelled, Exit cancelled, one more edit:
// then it waits for the autosave to hold the last edit, says so, and waits to be killed.
TEST_F(KilledEditorChild, EditsCancelsTheQuestionsAndWaitsToBeKilled) {
    ASSERT_TRUE(DropAndWait("walk.cha", 0));
    auto asked = AnswerNextMessage(QMessageBox::Discard);
    CancelNextFileDialog();
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(asked->isEmpty());
    asked = AnswerNextMessage(QMessageBox::Cancel);
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(asked->isEmpty());
    ASSERT_TRUE(Frame()->isVisible());
    ASSERT_EQ(Clips(), 1);
    const auto edited = fs::file_time_type::clock::now();
    DropRunAfterTheEnd();
    const fs::path autosave = FileCommands()->AutosaveFile();
    EXPECT_TRUE(WaitUntil([&] {
        std::error_code error;
        return fs::last_write_time(autosave, error) >= edited && !error;
    })) << "the autosave follows the edit";
    std::ofstream(Home() / "edited") << "2";
    WaitUntil([] { return false; }, 120000);
}

class KilledEditorJourney : public JourneyFixture {
protected:
    void SetUp() override {
        if (std::getenv(kKilledHome)) GTEST_SKIP() << "the child does not start another";
        UseFreshSettings();
    }
};

TEST_F(KilledEditorJourney, WorkKilledAfterCancelledQuestionsIsOfferedAtTheNextStart) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kKilledHome, QString::fromStdString(Home().string()));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=KilledEditorChild.EditsCancelsTheQuestionsAndWaitsToBeKilled"});
    ASSERT_TRUE(child.waitForStarted());
    const bool edited = WaitUntil(
        [&] { return fs::exists(Home() / "edited") || child.state() == QProcess::NotRunning; },
        120000);
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished();
    ASSERT_TRUE(edited && fs::exists(Home() / "edited"))
        << "the child did not get through its edits:\n"
        << child.readAllStandardOutput().toStdString();

    auto asked = AnswerNextMessage(QMessageBox::Yes);
    ASSERT_TRUE(StartEditor());
    EXPECT_TRUE(WaitUntil([&] { return !asked->isEmpty(); })) << "nothing was offered";
    EXPECT_TRUE(WaitUntil([&] { return Clips() == 2; })) << Clips() << " clips restored";
    EXPECT_TRUE(Model().IsModified());
}

}  // namespace
}  // namespace tavrel::journeys
