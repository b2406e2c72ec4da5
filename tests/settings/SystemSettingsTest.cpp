#include <gtest/gtest.h>

#include "settings/StringTable.h"
#include "settings/SystemSettings.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using testing::ScopedEnv;
using testing::TempFolder;

class MotionFolderTest : public ::testing::Test {
protected:
    std::string Folder() {
        CSystemSettings settings({first.Path(), second.Path()});
        return GetMotionFolder(settings, CStringTable::BuiltIn().Lookup());
    }
    TempFolder first, second;
};

TEST_F(MotionFolderTest, ReadsTheProgramsKeyFromTheFirstFolderThatHasIt) {
    second.Write("Corvane/Tavrel.conf", "[General]\nMotion%20Folder=/srv/motion\n");
    EXPECT_EQ(Folder(), "/srv/motion");
    first.Write("Corvane/Tavrel.conf", "[General]\nMotion Folder=\"/my motions\"\n");
    EXPECT_EQ(Folder(), "/my motions");
}

TEST_F(MotionFolderTest, ValuesLoseTheirBackslashEscapes) {
    first.Write("Corvane/Tavrel.conf",
                "[General]\nMotion%20Folder=\"/srv/a\\\\b \\\"q\\\" \\tt\\x41\\xe9;\\101\\q\"\n");
    EXPECT_EQ(Folder(), "/srv/a\\b \"q\" \ttA\xc3\xa9;Aq");
    first.Write("Corvane/Tavrel.conf", "[General]\nMotion%20Folder=/a\\nb\\x\\\n");
    EXPECT_EQ(Folder(), "/a\nbx\\");
}

// Relative folders and ".." count as not set; absolute ones with dots in names are fine.
TEST_F(MotionFolderTest, OnlyPlainAbsoluteFoldersAreUsed) {
    for (const char* bad : {"motions", "../motions", "/srv/../etc", "/srv/motion/..", "~/m"}) {
        first.Write("Corvane/Tavrel.conf", std::string("[General]\nMotion Folder=") + bad + "\n");
        EXPECT_EQ(Folder(), "") << bad;
    }
    first.Write("Corvane/Tavrel.conf", "[General]\nMotion Folder=/srv/..motion/v1.2\n");
    EXPECT_EQ(Folder(), "/srv/..motion/v1.2");
    std::filesystem::remove(first / "Corvane/Tavrel.conf");
    second.Write("Corvane/Olvenar.conf", "[2.0]\nInstall%20Path=../olvenar\n");
    EXPECT_EQ(Folder(), "");
    second.Write("Corvane/Olvenar.conf", "[2.0]\nInstall%20Path=/opt/olvenar\n");
    EXPECT_EQ(Folder(), "/opt/olvenar/Motion");
}

TEST_F(MotionFolderTest, AnOpenKeyWithoutTheValueGivesNoFolder) {
    first.Write("Corvane/Tavrel.conf", "[General]\nOther=1\n");
    second.Write("Corvane/Olvenar.conf", "[2.0]\nInstall%20Path=/opt/olvenar\n");
    EXPECT_EQ(Folder(), "");
}

TEST_F(MotionFolderTest, FallsBackToTheSiblingProduct) {
    second.Write("Corvane/Olvenar.conf", "[1.0]\nInstall%20Path=/old\n");
    EXPECT_EQ(Folder(), "");
    second.Write("Corvane/Olvenar.conf", "[2.0]\nInstall%20Path=/opt/olvenar\n");
    EXPECT_EQ(Folder(), "/opt/olvenar/Motion");
}

TEST_F(MotionFolderTest, LibraryIsThePerUserMotionFolderWhenNothingIsConfigured) {
    EXPECT_EQ(Folder(), "");
    ScopedEnv home("TAVREL_HOME", "/home/u/tavrel");
    CSystemSettings settings({first.Path()});
    EXPECT_EQ(GetMotionLibraryFolder(settings, CStringTable::BuiltIn().Lookup()),
              "/home/u/tavrel/Motion");
}

TEST(EnsureLibraryPoseFolder, MakesTheFolderOnlyInALibrary) {
    TempFolder library;
    EXPECT_FALSE(EnsureLibraryPoseFolder("", CStringTable::BuiltIn().Lookup()));
    EXPECT_TRUE(EnsureLibraryPoseFolder(library.Path(), CStringTable::BuiltIn().Lookup()));
    EXPECT_TRUE(std::filesystem::is_directory(library / "Poses"));
}

TEST(CSystemSettings, FoldersComeFromXdgConfigDirs) {
    TempFolder a, b;
    b.Write("Corvane/Tavrel.conf", "[General]\nMotion%20Folder=/from/b\n");
    ScopedEnv dirs("XDG_CONFIG_DIRS", (a.Path() + "::" + b.Path()).c_str());
    EXPECT_EQ(GetMotionFolder(CSystemSettings(), CStringTable::BuiltIn().Lookup()), "/from/b");
}

}  // namespace
}  // namespace tavrel
