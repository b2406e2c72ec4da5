// What the gallery lists of a folder, and the folder and name rules of the library tree.
#include <gtest/gtest.h>

#include <algorithm>

#include "browse/core/LibraryFolders.h"
#include "browse/core/MotionFolder.h"
#include "settings/StringIds.h"
#include "tests/motion/MotionFiles.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteStandardMotion;
using testing::WriteText;

TEST(MotionFolder, AcceptedExtensionsAreLowerCaseAndCompareWithoutCase) {
    const auto extensions = ParseAcceptedExtensions(" CHA, .chb,,Htr ");
    EXPECT_EQ(extensions, (std::vector<std::string>{"cha", "chb", "htr"}));
    EXPECT_TRUE(HasAcceptedExtension("walk.CHA", extensions));
    EXPECT_TRUE(HasAcceptedExtension("a.b.Htr", extensions));
    EXPECT_FALSE(HasAcceptedExtension("walk.cha.txt", extensions));
    EXPECT_FALSE(HasAcceptedExtension("cha", extensions));
}

// The listing opens no file: a damaged motion lists by name like a whole one, and says why it
// cannot be shown only when it is read whole (by the thumbnail worker).
TEST(MotionFolder, ListsAcceptedFilesByNameAndFindsTheUnreadableWhenReadWhole) {
    TempDir dir;
    WriteStandardMotion(dir / "walk.CHA", 3);
    WriteStandardMotion(dir / "run fast ä.chb", 2);
    WriteText(dir / "notes.txt", "hello");
    WriteText(dir / "broken.cha", "not a motion");
    fs::create_directory(dir / "folder.cha");
    fs::create_symlink(dir / "nowhere.cha", dir / "dangling.cha");
    fs::create_directory_symlink(dir.Path(), dir / "loop");
    // A head whose frames were cut off.
    WriteStandardMotion(dir / "cut.cha", 3);
    auto motion = CreateAnimFile((dir / "cut.cha").c_str(), kTypeCHA, 0);
    ASSERT_TRUE(motion);
    fs::resize_file(dir / "cut.cha", motion->GetMotionOffset());

    const auto listing = ListMotionFolder(dir.Path().string(), {"cha", "chb", "htr"});
    EXPECT_EQ(listing.names,
              (std::vector<std::string>{"broken.cha", "cut.cha", "run fast ä.chb", "walk.CHA"}));
    EXPECT_TRUE(listing.unreadable.empty());
    // Each damaged one says why, for the gallery's tooltip.
    for (const std::string& name : listing.names) {
        const std::string reason = MotionUnreadableReason(dir / name);
        const bool damaged = name == "broken.cha" || name == "cut.cha";
        EXPECT_EQ(reason.rfind("Cannot be read: ", 0) == 0, damaged) << name << ": " << reason;
        EXPECT_EQ(reason.empty(), !damaged) << name;
    }
    EXPECT_TRUE(ListMotionFolder(dir / "missing", {"cha"}).names.empty());
}

TEST(MotionFolder, TheFirstFolderHoldingMotionsInTheTreesOrder) {
    TempDir dir;
    const std::string root = dir.Path().string();
    // Each case: the files made under the root (in order), and the folder that opens.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"a/b/notes.txt"}, ""},
        {{"top.chb", "a/walk.cha"}, ""},
        {{"b/x/run.chb", "A/empty.txt", "a2/jump.htr"}, "/a2"},
        {{"Sports/deep/kick.BVH", "Sports/z.txt", "Walks/walk.cha"}, "/Sports/deep"},
    };
    for (const auto& [files, expected] : cases) {
        for (const auto& entry : fs::directory_iterator(root)) fs::remove_all(entry.path());
        for (const std::string& file : files) {
            fs::create_directories(fs::path(root + "/" + file).parent_path());
            WriteText(root + "/" + file, "x");
        }
        fs::create_directory_symlink(root, root + "/loop");  // never followed
        EXPECT_EQ(FirstFolderWithMotions(root, {"cha", "chb", "htr", "bvh"}), root + expected)
            << (files.empty() ? "" : files.front());
    }
}

// Listed by name are the files with full paths of up to 260 characters (longer cannot enter
// the timeline); only those whose every frame reads get a picture and become clips.
TEST(MotionFolder, ListsPathsUpTo260CharactersAndOnlyWholeMotionsRead) {
    TempDir dir;
    const std::string prefix = dir / "";
    const auto named = [&](size_t length, const char* extension) {
        return std::string(length - prefix.size() - 4, 'm') + extension;
    };
    struct Case {
        std::string name;
        int cut;  // bytes taken off the end
        bool listed;
        bool whole;
    };
    const std::vector<Case> cases = {
        {"whole.cha", 0, true, true},          {"whole.chb", 0, true, true},
        {"cut.cha", 40, true, false},          {"cut.chb", 40, true, false},
        {"lastbytes.chb", 1, true, false},     {named(255, ".cha"), 0, true, true},
        {named(256, ".chb"), 0, true, true},   {named(260, ".cha"), 0, true, true},
        {named(261, ".chb"), 0, false, false},
    };
    std::vector<std::string> listed;
    for (const Case& c : cases) {
        WriteStandardMotion(dir / c.name, 6);
        fs::resize_file(dir / c.name, fs::file_size(dir / c.name) - c.cut);
        if (c.listed) listed.push_back(c.name);
        std::string reason;
        EXPECT_EQ(OpenWholeMotion(dir / c.name, &reason) != nullptr, c.whole) << c.name;
        EXPECT_EQ(reason.empty(), c.whole) << c.name << ": " << reason;
    }
    std::sort(listed.begin(), listed.end());
    const auto listing = ListMotionFolder(dir.Path().string(), {"cha", "chb"});
    EXPECT_EQ(listing.names, listed);
    EXPECT_EQ(listing.unreadable, std::vector<std::string>{named(261, ".chb")});
}

TEST(LibraryFolders, SubfoldersInCaseInsensitiveOrder) {
    TempDir dir;
    for (const char* name : {"b", "A", "c"}) fs::create_directory(dir / name);
    WriteText(dir / "B.cha", "a file, not a folder");
    EXPECT_EQ(ListSubfolders(dir.Path().string()), (std::vector<std::string>{"A", "b", "c"}));
    EXPECT_TRUE(HasSubfolder(dir.Path().string()));
    EXPECT_FALSE(HasSubfolder(dir / "A"));
    EXPECT_TRUE(ListSubfolders(dir / "missing").empty());
}

TEST(LibraryFolders, NewFolderNamesCountFromTwo) {
    TempDir dir;
    const std::string first = MakeNewFolderPath(dir.Path().string(), "New Folder");
    EXPECT_EQ(first, dir / "New Folder");
    ASSERT_TRUE(CreateFolder(first));
    EXPECT_FALSE(CreateFolder(first));
    const std::string second = MakeNewFolderPath(dir.Path().string(), "New Folder");
    EXPECT_EQ(second, dir / "New Folder (2)");
}

TEST(LibraryFolders, ARenamedFileKeepsItsExtensionUnlessANewOneIsTyped) {
    struct Case {
        std::string old, typed, name;
        size_t stem;  // of old: what the editor selects
    };
    for (const Case& c : std::vector<Case>{{"walk.cha", "stroll", "stroll.cha", 4},
                                           {"walk.cha", "stroll.chb", "stroll.chb", 4},
                                           {"walk.cha", "stroll.txt", "stroll.txt", 4},
                                           {"take.2.bvh", "take 3", "take 3.bvh", 6},
                                           {"walk.cha", "walk.", "walk.", 4},
                                           {"README", "notes", "notes", 6},
                                           {".hidden", "seen", "seen", 7},
                                           {"walk.cha", ".cha", ".cha.cha", 4}}) {
        EXPECT_EQ(NameKeepingExtension(c.old, c.typed), c.name) << c.old << " <- " << c.typed;
        EXPECT_EQ(StemLength(c.old), c.stem) << c.old;
    }
}

TEST(LibraryFolders, UserNamesFollowTheLengthRuleAndRenamesNeverReplace) {
    const std::string fifty(50, 'n');
    EXPECT_FALSE(CheckUserName(fifty, false));
    EXPECT_EQ(CheckUserName(fifty + "n", false).id, strings::kFileNameTooLong);
    EXPECT_FALSE(CheckUserName(fifty + ".cha", true));
    EXPECT_EQ(CheckUserName(fifty + "n.cha", true).id, strings::kFileNameTooLong);
    EXPECT_EQ(CheckUserName("a/b", false).id, strings::kInvalidFileName);
    EXPECT_EQ(CheckUserName("", true).id, strings::kInvalidFileName);

    TempDir dir;
    WriteText(dir / "a.cha", "a");
    WriteText(dir / "b.cha", "b");
    std::string renamed;
    EXPECT_FALSE(RenameEntry(dir / "a.cha", "b.cha", &renamed));
    EXPECT_EQ(testing::ReadBytes(dir / "b.cha"), "b");
    ASSERT_TRUE(RenameEntry(dir / "a.cha", "c d.cha", &renamed));
    EXPECT_EQ(renamed, dir / "c d.cha");
    EXPECT_FALSE(fs::exists(dir / "a.cha"));
}

}  // namespace
}  // namespace tavrel
