// What counts as a regular file to read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "base/RegularFile.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

TEST(RegularFile, OnlyPlainFilesNamedInFullCount) {
    testing::TempFolder dir;
    std::ofstream(dir / "walk.cha") << "motion";
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "pipe.cha").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "walk.cha", dir / "link.cha");
    const struct {
        std::string path;
        bool regular;
    } cases[] = {
        {dir / "walk.cha", true},
        {dir / "link.cha", true},  // a link to a file reads the file
        {dir / "folder", false},
        {dir / "pipe.cha", false},
        {dir / "missing.cha", false},
        {dir / "walk.cha" + std::string(1, '\0') + ".chb", false},  // the system would read walk.cha
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsRegularFile(c.path), c.regular) << c.path;
}

}  // namespace
}  // namespace tavrel
