// The gallery inside the assembled main window, driven by real key and mouse events into the
// focused widget: the edit keys reach it through the main window's menu, renames survive what
// happens around an open editor, and a drag that moves nothing leaves rows and files in step.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <optional>

#include "app/GalleryHost.h"
#include "app/TimelineHost.h"
#include "browse/FileTreeCtrl.h"
#include "browse/ThumbnailCtrl.h"
#include "tests/app/ShellFixture.h"
#include "tests/browse/BrowseTestSupport.h"

namespace tavrel::testing {
namespace {

namespace fs = std::filesystem;

// The gallery as the editor makes it; the user's answers to its boxes come from the test.
struct AnsweringHost : CGalleryHost {
    using CGalleryHost::CGalleryHost;
    bool Ask(const QString& text) override {
        asked << text;
        return answer;
    }
    void Tell(const QString& text) override {
        told << text;
        if (onTell) onTell();
    }
    bool answer = true;
    QStringList asked, told;
    std::function<void()> onTell;
};

class GalleryInWindowTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);  // the trash goes there
        if (const char* tmp = std::getenv("TMPDIR")) previousTmp = tmp;
        ::setenv("TMPDIR", (home / "tmp").c_str(), 1);  // a new project empties its working folder
        fs::create_directories(home / "tmp");
        fs::create_directories(Library() / "other");
        for (const char* name : {"run.chb", "turn.chb", "walk.cha", "other/run.chb"}) {
            WriteStandardMotion(Library() / name, 2);
        }
        // The real timeline too: every window's actions are in the main window.
        CTimelinePanel::Services services;
        services.sound = &sound;
        auto timeline = CTimelineHost::Create(mediator.get(), services);
        ASSERT_TRUE(timeline);
        QWidget* panel = timeline->View();
        mediator->Timeline()->SetPanel(panel, std::move(timeline));
        auto made = std::make_unique<AnsweringHost>(
            mediator.get(), QString::fromStdString(Library()), TAVREL_SHARE_DIR);
        host = made.get();
        mediator->Gallery()->SetPane(host->Frame(), std::move(made));
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        Thumbnails().setFocus();
        ASSERT_TRUE(WaitFor([&] { return mediator->ActiveColleague() == mediator->Gallery(); }));
    }
    void TearDown() override {
        ShellFixture::TearDown();
        previousTmp ? ::setenv("TMPDIR", previousTmp->c_str(), 1) : ::unsetenv("TMPDIR");
    }

    fs::path Library() const { return fs::path(home.Path()) / "library"; }
    CThumbnailCtrl& Thumbnails() { return *host->Frame()->Thumbnails(); }
    CFileTreeCtrl& Tree() { return *host->Frame()->Tree(); }
    void Select(const QString& label) {
        Thumbnails().setFocus();
        const QList<QListWidgetItem*> found = Thumbnails().findItems(label, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        Thumbnails().setCurrentItem(found[0], QItemSelectionModel::ClearAndSelect);
    }
    void ShowFolder(const fs::path& folder) {
        Tree().SelectPath(QString::fromStdString(folder));
        Thumbnails().setFocus();
    }
    // A key as the user presses it: into whatever widget has the focus.
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        frame->UpdateCommandStates();  // as the idle timer would have done by now
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    // The view's open label editor (closed ones linger hidden).
    static QLineEdit* Editor(QAbstractItemView* view) {
        for (QLineEdit* editor : view->viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible()) return editor;
        }
        return nullptr;
    }
    static bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
    static QStringList Listing(const fs::path& folder) {
        QStringList names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) names << QString::fromStdString(entry.path().filename());
        }
        names.sort();
        return names;
    }

    std::optional<std::string> previousTmp;
    CNullSoundPlayback sound;
    AnsweringHost* host = nullptr;
};

TEST_F(GalleryInWindowTest, NoTwoEnabledActionsShareAKeyAndTheEditKeysReachTheGallery) {
    Select("walk.cha");
    Thumbnails().UpdateActions();
    frame->UpdateCommandStates();
    std::map<QString, QStringList> owners;
    for (QAction* action : frame->findChildren<QAction*>()) {
        if (!action->isEnabled()) continue;
        for (const QKeySequence& key : action->shortcuts()) owners[key.toString()] << action->text();
    }
    for (const auto& [key, actions] : owners) EXPECT_EQ(actions.size(), 1) << key.toStdString();

    QSignalSpy copies(frame->Action(command::kEditCopy), &QAction::triggered);
    Press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copies.count(), 1);  // the main window's Copy owns the key
    ShowFolder(Library() / "other");
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(fs::exists(Library() / "other/walk.cha"));
    Select("walk.cha");
    Press(Qt::Key_Delete);
    EXPECT_EQ(Listing(Library() / "other"), QStringList({"run.chb"}));
    Tree().SelectPath(QString::fromStdString(Library() / "other"));
    Tree().setFocus();
    Press(Qt::Key_Delete);  // Del in the tree deletes the folder
    EXPECT_FALSE(fs::exists(Library() / "other"));
}

// While a name is typed the folder changes outside (the view is read again), the view's
// refresh and new-folder keys are pressed, and the edited item's picture changes (the worker,
// hover play); a refused name's message is read while
// another program adds a file. The item may not be freed, the typing not undone, and no box
// may run inside the delegate's commit.
TEST_F(GalleryInWindowTest, RenamesSurviveWhatHappensAroundAnOpenEditor) {
    struct Case {
        QAbstractItemView* view;
        std::function<void()> choose, readAgain;
        fs::path before, after;
        QKeyCombination key = Qt::Key_F2;
    };
    const auto chooseFolder = [&](const fs::path& folder) {
        return [&, folder] { Tree().SelectPath(QString::fromStdString(folder)); };
    };
    const Case cases[] = {
        {&Thumbnails(), [&] { Select("walk.cha"); }, [&] { Thumbnails().Refill(); },
         Library() / "walk.cha", Library() / "stride.cha"},
        {&Tree(), chooseFolder(Library() / "other"), [&] { Tree().Refresh(); },
         Library() / "other", Library() / "stride"},
        {&Tree(), chooseFolder(Library()), [&] { Tree().Refresh(); }, Library() / "New Folder",
         Library() / "made", Qt::CTRL | Qt::SHIFT | Qt::Key_N},
    };
    int added = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.after.filename().string());
        c.choose();
        c.view->setFocus();
        Thumbnails().HoverOver(Thumbnails().currentRow());  // the pointer rests on it
        bool tellInCommit = false;
        host->onTell = [&] {
            tellInCommit |= Editor(c.view) != nullptr;
            WriteStandardMotion(Library() / ("added" + std::to_string(++added) + ".cha"), 1);
            c.readAgain();
        };
        const auto type = [&](const QString& name) {
            ASSERT_TRUE(Editor(c.view));
            Editor(c.view)->selectAll();
            QTest::keyClicks(Editor(c.view), name);
        };
        Press(c.key.key(), c.key.keyboardModifiers());
        const QPersistentModelIndex edited = c.view->currentIndex();
        type(QString(51, 'x'));  // too long: refused
        c.readAgain();
        Press(Qt::Key_F5);  // the view's own keys wait too
        Press(Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        Thumbnails().StepHover();
        c.view->model()->setData(edited, QIcon(), Qt::DecorationRole);
        ASSERT_TRUE(edited.isValid() && Editor(c.view));
        EXPECT_EQ(Editor(c.view)->text(), QString(51, 'x'));
        QTest::keyClick(Editor(c.view), Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return host->told.size() == 1; }));
        EXPECT_FALSE(tellInCommit);
        ASSERT_TRUE(WaitFor([&] { return Editor(c.view) != nullptr; }));  // edits on
        type(QString::fromStdString(c.after.filename()));
        QTest::keyClick(Editor(c.view), Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return fs::exists(c.after); }));
        EXPECT_FALSE(fs::exists(c.before));
        host->told.clear();
        host->onTell = nullptr;
    }
}

// Drags of run.chb onto folders where nothing moves: its own folder, and one whose run.chb
// the user declines to paste beside. The rows stay those of the folder, and Del on the row
// next to it removes that file and no other.
TEST_F(GalleryInWindowTest, ADragThatMovesNothingKeepsRowsAndFilesInStep) {
    const QStringList files = Listing(Library());
    host->answer = false;
    int drags = 0;
    for (const fs::path& target : {Library(), Library() / "other"}) {
        ShowFolder(target);  // shown once, so that its item stands
        ShowFolder(Library());
        const QPoint at =
            Tree().visualItemRect(Tree().FindItem(QString::fromStdString(target))).center();
        Thumbnails().SetDragRunner([&](QDrag& drag) {
            ++drags;
            const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
            QDragEnterEvent enter(at, actions, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(Tree().viewport(), &enter);
            QDropEvent drop(at, actions, drag.mimeData(), Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(Tree().viewport(), &drop);
        });
        Select("run.chb");
        const QPoint from = Thumbnails().visualItemRect(Thumbnails().currentItem()).center();
        QTest::mousePress(Thumbnails().viewport(), Qt::LeftButton, {}, from);
        for (const QPoint step : {QPoint(5, 5), QPoint(40, 40)}) {  // the first arms the drag
            QMouseEvent move(QEvent::MouseMove, from + step,
                             Thumbnails().viewport()->mapToGlobal(from + step), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(Thumbnails().viewport(), &move);
        }
        QTest::mouseRelease(Thumbnails().viewport(), Qt::LeftButton, {}, from + QPoint(40, 40));
        EXPECT_EQ(Listing(Library()), files);
        for (int i = 0; i < Thumbnails().count(); ++i) {
            EXPECT_EQ(Thumbnails().item(i)->text(), files.value(i)) << target;
        }
        EXPECT_EQ(Thumbnails().count(), files.size());
    }
    EXPECT_EQ(drags, 2);
    EXPECT_EQ(host->asked.size(), 1);  // the name clash in the other folder
    host->answer = true;
    Select("turn.chb");
    Press(Qt::Key_Delete);
    EXPECT_EQ(Listing(Library()), QStringList({"run.chb", "walk.cha"}));
}

}  // namespace
}  // namespace tavrel::testing
