#include "RKWindow/RKHotkeys.h"

#include <cctype>
#include <string>

#include "settings/RProfile.h"

namespace tavrel {

namespace {

constexpr std::string_view kSection = "Hotkey";

constexpr std::string_view kNames[CRKHotkeys::ActionCount] = {
    "Default Camera Front", "Default Camera Back", "Default Camera Left", "Default Camera Right",
    "Default Camera Up",    "Default Camera Down", "Camera Move",         "Camera Zoom",
    "Camera Rotate",        "Object Move",         "Object Rotate",       "Object Scale",
};

}  // namespace

std::string_view CRKHotkeys::SettingName(int action) {
    return action >= 0 && action < ActionCount ? kNames[action] : std::string_view();
}

void CRKHotkeys::Load(const CRProfile& profile) {
    for (int action = 0; action < ActionCount; ++action) {
        const std::string value = profile.GetString(kSection, kNames[action]);
        SetKey(action, value.c_str()[0]);
    }
}

void CRKHotkeys::SetKey(int action, char key) {
    if (action < 0 || action >= ActionCount) return;
    // "m" in the settings file means the M key: keys arrive as capitals.
    keys_[action] = static_cast<char>(std::toupper(static_cast<unsigned char>(key)));
}

char CRKHotkeys::Key(int action) const {
    return action >= 0 && action < ActionCount ? keys_[action] : '\0';
}

CRKHotkeys::Action CRKHotkeys::Find(int key) const {
    // The zero of a missing entry must not answer every key that has no character.
    if (key <= 0 || key > 0xFF) return None;
    const int wanted = std::toupper(key);
    for (int action = 0; action < ActionCount; ++action) {
        if (keys_[action] != '\0' && static_cast<unsigned char>(keys_[action]) == wanted) {
            return static_cast<Action>(action);
        }
    }
    return None;
}

}  // namespace tavrel
