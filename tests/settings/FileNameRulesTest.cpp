#include <gtest/gtest.h>

#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "settings/StringTable.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using testing::TempFolder;

TEST(IsValidFileName, RefusesEachForbiddenCharacterAndBadSpaces) {
    EXPECT_TRUE(IsValidFileName("walk 2"));
    for (const char c : std::string("\"/\\<>:;|=,*?")) {
        EXPECT_FALSE(IsValidFileName(std::string("a") + c + "b")) << c;
        EXPECT_FALSE(IsValidFileName(std::string("a") + c, NameKind::kFolder)) << c;
    }
    EXPECT_FALSE(IsValidFileName(""));
    EXPECT_FALSE(IsValidFileName(" walk"));
    EXPECT_FALSE(IsValidFileName("walk "));
    EXPECT_FALSE(IsValidFileName(" walk", NameKind::kFolder));
    EXPECT_TRUE(IsValidFileName("walk ", NameKind::kFolder));
    EXPECT_FALSE(IsValidFileName("line\nbreak"));
    EXPECT_FALSE(IsValidFileName("..", NameKind::kFolder));
    EXPECT_TRUE(IsValidFileName(std::string(260, 'a')));
    EXPECT_FALSE(IsValidFileName(std::string(261, 'a')));
}

TEST(CheckFileNameLength, AllowsFiftyCharactersBeforeTheExtension) {
    EXPECT_TRUE(CheckFileNameLength(std::string(50, 'a') + ".htr", true));
    EXPECT_FALSE(CheckFileNameLength(std::string(51, 'a') + ".cha", true));
    EXPECT_TRUE(CheckFileNameLength(std::string(50, 'a'), false));
    EXPECT_FALSE(CheckFileNameLength(std::string(51, 'a'), false));
    const Message message = FileNameTooLongMessage();
    EXPECT_EQ(message.id, strings::kFileNameTooLong);
    const std::string text = message.Text(CStringTable::BuiltIn().Lookup());
    EXPECT_NE(text.find("50"), std::string::npos);
    EXPECT_EQ(text.find('%'), std::string::npos);
}

TEST(MakeDerivedName, CountsOnFromATrailingNumberAndSkipsExistingFiles) {
    TempFolder folder;
    EXPECT_EQ(MakeDerivedName(folder / "walk.cha"), folder / "walk_1.cha");
    EXPECT_EQ(MakeDerivedName(folder / "walk_1.cha"), folder / "walk_2.cha");
    EXPECT_EQ(MakeDerivedName(folder / "walk_09.cha"), folder / "walk_10.cha");
    EXPECT_EQ(MakeDerivedName(folder / "walk_.cha"), folder / "walk__1.cha");
    EXPECT_EQ(MakeDerivedName(folder / "walk_1a.cha"), folder / "walk_1a_1.cha");
    EXPECT_EQ(MakeDerivedName(folder / "walk_99999999999999999999.cha"),
              folder / "walk_99999999999999999999_1.cha");
    folder.Write("walk_1.cha", "x");
    folder.Write("walk_2.cha", "x");
    EXPECT_EQ(MakeDerivedName(folder / "walk.cha"), folder / "walk_3.cha");
    EXPECT_EQ(MakeDerivedName(folder / "walk_1.cha"), folder / "walk_3.cha");
}

TEST(MakeDerivedName, LooksForTheExtensionInTheFileNameOnly) {
    EXPECT_EQ(MakeDerivedName("/tmp/x.d/walk"), "/tmp/x.d/walk_1");
    EXPECT_EQ(MakeDerivedName("/tmp/x.d/a.b.chb"), "/tmp/x.d/a.b_1.chb");
}

TEST(MakeDerivedName, GivesNothingWhenTheNameWouldBeTooLong) {
    EXPECT_EQ(MakeDerivedName("/" + std::string(253, 'a') + ".cha"), "");
    EXPECT_NE(MakeDerivedName("/" + std::string(252, 'a') + ".cha"), "");
}

TEST(MakeDerivedName, GivesUpWhenEveryNameLooksTaken) {
    // Cut at the NUL, every candidate names the folder itself, which always exists.
    TempFolder folder;
    const std::string cut = folder / std::string(1, '\0');
    EXPECT_EQ(MakeDerivedName(cut + ".cha"), "");
    EXPECT_EQ(MakeNumberedName(folder.Path(), std::string(1, '\0'), ""), "");
    // Up to the bound, taken names are still skipped.
    for (int n = 1; n <= 50; ++n) folder.Write("run_" + std::to_string(n), "x");
    EXPECT_EQ(MakeDerivedName(folder / "run"), folder / "run_51");
}

TEST(MakeNumberedName, TakesTheFirstFreeNumber) {
    TempFolder folder;
    EXPECT_EQ(MakeNumberedName(folder.Path(), "Pose", "chb"), folder / "Pose1.chb");
    folder.Write("Pose1.chb", "x");
    EXPECT_EQ(MakeNumberedName(folder.Path() + "/", "Pose", "chb"), folder / "Pose2.chb");
}

}  // namespace
}  // namespace tavrel
