// The gallery inside the assembled main window, driven by real key and mouse events into the
// focused widget: the edit keys reach it through the main window's menu, renames survive what
// happens around an open editor, and a drag that moves nothing leaves rows and files in step.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <map>
#include <optional>

#include "app/GalleryHost.h"
#include "app/TimelineHost.h"
#include "browse/FileTreeCtrl.h"
#include "browse/ThumbnailCtrl.h"
#include "tests/app/ShellFixture.h"
#include "tests/browse/BrowseTestSupport.h"
#include "tests/motion/MotionFiles.h"

namespace tavrel::testing {
namespace {

namespace fs = std::filesystem;

// The gallery as the editor makes it; the user's answers to its boxes come from the test.
class AnsweringHost : public CGalleryHost {
public:
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

QStringList Labels(const QListWidget& list) {
    QStringList labels;
    for (int i = 0; i < list.count(); ++i) labels << list.item(i)->text();
    return labels;
}

class GalleryInWindowTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);  // the trash goes there
        fs::create_directories(Library() / "other");
        for (const char* name : {"run.chb", "turn.chb", "walk.cha", "other/run.chb"}) {
            WriteStandardMotion(Library() / name, 2);
        }
        // The real timeline too: every window's actions are in the main window.
        if (const char* tmp = std::getenv("TMPDIR")) previousTmp = tmp;
        ::setenv("TMPDIR", (home / "tmp").c_str(), 1);  // a new project empties its working folder
        fs::create_directories(home / "tmp");
        CTimelinePanel::Services services;
        services.sound = &sound;
        auto timelineHost = CTimelineHost::Create(mediator.get(), services);
        ASSERT_TRUE(timelineHost);
        QWidget* panel = timelineHost->View();
        mediator->Timeline()->SetPanel(panel, std::move(timelineHost));
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
        if (previousTmp) {
            ::setenv("TMPDIR", previousTmp->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }

    fs::path Library() const { return fs::path(home.Path()) / "library"; }
    CThumbnailCtrl& Thumbnails() { return *host->Frame()->Thumbnails(); }
    CFileTreeCtrl& Tree() { return *host->Frame()->Tree(); }

    void Select(const QString& label) {
        Thumbnails().clearSelection();
        for (int i = 0; i < Thumbnails().count(); ++i) {
            if (Thumbnails().item(i)->text() == label) {
                Thumbnails().setCurrentItem(Thumbnails().item(i));
                Thumbnails().item(i)->setSelected(true);
            }
        }
    }
    // A key as the user presses it: into whatever widget has the focus.
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        frame->UpdateCommandStates();  // as the idle timer would have done by now
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    // The open label editor of the view with the focus, or of the given one.
    QLineEdit* Editor(QAbstractItemView* view = nullptr) {
        if (!view) view = qobject_cast<QAbstractItemView*>(QApplication::focusWidget());
        if (!view) return qobject_cast<QLineEdit*>(QApplication::focusWidget());
        for (QLineEdit* editor : view->viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible()) return editor;  // closed ones linger hidden
        }
        return nullptr;
    }
    // Types over the open label editor's text.
    void Type(QLineEdit* editor, const QString& text) {
        ASSERT_TRUE(editor);
        editor->selectAll();
        QTest::keyClicks(editor, text);
    }
    static bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 5000); }
    QStringList Listing(const fs::path& folder) {
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
    EXPECT_EQ(copies.count(), 1);
    ASSERT_EQ(Thumbnails().Clipboard().Paths().size(), 1u);
    EXPECT_EQ(Thumbnails().Clipboard().Paths()[0], Library() / "walk.cha");
    Tree().SelectPath(QString::fromStdString(Library() / "other"));
    Thumbnails().setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(fs::exists(Library() / "other/walk.cha"));
    Select("walk.cha");
    Press(Qt::Key_X, Qt::ControlModifier);
    Tree().SelectPath(QString::fromStdString(Library()));
    Thumbnails().setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);  // the name is taken: pasted under a derived one
    EXPECT_FALSE(fs::exists(Library() / "other/walk.cha"));
    EXPECT_EQ(Listing(Library()),
              QStringList({"run.chb", "turn.chb", "walk.cha", "walk_1.cha"}));
    Select("walk_1.cha");
    Press(Qt::Key_Delete);
    EXPECT_EQ(Listing(Library()), QStringList({"run.chb", "turn.chb", "walk.cha"}));
    // Del in the tree deletes the folder.
    Tree().SelectPath(QString::fromStdString(Library() / "other"));
    Tree().setFocus();
    Press(Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(Library() / "other"));
    EXPECT_TRUE(fs::exists(Library() / "run.chb"));
}

// What may happen while a name is typed: the folder changes outside (the views are read again),
// a picture or a hover frame lands on the item. And a refused name's message is read while
// another program adds a file. None of it may free the edited item or undo the typing, and no
// message box may run inside the delegate's commit.
TEST_F(GalleryInWindowTest, RenamesSurviveWhatHappensAroundAnOpenEditor) {
    struct Case {
        const char* view;
        std::function<QAbstractItemView*()> widget;
        std::function<void()> choose, readAgain;
        fs::path before, after;
    };
    const std::vector<Case> cases = {
        {"thumbnails", [&] { return static_cast<QAbstractItemView*>(&Thumbnails()); },
         [&] { Select("walk.cha"); }, [&] { Thumbnails().Refill(); }, Library() / "walk.cha",
         Library() / "stride.cha"},
        {"tree", [&] { return static_cast<QAbstractItemView*>(&Tree()); },
         [&] { Tree().SelectPath(QString::fromStdString(Library() / "other")); },
         [&] { Tree().Refresh(); }, Library() / "other", Library() / "stride"},
    };
    int added = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        QAbstractItemView* view = c.widget();
        c.choose();
        view->setFocus();
        const QPersistentModelIndex edited = view->currentIndex();
        bool tellInCommit = false;
        host->onTell = [&] {
            tellInCommit |= Editor(view) != nullptr;
            WriteStandardMotion(Library() / ("added" + std::to_string(++added) + ".cha"), 1);
            c.readAgain();
        };
        Press(Qt::Key_F2);
        Type(Editor(view), QString(51, 'x'));  // too long: refused
        c.readAgain();
        Thumbnails().StepHover();
        ASSERT_TRUE(edited.isValid());
        ASSERT_TRUE(Editor(view));
        EXPECT_EQ(Editor(view)->text(), QString(51, 'x'));
        QTest::keyClick(Editor(view), Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return host->told.size() == 1; }));
        host->told.clear();
        EXPECT_FALSE(tellInCommit);
        ASSERT_TRUE(WaitFor([&] { return Editor(view) != nullptr; }));  // edits on
        Type(Editor(view), QString::fromStdString(c.after.stem()) +
                               QString::fromStdString(c.before.extension()));
        QTest::keyClick(Editor(view), Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return fs::exists(c.after); }));
        EXPECT_FALSE(fs::exists(c.before));
        host->onTell = nullptr;
    }
}

TEST_F(GalleryInWindowTest, PicturesAndHoverPlayLeaveTheTypedNameAlone) {
    Select("walk.cha");
    const int row = Thumbnails().currentRow();
    Thumbnails().HoverOver(row);  // the pointer rests on it
    Press(Qt::Key_F2);
    Type(Editor(), "stride.cha");
    Thumbnails().StepHover();  // the hover timer's ticks
    Thumbnails().StepHover();
    Thumbnails().item(row)->setIcon(QIcon());  // as a picture from the worker does
    ASSERT_TRUE(Editor());
    QTest::keyClick(Editor(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(Library() / "stride.cha"); }));
    EXPECT_FALSE(fs::exists(Library() / "walk.cha"));
}

// Drags of run.chb onto folders where nothing moves: its own folder, and one whose run.chb
// the user declines to paste beside. The rows stay those of the folder, and Del on the row
// next to it removes that file and no other.
TEST_F(GalleryInWindowTest, ADragThatMovesNothingKeepsRowsAndFilesInStep) {
    const QStringList files = Listing(Library());
    host->answer = false;
    int drags = 0;
    for (const fs::path& target : {Library(), Library() / "other"}) {
        SCOPED_TRACE(target.string());
        Tree().SelectPath(QString::fromStdString(target));  // shown, so the item stands
        Tree().SelectPath(QString::fromStdString(Library()));
        QTreeWidgetItem* item = Tree().FindItem(QString::fromStdString(target));
        ASSERT_TRUE(item);
        const QPoint at = Tree().visualItemRect(item).center();
        Thumbnails().SetDragRunner([&](QDrag& drag) {
            ++drags;
            QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, drag.mimeData(),
                                  Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(Tree().viewport(), &enter);
            QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, drag.mimeData(),
                                Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(Tree().viewport(), &move);
            QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, drag.mimeData(), Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(Tree().viewport(), &drop);
        });
        Select("run.chb");
        Thumbnails().setFocus();
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
        EXPECT_EQ(Labels(Thumbnails()), files);
    }
    EXPECT_EQ(drags, 2);
    EXPECT_EQ(host->asked.size(), 1);  // the name clash in the other folder
    host->answer = true;
    Select("turn.chb");
    Thumbnails().setFocus();
    Press(Qt::Key_Delete);
    EXPECT_EQ(Listing(Library()), QStringList({"run.chb", "walk.cha"}));
}

}  // namespace
}  // namespace tavrel::testing
