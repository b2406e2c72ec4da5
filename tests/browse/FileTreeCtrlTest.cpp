// The library's folder tree on temporary folders.
#include <gtest/gtest.h>

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidgetItemIterator>
#include <QSignalSpy>
#include <QTest>

#include "browse/FileTreeCtrl.h"
#include "browse/ThumbnailCtrl.h"
#include "settings/StringIds.h"
#include "tests/browse/BrowseTestSupport.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using testing::FakeServices;
using testing::Q;
using testing::TempDir;

QStringList ChildTexts(QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
}

// The open label editor (closed ones linger until deleted later).
QLineEdit* OpenEditor(CFileTreeCtrl& tree) {
    for (QLineEdit* editor : tree.viewport()->findChildren<QLineEdit*>()) {
        if (editor->isVisible()) return editor;
    }
    return nullptr;
}

// Types a name into the open label editor and ends the edit with Return.
bool TypeName(CFileTreeCtrl& tree, const QString& name) {
    QLineEdit* editor = OpenEditor(tree);
    if (!editor) return false;
    editor->setText(name);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits and closes in a queued call
    QCoreApplication::processEvents();  // a message comes once the editor has closed
    return true;
}

class FileTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"b", "A", "c", "A/inner"}) fs::create_directory(dir / name);
        tree.SetThumbnailView(&thumbs);
        tree.Initialise(Q(dir.Path().string()));
        tree.show();
    }
    TempDir dir;
    FakeServices services;
    CThumbnailCtrl thumbs{services, nullptr};
    CFileTreeCtrl tree{services};
};

TEST_F(FileTreeTest, FilesAddedToAShownFolderAppearWithoutARefresh) {
    thumbs.SetAcceptedExtensions("cha");
    // A leaf never expanded, a folder with subfolders, and the same leaf after a refresh.
    for (const char* folder : {"c", "A", "A/inner", "A/inner"}) {
        tree.SelectPath(Q(dir / folder));
        ASSERT_EQ(thumbs.CurrentFolder(), Q(dir / folder));
        if (std::string(folder) == "A/inner") tree.Refresh();
        const size_t before = thumbs.Entries().size();
        testing::WriteText(dir / (std::string(folder) + "/m" + std::to_string(before) + ".cha"),
                           "not yet a motion");
        QTRY_COMPARE_WITH_TIMEOUT(thumbs.Entries().size(), before + 1, 5000);
    }
}

// A drag that hovers over a closed folder opens it; the drop is then refused (the files are
// gone): no folder stays marked as the drop's target.
TEST_F(FileTreeTest, ARefusedDropLeavesNoFolderMarked) {
    QTreeWidgetItem* folder = tree.FindItem(Q(dir / "A"));
    ASSERT_NE(folder, nullptr);
    folder->setExpanded(false);
    QMimeData data;
    data.setData(CThumbnailCtrl::kMotionFilesMime, Q(dir / "gone.cha").toUtf8());
    const QPoint at = tree.visualItemRect(folder).center();
    QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree.viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree.viewport(), &move);
    ASSERT_NE(folder->background(0).style(), Qt::NoBrush);
    ASSERT_TRUE(QTest::qWaitFor([&] { return folder->isExpanded(); }, 5000));
    QDropEvent drop(QPointF(at), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree.viewport(), &drop);
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        EXPECT_EQ((*it)->background(0).style(), Qt::NoBrush) << (*it)->text(0).toStdString();
}

TEST_F(FileTreeTest, ListsFoldersWithoutRegardToCaseAndMarksOnlyThoseWithSubfolders) {
    QTreeWidgetItem* root = tree.RootItem();
    // The library goes by its folder's name, the path in the tooltip.
    EXPECT_EQ(root->text(0), Q(dir.Path().filename().string()));
    EXPECT_EQ(root->toolTip(0), Q(dir.Path().string()));
    EXPECT_EQ(ChildTexts(root), QStringList({"A", "b", "c"}));
    EXPECT_EQ(root->child(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_NE(root->child(1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(root->child(0)->childCount(), 0);  // read on first expansion
    tree.SelectPath(Q(dir / "A/inner"));
    EXPECT_EQ(ChildTexts(root->child(0)), QStringList({"inner"}));
    EXPECT_EQ(tree.CurrentFolder(), Q(dir / "A/inner"));
    EXPECT_EQ(thumbs.CurrentFolder(), Q(dir / "A/inner"));
    tree.SelectPath(Q(dir / "c/missing/deeper"));
    EXPECT_EQ(tree.CurrentFolder(), Q(dir / "c"));
}

TEST_F(FileTreeTest, NewFoldersGetTheBaseNameThenACounter) {
    tree.SelectPath(Q(dir / "b"));
    tree.NewFolder();
    ASSERT_TRUE(TypeName(tree, "New Folder"));
    tree.SelectPath(Q(dir / "b"));
    tree.NewFolder();
    QLineEdit* editor = OpenEditor(tree);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), "New Folder (2)");
    ASSERT_TRUE(TypeName(tree, editor->text()));
    EXPECT_TRUE(fs::is_directory(dir / "b/New Folder"));
    EXPECT_TRUE(fs::is_directory(dir / "b/New Folder (2)"));
    EXPECT_EQ(ChildTexts(tree.FindItem(Q(dir / "b"))),
              QStringList({"New Folder", "New Folder (2)"}));

    // An edit ended without a name makes nothing.
    tree.SelectPath(Q(dir / "c"));
    tree.NewFolder();
    ASSERT_TRUE(TypeName(tree, ""));
    EXPECT_TRUE(fs::is_empty(dir / "c"));
    EXPECT_EQ(tree.FindItem(Q(dir / "c"))->childCount(), 0);
}

TEST_F(FileTreeTest, RenameRefusesLongNamesAndFollowsWithTheThumbnails) {
    tree.SelectPath(Q(dir / "A"));
    tree.RenameFolder();
    ASSERT_TRUE(TypeName(tree, QString(51, 'x')));
    EXPECT_EQ(services.told.size(), 1);
    EXPECT_TRUE(fs::is_directory(dir / "A"));
    QCoreApplication::processEvents();  // the edit opens again for a better name
    ASSERT_TRUE(TypeName(tree, "Ä walk"));
    EXPECT_TRUE(fs::is_directory(dir / "Ä walk/inner"));
    EXPECT_FALSE(fs::exists(dir / "A"));
    EXPECT_EQ(tree.CurrentFolder(), Q(dir / "Ä walk"));
    EXPECT_EQ(thumbs.CurrentFolder(), Q(dir / "Ä walk"));
    // Renaming onto a taken name is refused and changes nothing.
    tree.RenameFolder();
    ASSERT_TRUE(TypeName(tree, "b"));
    EXPECT_TRUE(fs::is_directory(dir / "Ä walk"));
    EXPECT_EQ(services.told.size(), 2);
    // The root is not renamed from the tree.
    tree.setCurrentItem(tree.RootItem());
    EXPECT_FALSE(tree.CanChange());
}

// An edit ended by moving on with an arrow key: Qt commits the name and closes the editor while
// it still holds the item it leaves, which the rebuild after a rename or a new folder freed.
TEST_F(FileTreeTest, AnEditEndedByAnArrowKeyLeavesTheTreeWhole) {
    struct Case {
        const char* start;
        void (CFileTreeCtrl::*command)();
        Qt::Key key;
        const char* made;
    };
    for (const Case& c : {Case{"b", &CFileTreeCtrl::RenameFolder, Qt::Key_Down, "b2"},
                          Case{"b2", &CFileTreeCtrl::RenameFolder, Qt::Key_Up, "b3"},
                          Case{"c", &CFileTreeCtrl::NewFolder, Qt::Key_Up, "c/n"}}) {
        SCOPED_TRACE(c.made);
        tree.SelectPath(Q(dir / c.start));
        (tree.*c.command)();
        QLineEdit* editor = OpenEditor(tree);
        ASSERT_TRUE(editor);
        editor->setText(fs::path(c.made).filename().c_str());
        QTest::keyClick(editor, c.key);
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs::is_directory(dir / c.made); }, 2000));
        QTest::qWait(20);
        EXPECT_TRUE(tree.FindItem(Q(dir / c.made)));
        EXPECT_FALSE(OpenEditor(tree));
    }
}

TEST_F(FileTreeTest, DeleteAsksAndMovesTheFolderToTheTrash) {
    testing::WriteText(dir / "c/kept.cha", "motion");
    tree.SelectPath(Q(dir / "c"));
    services.answer = false;
    tree.DeleteFolder();
    EXPECT_TRUE(fs::exists(dir / "c/kept.cha"));
    ASSERT_EQ(services.asked.size(), 1);
    EXPECT_EQ(services.asked[0], GalleryText(strings::kDeleteFolderQuestion));

    services.answer = true;
    tree.DeleteFolder();
    EXPECT_FALSE(fs::exists(dir / "c"));
    EXPECT_EQ(testing::ReadBytes(testing::TrashedFile("c") + "/kept.cha"), "motion");
    EXPECT_EQ(ChildTexts(tree.RootItem()), QStringList({"A", "b"}));
    EXPECT_EQ(tree.currentItem(), tree.RootItem());
}

// Folder commands wait for an open label editor: a new folder started under a rename closed
// the rename's editor, which took the new item with it while it was being selected.
TEST_F(FileTreeTest, FolderCommandsWaitForAnOpenLabelEditor) {
    tree.SelectPath(Q(dir / "b"));
    services.answer = true;
    for (auto command : {&CFileTreeCtrl::NewFolder, &CFileTreeCtrl::DeleteFolder}) {
        tree.RenameFolder();
        ASSERT_TRUE(OpenEditor(tree));
        EXPECT_FALSE(tree.CanCreate());
        EXPECT_FALSE(tree.CanChange());
        (tree.*command)();
        ASSERT_TRUE(TypeName(tree, "b2"));
        EXPECT_TRUE(services.asked.isEmpty());
        EXPECT_EQ(ChildTexts(tree.RootItem()), QStringList({"A", "b2", "c"}));
        EXPECT_EQ(tree.CurrentFolder(), Q(dir / "b2"));
        tree.RenameFolder();
        ASSERT_TRUE(TypeName(tree, "b"));
    }
}

// The folders change on disk while the delete question is up: the tree is read again only
// once the folder has gone, and the deleted folder leaves no item behind.
TEST_F(FileTreeTest, DeleteOutlivesTheTreeBeingReadAgainDuringItsQuestion) {
    tree.SelectPath(Q(dir / "A/inner"));
    tree.SelectPath(Q(dir / "A"));
    QTreeWidgetItem* asked = tree.currentItem();
    services.whileAsking = [&] {
        fs::create_directory(dir / "A/later");
        fs::create_directory(dir / "B2");
        tree.Refresh();
        EXPECT_EQ(tree.currentItem(), asked);  // the item the question is about stays
    };
    tree.DeleteFolder();
    EXPECT_FALSE(fs::exists(dir / "A"));
    EXPECT_EQ(ChildTexts(tree.RootItem()), QStringList({"b", "B2", "c"}));
    EXPECT_EQ(tree.currentItem(), tree.RootItem());
}

// A folder change that arrives while a click's selection is handled (the thumbnails' wait
// turns the event loop) waits until the click is over: the view still uses its items.
TEST_F(FileTreeTest, AFolderChangeDuringASelectionWaitsForTheClick) {
    QTreeWidgetItem* clicked = tree.FindItem(Q(dir / "c"));
    QObject::connect(&tree, &CFileTreeCtrl::FolderSelected, [&] {
        fs::create_directory(dir / "B2");
        tree.Refresh();
    });
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(clicked).center());
    EXPECT_EQ(tree.currentItem(), clicked);
    QTRY_COMPARE(ChildTexts(tree.RootItem()), QStringList({"A", "b", "B2", "c"}));
    EXPECT_EQ(tree.CurrentFolder(), Q(dir / "c"));
}

TEST_F(FileTreeTest, GrayedWhileTheTimelineIsBusy) {
    tree.SelectPath(Q(dir / "b"));
    services.busy = true;
    EXPECT_FALSE(tree.CanCreate());
    tree.NewFolder();
    tree.DeleteFolder();
    EXPECT_FALSE(OpenEditor(tree));
    EXPECT_TRUE(services.asked.isEmpty());
    EXPECT_TRUE(fs::exists(dir / "b"));
}

TEST_F(FileTreeTest, FollowsFoldersMadeAndRemovedOutsideTheProgram) {
    tree.SelectPath(Q(dir / "b"));
    fs::create_directory(dir / "B2");
    QTRY_COMPARE(ChildTexts(tree.RootItem()), QStringList({"A", "b", "B2", "c"}));
    fs::remove(dir / "b");
    QTRY_COMPARE(ChildTexts(tree.RootItem()), QStringList({"A", "B2", "c"}));
    EXPECT_EQ(tree.CurrentFolder(), Q(dir.Path().string()));
    // Open folders stay open when the tree is read again.
    tree.FindItem(Q(dir / "A"))->setExpanded(true);
    tree.SelectPath(Q(dir / "c"));
    fs::create_directory(dir / "A/later");
    QTRY_COMPARE(ChildTexts(tree.FindItem(Q(dir / "A"))), QStringList({"inner", "later"}));
    EXPECT_TRUE(tree.FindItem(Q(dir / "A"))->isExpanded());
    EXPECT_EQ(tree.CurrentFolder(), Q(dir / "c"));
}

}  // namespace
}  // namespace tavrel
