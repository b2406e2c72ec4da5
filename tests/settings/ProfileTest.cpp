#include <gtest/gtest.h>

#include "base/DebugOutput.h"
#include "settings/IniFile.h"
#include "settings/RProfile.h"
#include "settings/UserDataFolder.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using testing::ReadFile;
using testing::ScopedEnv;
using testing::TempFolder;

TEST(CRProfile, IniPathReplacesTheProgramExtension) {
    EXPECT_EQ(CRProfile::IniPathFor("/opt/Tavrel.exe"), "/opt/Tavrel.ini");
    EXPECT_EQ(CRProfile::IniPathFor("/opt/tavrel.bin.x"), "/opt/tavrel.bin.ini");
    EXPECT_EQ(CRProfile::IniPathFor("/opt/tavrel"), "/opt/tavrel");
    // A dot in a folder name is not the program's extension.
    EXPECT_EQ(CRProfile::IniPathFor("/home/u/.local/share/Tavrel/tavrel"),
              "/home/u/.local/share/Tavrel/tavrel");
}

TEST(CRProfile, LivesInTheUserDataFolderAndReportsItsPath) {
    TempFolder home;
    ScopedEnv env("TAVREL_HOME", (home.Path() + "/").c_str());
    DebugCapture capture;
    CRProfile profile;
    EXPECT_EQ(profile.GetPath(), home / "Tavrel.ini");
    EXPECT_EQ(capture.Text(), home / "Tavrel.ini\n");
}

TEST(CRProfile, MissingKeysAndTheMarkerValueReadAsEmpty) {
    TempFolder folder;
    folder.Write("p.ini", "[Directory]\nMotion=_ERRSTR_\nPose = /poses \n");
    CRProfile profile(folder / "p.exe");
    DebugCapture capture;
    EXPECT_EQ(profile.GetString("Directory", "Pose"), "/poses");
    EXPECT_EQ(capture.Text(), "");
    EXPECT_EQ(profile.GetString("Directory", "Motion"), "");
    EXPECT_EQ(profile.GetString("Directory", "Project"), "");
    EXPECT_EQ(profile.GetString("", "Pose"), "");
    EXPECT_EQ(profile.GetString("Directory", ""), "");
    std::string expected;
    for (int i = 0; i < 4; ++i) expected += "CRProfile::GetString() failed: string not found\n";
    EXPECT_EQ(capture.Text(), expected);
    CRProfile absent(folder / "none.exe");
    EXPECT_EQ(absent.GetString("Directory", "Pose"), "");
}

TEST(CRProfile, LongValuesAreCutTo255Characters) {
    TempFolder folder;
    folder.Write("p.ini", "[Directory]\nMotion=" + std::string(300, 'm') + "\n");
    CRProfile profile(folder / "p.exe");
    EXPECT_EQ(profile.GetString("Directory", "Motion"), std::string(255, 'm'));
}

TEST(CRProfile, WritingKeepsTheRestOfTheFile) {
    TempFolder folder;
    folder.Write("p.ini",
                 "; hot keys are set by hand\n[Hotkey]\nCamera Move=M\n\n[directory]\nPose=/a\n");
    CRProfile profile(folder / "p.exe");
    EXPECT_TRUE(profile.WriteString("Directory", "pose", "/b"));
    EXPECT_TRUE(profile.WriteString("Directory", "Motion", "/m"));
    EXPECT_TRUE(profile.WriteString("Extra", "Key", "v"));
    EXPECT_EQ(ReadFile(folder / "p.ini"),
              "; hot keys are set by hand\n[Hotkey]\nCamera Move=M\n\n[directory]\npose=/b\n"
              "Motion=/m\n\n[Extra]\nKey=v\n");
    EXPECT_EQ(profile.GetString("DIRECTORY", "POSE"), "/b");
    EXPECT_EQ(profile.GetString("Hotkey", "Camera Move"), "M");
}

TEST(CRProfile, RefusesWritesThatWouldAddLines) {
    TempFolder folder;
    CRProfile profile(folder / "p.exe");
    EXPECT_FALSE(profile.WriteString("Directory", "Motion", "/m\n[Hotkey]\nCamera Move=X"));
    EXPECT_FALSE(profile.WriteString("Directory", "", "v"));
    EXPECT_FALSE(profile.WriteString("", "Motion", "v"));
    EXPECT_FALSE(profile.WriteString("Directory", "a=b", "v"));
    EXPECT_TRUE(profile.WriteString("Directory", "Motion", ""));
    EXPECT_EQ(ReadFile(folder / "p.ini"), "[Directory]\nMotion=\n");
}

TEST(CRProfile, WritingIntoAMissingFolderCreatesIt) {
    TempFolder folder;
    CRProfile profile(folder / "new/sub/p.exe");
    EXPECT_TRUE(profile.WriteString("Directory", "Project", "/p"));
    EXPECT_EQ(profile.GetString("Directory", "Project"), "/p");
}

TEST(CIniFile, StripsOnePairOfQuotesAndIgnoresComments) {
    const CIniFile file =
        CIniFile::Parse("[S]\r\na=\"  spaced  \"\r\n;b=commented\r\nc='x'\r\nd=\"unbalanced\r\n");
    EXPECT_EQ(file.Get("S", "a"), "  spaced  ");
    EXPECT_EQ(file.Get("S", "b"), std::nullopt);
    EXPECT_EQ(file.Get("S", "c"), "x");
    EXPECT_EQ(file.Get("S", "d"), "\"unbalanced");
}

TEST(UserDataFolder, FollowsTheEnvironment) {
    {
        ScopedEnv home("TAVREL_HOME", "/portable/tavrel");
        EXPECT_EQ(UserDataFolder(), "/portable/tavrel");
    }
    ScopedEnv noHome("TAVREL_HOME", nullptr);
    {
        ScopedEnv data("XDG_DATA_HOME", "/data/");
        EXPECT_EQ(UserDataFolder(), "/data/Tavrel");
    }
    ScopedEnv relative("XDG_DATA_HOME", "relative");
    ScopedEnv user("HOME", "/home/u");
    EXPECT_EQ(UserDataFolder(), "/home/u/.local/share/Tavrel");
}

}  // namespace
}  // namespace tavrel
