// The gallery's file clipboard: copy, cut and paste never overwrite a file.
#include <gtest/gtest.h>

#include <cerrno>

#include "browse/core/DesktopTrash.h"
#include "browse/core/FileClipboard.h"
#include "settings/StringIds.h"
#include "tests/motion/MotionFiles.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteText;

struct Answers {
    bool yes = false;
    std::vector<std::string> offered;
    std::vector<Message> asked;
    NameClashQuestion Function() {
        return [this](const Message& message, const std::string& derived) {
            asked.push_back(message);
            offered.push_back(derived);
            return yes;
        };
    }
};

TEST(FileClipboard, CopyPastesAgainUnderADerivedNameOnlyWhenTheUserAgrees) {
    TempDir dir;
    fs::create_directory(dir / "from");
    fs::create_directory(dir / "to");
    WriteText(dir / "from/walk.cha", "walk");
    WriteText(dir / "to/walk.cha", "other walk");
    CFileClipboard clipboard;
    clipboard.Copy({dir / "from/walk.cha"});
    EXPECT_TRUE(fs::exists(dir / "from/walk.cha"));  // nothing happens before the paste

    Answers no;
    TransferResult result = clipboard.Paste(dir / "to", no.Function());
    EXPECT_EQ(result.skipped, 1u);
    EXPECT_EQ(ReadBytes(dir / "to/walk.cha"), "other walk");
    ASSERT_EQ(no.asked.size(), 1u);
    EXPECT_EQ(no.asked[0].id, strings::kPasteNameClash);
    EXPECT_EQ(no.asked[0].values[0].second, "walk_1.cha");

    Answers yes;
    yes.yes = true;
    result = clipboard.Paste(dir / "to", yes.Function());
    EXPECT_EQ(result.done, (std::vector<std::string>{dir / "to/walk_1.cha"}));
    EXPECT_EQ(ReadBytes(dir / "to/walk_1.cha"), "walk");
    // Pasting a file into its own folder is the same clash.
    result = clipboard.Paste(dir / "from", yes.Function());
    EXPECT_EQ(result.done, (std::vector<std::string>{dir / "from/walk_1.cha"}));
    EXPECT_EQ(ReadBytes(dir / "from/walk.cha"), "walk");
    EXPECT_FALSE(clipboard.IsEmpty());
}

TEST(FileClipboard, CutMovesOnceAndLeavesAFileInItsOwnFolderAlone) {
    TempDir dir;
    fs::create_directory(dir / "to");
    WriteText(dir / "a.cha", "a");
    WriteText(dir / "b.cha", "b");
    CFileClipboard clipboard;
    clipboard.Cut({dir / "a.cha", dir / "missing.cha"});
    Answers yes;
    yes.yes = true;
    TransferResult result = clipboard.Paste(dir / "to", yes.Function());
    EXPECT_EQ(result.done, (std::vector<std::string>{dir / "to/a.cha"}));
    EXPECT_EQ(result.failed, (std::vector<std::string>{dir / "missing.cha"}));
    EXPECT_FALSE(fs::exists(dir / "a.cha"));
    EXPECT_EQ(ReadBytes(dir / "to/a.cha"), "a");
    EXPECT_TRUE(clipboard.IsEmpty());

    clipboard.Cut({dir / "b.cha"});
    result = clipboard.Paste(dir.Path().string(), yes.Function());
    EXPECT_TRUE(yes.asked.empty());
    EXPECT_EQ(result.skipped, 1u);
    EXPECT_EQ(ReadBytes(dir / "b.cha"), "b");
}

TEST(FileClipboard, MovingOntoATakenNameNeverReplacesIt) {
    TempDir dir;
    fs::create_directory(dir / "to");
    WriteText(dir / "a.cha", "mine");
    WriteText(dir / "to/a.cha", "theirs");
    Answers no;
    TransferResult result =
        TransferFiles({dir / "a.cha"}, dir / "to", FileTransfer::kMove, no.Function());
    EXPECT_TRUE(result.done.empty());
    EXPECT_EQ(ReadBytes(dir / "a.cha"), "mine");
    EXPECT_EQ(ReadBytes(dir / "to/a.cha"), "theirs");
}

// A move to another file system copies, then removes the original. When the remove fails the
// move is a failure and the file is in its old place only, and no file is ever lost.
TEST(FileClipboard, AMoveAcrossFileSystemsLeavesTheFileInOnePlace) {
    TempDir dir;
    const auto otherSystem = [](const std::string&, const std::string&) {
        errno = EXDEV;
        return false;
    };
    const auto refused = [](const std::string&) { return false; };
    struct Case {
        MoveSteps steps;
        bool moved;
    };
    for (const Case& c : {Case{{otherSystem, refused}, false}, Case{{otherSystem, RemoveTree}, true},
                          Case{{}, true}}) {
        fs::remove_all(dir / "from");
        fs::remove_all(dir / "to");
        fs::create_directory(dir / "from");
        fs::create_directory(dir / "to");
        WriteText(dir / "from/walk.cha", "walk");
        const TransferResult result =
            TransferFiles({dir / "from/walk.cha"}, dir / "to", FileTransfer::kMove, {}, c.steps);
        EXPECT_EQ(result.done.size(), c.moved ? 1u : 0u);
        EXPECT_EQ(result.failed.size(), c.moved ? 0u : 1u);
        EXPECT_EQ(fs::exists(dir / "from/walk.cha"), !c.moved);
        EXPECT_EQ(fs::exists(dir / "to/walk.cha"), c.moved);
    }
    // A folder removed only in part keeps its whole copy in the trash: no file is lost.
    fs::create_directory(dir / "set");
    WriteText(dir / "set/a.cha", "a");
    WriteText(dir / "set/b.cha", "b");
    const auto partly = [](const std::string& folder) { return !fs::remove(folder + "/a.cha"); };
    EXPECT_FALSE(MoveToDesktopTrash(dir / "set", dir / "data", {otherSystem, partly}));
    EXPECT_EQ(ReadBytes(dir / "data/Trash/files/set/a.cha"), "a");
    EXPECT_EQ(ReadBytes(dir / "set/b.cha"), "b");
}

TEST(DesktopTrash, MovesFilesAndFoldersWithTheirOriginUnderFreeNames) {
    TempDir dir;
    const std::string home = dir / "data";
    fs::create_directory(dir / "lib");
    WriteText(dir / "lib/walk me.cha", "first");
    ASSERT_TRUE(MoveToDesktopTrash(dir / "lib/walk me.cha", home));
    WriteText(dir / "lib/walk me.cha", "second");
    ASSERT_TRUE(MoveToDesktopTrash(dir / "lib/walk me.cha", home));
    EXPECT_FALSE(fs::exists(dir / "lib/walk me.cha"));
    EXPECT_EQ(ReadBytes(home + "/Trash/files/walk me.cha"), "first");
    EXPECT_EQ(ReadBytes(home + "/Trash/files/walk me.cha.2"), "second");
    const std::string info = ReadBytes(home + "/Trash/info/walk me.cha.trashinfo");
    EXPECT_NE(info.find("[Trash Info]\nPath=" + dir.Path().string() + "/lib/walk%20me.cha\n"),
              std::string::npos);
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);

    ASSERT_TRUE(MoveToDesktopTrash(dir / "lib", home));
    EXPECT_TRUE(fs::is_directory(home + "/Trash/files/lib"));
    EXPECT_FALSE(MoveToDesktopTrash(dir / "lib", home));  // gone already
    EXPECT_FALSE(fs::exists(home + "/Trash/info/lib.2.trashinfo"));
}

}  // namespace
}  // namespace tavrel
