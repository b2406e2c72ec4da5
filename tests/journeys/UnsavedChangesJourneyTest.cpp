// A project with changes pending meets Open and Exit: every way out asks first, and Cancel,
// Discard and Save do what they say to the timeline and to the files on disk.
#include <QMenu>
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

}  // namespace
}  // namespace tavrel::journeys
