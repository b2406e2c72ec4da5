#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "tests/support/TempFolder.h"
#include "tests/timeline/FakeMotionSide.h"
#include "timeline/ProjectNamer.h"
#include "timeline/WorkingDirectory.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempFolder;

std::optional<CWorkingDirectory> Create(const std::string& temp, Message* failure = nullptr) {
    return CWorkingDirectory::Create(temp, CStringTable::BuiltIn().Lookup(), failure);
}

TEST(CWorkingDirectory, TwoLevelsNamedByTheStringTable) {
    TempFolder temp;
    auto plain = Create(temp.Path());
    ASSERT_TRUE(plain);
    const std::string path = plain->Path();
    EXPECT_EQ(path, temp / (UserTempFolderName() + "/Tavrel/Clips"));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(plain->NativeExtension(), "chb");
    plain.reset();
    auto slashed = Create(temp.Path() + "/");
    ASSERT_TRUE(slashed);
    EXPECT_EQ(slashed->Path(), path);
}

TEST(CWorkingDirectory, RefusesBadTemporaryFolders) {
    Message failure;
    EXPECT_FALSE(Create(std::string(300, 'x'), &failure));
    EXPECT_EQ(failure.id, strings::kNoTempPath);
    // A link inside the user's own folder is not followed.
    TempFolder temp, elsewhere;
    const std::string mine = temp / UserTempFolderName();
    fs::create_directory(mine);
    fs::permissions(mine, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directory_symlink(elsewhere.Path(), mine + "/Tavrel");
    EXPECT_FALSE(Create(temp.Path(), &failure));
    EXPECT_EQ(failure.id, strings::kWorkingDirFailed);
    EXPECT_EQ(failure.Text(CStringTable::BuiltIn().Lookup()),
              "The working folder " + mine + "/Tavrel could not be created.");
    EXPECT_TRUE(fs::is_empty(elsewhere.Path()));
}

// Made with the default temporary folder, $TMPDIR set to temp for the time of the call.
std::optional<CWorkingDirectory> CreateInSystemTemp(const std::string& temp, Message* failure) {
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    ::setenv("TMPDIR", temp.c_str(), 1);
    auto made = Create("", failure);
    if (saved) {
        ::setenv("TMPDIR", previous.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    return made;
}

// Gives the entry to another user; false when this process may not (it is not root).
bool GiveAway(const std::string& path) {
    return ::lchown(path.c_str(), 65534, 65534) == 0;
}

// What other users (or this one, earlier) left in the shared temporary folder, and where the
// working folder is made then: in it, in the user's own folder under their home (when the
// user's name in the shared folder is taken, or was open to others), or nowhere. The system's
// temporary folder ($TMPDIR) is used.
TEST(CWorkingDirectory, EachUserHasAPrivateFolderOfItsOwnInTheSharedTemporaryFolder) {
    const std::string mine = UserTempFolderName();
    enum Where { kShared, kHome, kNowhere };
    struct Case {
        const char* what;
        std::function<bool(const TempFolder&, const TempFolder& elsewhere)> plant;
        Where made;
    };
    const Case cases[] = {
        {"nothing yet", [](auto&, auto&) { return true; }, kShared},
        {"another user's editor made the old shared folder",
         [](auto& t, auto&) {
             return fs::create_directories(t / "Tavrel/Clips") && GiveAway(t / "Tavrel/Clips") &&
                    GiveAway(t / "Tavrel");
         },
         kShared},
        {"a link under the old shared name",
         [](auto& t, auto& e) {
             return fs::create_directory_symlink(e.Path(), t / "Tavrel"), true;
         },
         kShared},
        {"this user's folder from an earlier run, made too open",
         [&](auto& t, auto&) {
             return fs::create_directories(t / (mine + "/Tavrel/Clips")) &&
                    ::chmod((t / mine).c_str(), 0777) == 0 &&
                    ::chmod((t / (mine + "/Tavrel")).c_str(), 0755) == 0;
         },
         kHome},
        {"this user's folder, closed, with an open folder inside",
         [&](auto& t, auto&) {
             return fs::create_directories(t / (mine + "/Tavrel/Clips")) &&
                    ::chmod((t / mine).c_str(), 0700) == 0 &&
                    ::chmod((t / (mine + "/Tavrel")).c_str(), 0755) == 0;
         },
         kShared},
        {"a link inside the user's folder",
         [&](auto& t, auto& e) {
             return fs::create_directory(t / mine) && ::chmod((t / mine).c_str(), 0700) == 0 &&
                    (fs::create_directory_symlink(e.Path(), t / (mine + "/Tavrel")), true);
         },
         kNowhere},
        {"a file under the user's folder's name",
         [&](auto& t, auto&) { return !t.Write(mine, "x").empty(); }, kHome},
        {"a link under the user's folder's name",
         [&](auto& t, auto& e) { return fs::create_directory_symlink(e.Path(), t / mine), true; },
         kHome},
        {"another user took the user's folder's name",
         [&](auto& t, auto&) {
             return fs::create_directory(t / mine) && ::chmod((t / mine).c_str(), 0700) == 0 &&
                    GiveAway(t / mine);
         },
         kHome},
    };
    for (const Case& c : cases) {
        TempFolder temp, elsewhere, home;
        const ScopedEnv data("TAVREL_HOME", home.Path().c_str());
        if (!c.plant(temp, elsewhere)) {
            std::printf("skipped (needs root): %s\n", c.what);
            continue;
        }
        Message failure;
        auto wd = CreateInSystemTemp(temp.Path(), &failure);
        EXPECT_EQ(bool(wd), c.made != kNowhere) << c.what;
        EXPECT_TRUE(fs::is_empty(elsewhere.Path())) << c.what;
        if (!wd) {
            EXPECT_EQ(failure.id, strings::kWorkingDirFailed) << c.what;
            continue;
        }
        const std::string user = c.made == kShared ? temp / mine : home / "cache/tmp";
        EXPECT_EQ(wd->Path(), user + "/Tavrel/Clips") << c.what;
        for (const std::string& level : {user, user + "/Tavrel", wd->Path()}) {
            EXPECT_EQ(fs::symlink_status(level).permissions() & fs::perms::all,
                      fs::perms::owner_all)
                << c.what << ": " << level;
        }
    }
}

// Editors of one user over two data folders run side by side: each has a working folder of its
// own for as long as it (or a copy of its folder) lives, and emptying one leaves the other's
// clips alone. A folder whose editor has ended is taken again.
TEST(CWorkingDirectory, EachRunningEditorHasAFolderOfItsOwn) {
    TempFolder temp;
    auto first = Create(temp.Path());
    ASSERT_TRUE(first);
    const std::string clip = first->Path() + "/walk.chb";
    temp.Write(clip.substr(temp.Path().size() + 1), "frames 5\n");
    std::optional<CWorkingDirectory> copy = first;
    first.reset();  // the copy still holds it
    auto second = Create(temp.Path());
    auto third = Create(temp.Path());
    ASSERT_TRUE(second && third);
    EXPECT_NE(second->Path(), copy->Path());
    EXPECT_NE(third->Path(), second->Path());
    EXPECT_NE(third->Path(), copy->Path());
    EXPECT_TRUE(second->Empty() && third->Empty());
    EXPECT_EQ(ReadFile(clip), "frames 5\n");
    const std::string path = copy->Path();
    copy.reset();
    auto again = Create(temp.Path());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Path(), path);
}

TEST(CWorkingDirectory, CopiesAndConvertsWithoutTouchingTheOriginal) {
    TempFolder temp;
    auto wd = Create(temp.Path());
    const std::string user = temp.Write("user/walk.cha", "frames 5\n");
    const std::string htr = temp.Write("user/Capture.HTR", "frames 7\n");
    testing::FakeMotionSide motion;
    EXPECT_EQ(wd->ImportMotionFile(user, motion, 0).path, wd->Path() + "/walk.cha");
    EXPECT_EQ(wd->ImportMotionFile(user, motion, 0).path, wd->Path() + "/walk_1.cha");
    const ImportResult converted = wd->ImportMotionFile(htr, motion, 0);
    EXPECT_EQ(converted.path, wd->Path() + "/Capture.chb");
    EXPECT_EQ(motion.FrameCount(converted.path), 7);
    EXPECT_EQ(ReadFile(user), "frames 5\n");
    EXPECT_EQ(wd->ImportMotionFile(temp / "user/none.htr", motion, 0).message.id,
              strings::kMotionFileUnusable);
    EXPECT_EQ(wd->CopyIn(temp / "user", strings::kCopyFailed).message.id, strings::kCopyFailed);
    EXPECT_EQ(wd->CopyInAs(user, "walk.cha", strings::kCopyFailed).message.id,
              strings::kCopyFailed);
    EXPECT_EQ(wd->CopyIn("/" + std::string(261, 'p'), strings::kCopyFailed).message.id,
              strings::kPathTooLong);
}

TEST(CWorkingDirectory, ReadsOnlyRegularFilesNamedWithoutNul) {
    TempFolder temp;
    auto wd = Create(temp.Path());
    const std::string user = temp.Write("user/walk.cha", "frames 5\n");
    testing::FakeMotionSide motion;
    // Cut at the NUL, these would name another file than the one asked for.
    const std::string nul(1, '\0');
    EXPECT_EQ(wd->CopyIn(user + nul + "x", strings::kCopyFailed).message.id, strings::kCopyFailed);
    EXPECT_EQ(wd->CopyInAs(user, "a" + nul + "b", strings::kCopyFailed).message.id,
              strings::kCopyFailed);
    EXPECT_EQ(wd->ImportMotionFile(user + nul + ".htr", motion, 0).message.id,
              strings::kMotionFileUnusable);
    // A pipe would keep the reader waiting for a writer that never comes.
    ASSERT_EQ(::mkfifo((temp / "user/pipe.htr").c_str(), 0600), 0);
    EXPECT_EQ(wd->ImportMotionFile(temp / "user/pipe.htr", motion, 0).message.id,
              strings::kMotionFileUnusable);
    EXPECT_TRUE(fs::is_empty(wd->Path()));
}

// A refused copy names the file and says why, so the user knows which file to look at.
TEST(CWorkingDirectory, ARefusedCopyNamesTheFileAndWhy) {
    TempFolder temp;
    auto wd = Create(temp.Path());
    const std::string user = temp.Write("user/walk.cha", "frames 5\n");
    ASSERT_TRUE(wd->CopyIn(user, strings::kCopyFailed));
    const struct {
        ImportResult result;
        std::string file, reason;
    } cases[] = {
        {wd->CopyIn(temp / "user", strings::kCopyFailed), "user", "not a file that can be read"},
        {wd->CopyInAs(user, "walk.cha", strings::kCopyFailed), "walk.cha",
         "has a file of that name"},
        {wd->CopyInAs(user, std::string("a\0b", 3), strings::kCopyFailed), "walk.cha",
         "name cannot be stored"},
        {wd->CopyIn(temp / "user/gone.bmp", strings::kMediaFileUnusable), "gone.bmp",
         "not a file that can be read"},
    };
    for (const auto& c : cases) {
        const std::string text = c.result.message.Text(CStringTable::BuiltIn().Lookup());
        EXPECT_TRUE(text.starts_with(c.file + " could not be copied")) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
        EXPECT_EQ(text.find('%'), std::string::npos) << text;
    }
}

TEST(EmptyFolder, DeletesReadOnlyEntriesButNotWhatLinksPointAt) {
    TempFolder folder, outside;
    const std::string kept = outside.Write("keep.txt", "keep");
    folder.Write("a.cha", "a");
    folder.Write("sub/deeper/b.cha", "b");
    fs::permissions(folder / "a.cha", fs::perms::owner_read);
    fs::permissions(folder / "sub/deeper", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory_symlink(outside.Path(), folder / "link");
    EXPECT_TRUE(EmptyFolder(folder.Path()));
    EXPECT_TRUE(fs::is_empty(folder.Path()));
    EXPECT_EQ(ReadFile(kept), "keep");
}

TEST(CProjectNamer, TakesTheFirstNumberWithNeitherFolderNorFile) {
    TempFolder parent;
    CProjectNamer namer(CStringTable::BuiltIn().Lookup());
    fs::create_directory(parent / "Timeline1");
    parent.Write("Timeline2.tvp", "");
    CTimelineProject project = namer.NewProject(parent.Path());
    EXPECT_EQ(project.name, "Timeline3");
    EXPECT_EQ(project.folder, parent / "Timeline3");
    EXPECT_EQ(project.file, parent / "Timeline3.tvp");
    EXPECT_EQ(project.number, 3);
    // The counter only grows, even when a lower name becomes free.
    fs::remove(parent / "Timeline1");
    EXPECT_EQ(namer.NewProject(parent.Path()).number, 4);
}

}  // namespace
}  // namespace tavrel
