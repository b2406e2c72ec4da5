#pragma once
// The 3D window's hot keys: one key per action, read from the "Hotkey" section of the
// settings file. A pressed key is compared with them in the table's order; the first equal
// one decides.
#include <array>
#include <cstdint>
#include <string_view>

namespace tavrel {

class CRProfile;

class CRKHotkeys {
public:
    // In the table's order, which is also the order of comparison.
    enum Action {
        PresetFront,
        PresetBack,
        PresetLeft,
        PresetRight,
        PresetUp,
        PresetDown,
        CameraMove,
        CameraZoom,
        CameraRotate,
        ObjectMove,
        ObjectRotate,
        ObjectScale,
        ActionCount,
        None = -1
    };

    // The setting name of each action.
    static std::string_view SettingName(int action);

    // The first character of each entry. A missing or empty entry reads as an empty string,
    // whose first character is the terminating zero: that action answers no key.
    void Load(const CRProfile& profile);
    // Sets one action's key directly (letters are kept as capitals, as keys arrive).
    void SetKey(int action, char key);
    char Key(int action) const;
    // The action of a pressed key (a character code, capital for letters), or None.
    Action Find(int key) const;

private:
    std::array<char, ActionCount> keys_{};
};

}  // namespace tavrel
