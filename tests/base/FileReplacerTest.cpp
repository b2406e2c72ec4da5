#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <stdexcept>

#include "base/FileReplacer.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;

// Names in the folder other than the given one: temporary files left behind.
std::vector<std::string> OthersIn(const std::string& folder, const std::string& name) {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != name) others.push_back(entry.path().filename());
    }
    return others;
}

TEST(FileReplacer, ReplacesKeepingModeAndFollowingLinks) {
    TempFolder temp;
    const std::string target = temp.Write("a.ini", "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(FileReplacer::Replace(target, std::string_view("new")));
    EXPECT_EQ(ReadFile(target), "new");
    struct stat info;
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_TRUE(OthersIn(temp.Path(), "a.ini").empty());

    // A link stays a link; the file it points to gets the content.
    fs::create_directory(temp / "real");
    const std::string real = temp.Write("real/b.cha", "one");
    fs::create_symlink(real, temp / "link.cha");
    ASSERT_TRUE(FileReplacer::Replace(temp / "link.cha", std::string_view("two")));
    EXPECT_TRUE(fs::is_symlink(temp / "link.cha"));
    EXPECT_EQ(ReadFile(real), "two");

    // A new file is made; a copy is a copy.
    ASSERT_TRUE(FileReplacer::Copy(real, temp / "c.cha"));
    EXPECT_EQ(ReadFile(temp / "c.cha"), "two");
}

// A scratch folder's files are replaced as whole as any (no temporary left, the content new) but
// cost no flush; a file beside that folder still lasts, and so does one reached through a link.
TEST(FileReplacer, FilesOfAScratchFolderAreReplacedWholeWithoutAFlush) {
    TempFolder temp;
    fs::create_directory(temp / "scratch");
    fs::create_directory_symlink(temp / "scratch", temp / "via");
    FileReplacer::AddScratchFolder(temp / "via");
    const struct {
        std::string path;
        bool flushed;
    } cases[] = {{temp / "scratch/a.chb", false}, {temp / "scratch/../b.chb", true},
                 {temp / "scratchy.chb", true}, {temp / "via/c.chb", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const int64_t before = FileReplacer::FlushCount();
        ASSERT_TRUE(FileReplacer::Replace(c.path, std::string_view("new")));
        EXPECT_EQ(ReadFile(c.path), "new");
        EXPECT_EQ(FileReplacer::FlushCount() > before, c.flushed);
    }
    EXPECT_EQ(OthersIn(temp / "scratch", "a.chb"), std::vector<std::string>{"c.chb"});
}

TEST(FileReplacer, AFailedWriteLeavesTheTargetAndNoTemporary) {
    TempFolder temp;
    const std::string target = temp.Write("m.chb", "old");
    std::string seen;
    EXPECT_FALSE(FileReplacer::Replace(target, [&](const std::string& temporary) {
        seen = temporary;
        std::ofstream(temporary) << "half";
        return false;
    }));
    EXPECT_EQ(fs::path(seen).parent_path(), fs::path(temp.Path()));
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_TRUE(OthersIn(temp.Path(), "m.chb").empty());

    EXPECT_THROW(FileReplacer::Replace(target,
                                       [](const std::string& temporary) -> bool {
                                           std::ofstream(temporary) << "half";
                                           throw std::runtime_error("write failed");
                                       }),
                 std::runtime_error);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_TRUE(OthersIn(temp.Path(), "m.chb").empty());

    // A folder that cannot be written to, and a missing source to copy.
    EXPECT_FALSE(FileReplacer::Replace(temp / "missing/x.ini", std::string_view("x")));
    EXPECT_FALSE(FileReplacer::Copy(temp / "none.cha", target));
    EXPECT_EQ(ReadFile(target), "old");
}

// A child replaces the file and is killed at a random moment; the file must then hold exactly
// the old or the new content, never a mixture or nothing.
TEST(FileReplacer, AKilledWriterLeavesOldOrNewContent) {
    // Kept in memory where possible: the check is about order, not about the disk's speed.
    TempFolder temp(fs::is_directory("/dev/shm") ? "/dev/shm" : "");
    const std::string target = temp / "clip.cha";
    const std::string contents[2] = {std::string(48 * 1024, 'a'), std::string(80 * 1024, 'b')};
    std::mt19937 random(1234);
    int sawOld = 0, sawNew = 0;
    for (int round = 0; round < 2000; ++round) {
        const std::string& old = contents[round % 2];
        const std::string& next = contents[(round + 1) % 2];
        const std::string now = ReadFile(target);
        if (now != old) {
            ASSERT_TRUE(FileReplacer::Replace(target, std::string_view(old)));
        }
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Written in small pieces so that a kill can land in the middle of the content.
            FileReplacer::Replace(target, [&](const std::string& temporary) {
                std::ofstream out(temporary, std::ios::binary);
                for (size_t at = 0; at < next.size(); at += 4096) {
                    out.write(next.data() + at, 4096);
                    out.flush();
                }
                return bool(out);
            });
            ::_exit(0);
        }
        ::usleep(std::uniform_int_distribution<int>(0, 1500)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string after = ReadFile(target);
        ASSERT_TRUE(after == old || after == next) << "round " << round << ": " << after.size();
        (after == old ? sawOld : sawNew)++;
    }
    // Both outcomes happen; otherwise the kills did not land during the writes.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
}

void WriteText(const char* path, const std::string& text) {
    std::ofstream(path) << text;
}

// Gives this process mounts of its own (as root, or as root of a new user namespace), none of
// which the rest of the machine sees.
bool PrivateMounts() {
    if (::unshare(CLONE_NEWNS) != 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        WriteText("/proc/self/setgroups", "deny");
        WriteText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        WriteText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs the check in a child with a private 64 KiB filesystem mounted on the folder; the
// child's exit code is the number of the first check that failed.
int OnTinyFilesystem(const std::string& folder, int (*check)(const std::string&)) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (!PrivateMounts() || ::mount("none", folder.c_str(), "tmpfs", 0, "size=64k") != 0) {
            ::_exit(99);
        }
        ::_exit(check(folder));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

int FillAndReplace(const std::string& folder) {
    const std::string target = folder + "/settings.ini";
    if (!FileReplacer::Replace(target, std::string_view("[General]\nKey=1\n"))) return 1;
    if (FileReplacer::Replace(target, std::string(256 * 1024, 'x'))) return 2;  // reported
    if (ReadFile(target) != "[General]\nKey=1\n") return 3;                     // kept
    if (OthersIn(folder, "settings.ini").size() != 0) return 4;                 // cleaned up
    return 0;
}

TEST(FileReplacer, AFullDiskIsReportedAndLosesNothing) {
    EXPECT_FALSE(FileReplacer::Replace("/dev/full", std::string_view("anything")));
    TempFolder temp;
    const int result = OnTinyFilesystem(temp.Path(), FillAndReplace);
    if (result == 99) GTEST_SKIP() << "no private filesystem can be mounted here";
    EXPECT_EQ(result, 0);
}

}  // namespace
}  // namespace tavrel
