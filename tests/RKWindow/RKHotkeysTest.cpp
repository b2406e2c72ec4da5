// Hot keys from the settings file: table order, missing entries, the shipped defaults.
#include <gtest/gtest.h>

#include <fstream>

#include "RKWindow/RKHotkeys.h"
#include "settings/RProfile.h"
#include "tests/support/TempFolder.h"

using namespace tavrel;

namespace {

tavrel::CRProfile ProfileWith(const tavrel::testing::TempFolder& folder, const std::string& text) {
    const std::string program = folder.Path() + "/Tavrel.bin";
    std::ofstream(folder.Path() + "/Tavrel.ini") << text;
    return tavrel::CRProfile(program);
}

TEST(RKHotkeys, FirstEntryOfTheTableWinsAKeyNamedTwice) {
    tavrel::testing::TempFolder folder;
    // R for both a preset (earlier in the table) and a tool; lower case counts as the key.
    CRKHotkeys keys;
    keys.Load(ProfileWith(folder,
                          "[Hotkey]\nCamera Rotate=R\nDefault Camera Down=rest\n"
                          "Camera Move=move\nObject Move=M\n"));
    EXPECT_EQ(keys.Find('R'), CRKHotkeys::PresetDown);
    EXPECT_EQ(keys.Find('M'), CRKHotkeys::CameraMove);
    EXPECT_EQ(keys.Find('m'), CRKHotkeys::CameraMove);
    EXPECT_EQ(keys.Key(CRKHotkeys::CameraRotate), 'R');
}

TEST(RKHotkeys, MissingOrEmptyEntriesAnswerNoKey) {
    tavrel::testing::TempFolder folder;
    CRKHotkeys keys;
    keys.Load(ProfileWith(folder, "[Hotkey]\nCamera Zoom=\nCamera Move=Q\n"));
    EXPECT_EQ(keys.Key(CRKHotkeys::CameraZoom), '\0');
    EXPECT_EQ(keys.Key(CRKHotkeys::PresetFront), '\0');
    EXPECT_EQ(keys.Find('Q'), CRKHotkeys::CameraMove);
    // Neither the zero of a missing entry nor keys without a character match it.
    for (int key : {0, int('A'), int('1'), 0x01000010, -1})
        EXPECT_EQ(keys.Find(key), CRKHotkeys::None) << key;
}

TEST(RKHotkeys, ShippedSettingsBindPresetsAndTools) {
    tavrel::testing::TempFolder folder;
    std::ifstream in(TAVREL_SOURCE_DIR "/resources/settings/Tavrel.ini");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    CRKHotkeys keys;
    keys.Load(ProfileWith(folder, text));
    const std::pair<int, CRKHotkeys::Action> expected[] = {
        {'1', CRKHotkeys::PresetFront},  {'6', CRKHotkeys::PresetDown},
        {'M', CRKHotkeys::CameraMove},   {'Z', CRKHotkeys::CameraZoom},
        {'R', CRKHotkeys::CameraRotate}, {'G', CRKHotkeys::ObjectMove},
        {'T', CRKHotkeys::ObjectRotate}};
    for (const auto& [key, action] : expected) EXPECT_EQ(keys.Find(key), action) << char(key);
    EXPECT_EQ(keys.Key(CRKHotkeys::ObjectScale), '\0');
}

}  // namespace
