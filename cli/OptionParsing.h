#pragma once
// Option values shared by the commands that draw: numbers, picture sizes, camera presets.
#include <charconv>
#include <cstdint>
#include <string>

#include "RKWindow/RKSystem.h"
#include "RKWindow/RKViewport.h"

namespace tavrel::cli {

inline constexpr const char* kCameras[] = {"front", "back", "left", "right", "up", "down"};
inline constexpr int kMaxSide = 8192;
// The background the editor's 3D window shows.
inline constexpr const uint8_t (&kBackground)[3] = kViewBackground;

template <typename T>
bool ParseNumber(const std::string& text, T* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end;
}

inline bool ParseSize(const std::string& text, int* width, int* height) {
    const auto x = text.find('x');
    return x != std::string::npos && ParseNumber(text.substr(0, x), width) &&
           ParseNumber(text.substr(x + 1), height) && *width > 0 && *height > 0 &&
           *width <= kMaxSide && *height <= kMaxSide;
}

inline bool ParseCamera(const std::string& text, int* camera) {
    for (int i = 0; i < RKViewport::PresetCount; ++i) {
        if (text == kCameras[i]) {
            *camera = i;
            return true;
        }
    }
    return false;
}

}  // namespace tavrel::cli
