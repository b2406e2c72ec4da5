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

// The program's own key, from the first folder that has it, else the sibling product's install
// path. Values lose their backslash escapes; relative folders and ".." count as not set, while
// absolute ones with dots in names are fine.
TEST_F(MotionFolderTest, TheFolderComesFromTheFirstSettingThatNamesAPlainAbsoluteOne) {
    const std::string general = "[General]\nMotion%20Folder=", olvenar = "[2.0]\nInstall%20Path=";
    const struct {
        std::string first, second,
            sibling;  // Tavrel.conf in each folder, Olvenar.conf in the second
        std::string folder;
    } cases[] = {
        {"", general + "/srv/motion\n", "", "/srv/motion"},
        {"[General]\nMotion Folder=\"/my motions\"\n", general + "/srv/motion\n", "",
         "/my motions"},
        {general + "\"/srv/a\\\\b \\\"q\\\" \\tt\\x41\\xe9;\\101\\q\"\n", "", "",
         "/srv/a\\b \"q\" \ttA\xc3\xa9;Aq"},
        {general + "/a\\nb\\x\\\n", "", "", "/a\nbx\\"},
        {general + "motions\n", "", "", ""},
        {general + "../motions\n", "", "", ""},
        {general + "/srv/../etc\n", "", "", ""},
        {general + "/srv/motion/..\n", "", "", ""},
        {general + "~/m\n", "", "", ""},
        {general + "/srv/..motion/v1.2\n", "", "", "/srv/..motion/v1.2"},
        {"", "", olvenar + "../olvenar\n", ""},
        {"", "", olvenar + "/opt/olvenar\n", "/opt/olvenar/Motion"},
        {"", "", "[1.0]\nInstall%20Path=/old\n", ""},
        {"[General]\nOther=1\n", "", olvenar + "/opt/olvenar\n", ""},  // an open key, no value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first + c.second + c.sibling);
        std::filesystem::remove_all(first / "Corvane");
        std::filesystem::remove_all(second / "Corvane");
        if (!c.first.empty()) first.Write("Corvane/Tavrel.conf", c.first);
        if (!c.second.empty()) second.Write("Corvane/Tavrel.conf", c.second);
        if (!c.sibling.empty()) second.Write("Corvane/Olvenar.conf", c.sibling);
        EXPECT_EQ(Folder(), c.folder);
    }
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
