#include <gtest/gtest.h>

#include <random>

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

bool SameNameForTest(std::string a, std::string b) {
    for (std::string* s : {&a, &b}) {
        for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return a == b;
}

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

TEST(CRProfile, ASettingsFileThatIsADeviceReadsAsMissing) {
    TempFolder folder;
    std::filesystem::create_symlink("/dev/zero", folder / "p.ini");
    CRProfile profile(folder / "p.exe");
    EXPECT_EQ(profile.GetString("Directory", "Motion"), "");
    EXPECT_FALSE(CIniFile::Load(folder / "p.ini"));
    EXPECT_FALSE(CIniFile::Load(folder.Path()));
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

TEST(CIniFile, SectionNamesMayHoldSpaces) {
    CIniFile file = CIniFile::Parse("[Default Camera]\nFront=F\n[ Hotkey ]\nCamera Move=M\n");
    EXPECT_EQ(file.Get("Default Camera", "Front"), "F");
    EXPECT_EQ(file.Get("Default", "Front"), std::nullopt);
    EXPECT_EQ(file.Get("Hotkey", "Camera Move"), "M");  // blanks around the name do not count
    EXPECT_EQ(file.Get("Hotkey", "Front"), std::nullopt);
    ASSERT_TRUE(file.Set("Two Words", "Key", "v"));
    EXPECT_EQ(CIniFile::Parse(file.Text()).Get("two words", "key"), "v");
    EXPECT_NE(file.Text().find("\n[Two Words]\nKey=v\n"), std::string::npos);
}

TEST(CIniFile, KeysStartingWithAHashAreComments) {
    CIniFile file = CIniFile::Parse("[S]\n#k=1\n  #j=2\nk=3\n;i=4\n");
    EXPECT_EQ(file.Get("S", "#k"), std::nullopt);
    EXPECT_EQ(file.Get("S", "#j"), std::nullopt);
    EXPECT_EQ(file.Get("S", "k"), "3");
    EXPECT_EQ(file.Get("S", ";i"), std::nullopt);
    // Written, such a key would be a comment nobody reads back.
    EXPECT_FALSE(file.Set("S", "#k", "v"));
    EXPECT_FALSE(file.Set("S", " #k", "v"));
    EXPECT_TRUE(file.Set("S", "k#", "v"));
    EXPECT_EQ(file.Get("S", "k#"), "v");
}

TEST(CRProfile, BackslashesInValuesStayAsTheyAre) {
    TempFolder folder;
    folder.Write("p.ini", "[Directory]\nMotion=C:\\new\\table\\\nPose=\"a\\\"\n");
    CRProfile profile(folder / "p.exe");
    EXPECT_EQ(profile.GetString("Directory", "Motion"), "C:\\new\\table\\");
    EXPECT_EQ(profile.GetString("Directory", "Pose"), "a\\");
    EXPECT_TRUE(profile.WriteString("Directory", "Project", "\\\\server\\x\\t"));
    EXPECT_EQ(profile.GetString("Directory", "Project"), "\\\\server\\x\\t");
}

TEST(CIniFile, CarriageReturnsBeforeTheBreakBelongToIt) {
    const std::string text = "[S]\r\r\nk=v\r\r\nj = w \r\nlast=x\r";
    CIniFile file = CIniFile::Parse(text);
    EXPECT_EQ(file.Get("S", "k"), "v");
    EXPECT_EQ(file.Get("S", "j"), "w");
    EXPECT_EQ(file.Get("S", "last"), "x");
    EXPECT_EQ(file.Text(), text);
    ASSERT_TRUE(file.Set("S", "k", "new"));
    ASSERT_TRUE(file.Set("S", "added", "1"));
    EXPECT_EQ(file.Text(), "[S]\r\r\nk=new\r\r\nj = w \r\nlast=x\r\nadded=1\n");
}

// Read, write and read again give the same file, whatever bytes it holds; a write changes
// only the line it sets.
TEST(CIniFile, ReadWriteReadIsStableForAnyInput) {
    const std::string alphabet = "[]=;# \t\"\r\r\n\nabAB";
    const std::string names[] = {"a", "b", "A", " a", "a b"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 48, ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        SCOPED_TRACE(::testing::PrintToString(text));
        CIniFile file = CIniFile::Parse(text);
        ASSERT_EQ(file.Text(), text);
        const std::string section = names[random() % 3], key = names[random() % 3];
        if (!file.Set(section, key, "v")) continue;
        const std::string written = file.Text();
        const CIniFile again = CIniFile::Parse(written);
        ASSERT_EQ(again.Text(), written);
        EXPECT_EQ(again.Get(section, key), "v");
        for (const std::string& s : names) {
            for (const std::string& k : names) {
                if (SameNameForTest(s, section) && SameNameForTest(k, key)) continue;
                EXPECT_EQ(again.Get(s, k), CIniFile::Parse(text).Get(s, k)) << s << "/" << k;
            }
        }
    }
}

TEST(UserDataFolder, FollowsTheEnvironment) {
    {
        ScopedEnv home("TAVREL_HOME", "/portable/tavrel/");
        EXPECT_EQ(UserDataFolder(), "/portable/tavrel");
        EXPECT_EQ(UserCacheFolder(), "/portable/tavrel/cache");
    }
    ScopedEnv noHome("TAVREL_HOME", nullptr);
    {
        ScopedEnv data("XDG_DATA_HOME", "/data/");
        ScopedEnv cache("XDG_CACHE_HOME", "/cache");
        EXPECT_EQ(UserDataFolder(), "/data/Tavrel");
        EXPECT_EQ(UserCacheFolder(), "/cache/Tavrel");
    }
    ScopedEnv relative("XDG_DATA_HOME", "relative");
    ScopedEnv relativeCache("XDG_CACHE_HOME", "relative");
    ScopedEnv user("HOME", "/home/u");
    EXPECT_EQ(UserDataFolder(), "/home/u/.local/share/Tavrel");
    EXPECT_EQ(UserCacheFolder(), "/home/u/.cache/Tavrel");
}

}  // namespace
}  // namespace tavrel
