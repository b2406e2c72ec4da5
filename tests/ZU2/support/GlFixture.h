#pragma once
// A device over a surfaceless EGL context for GL tests, and golden-image comparison.
// Goldens live in tests/data/golden; TAVREL_UPDATE_GOLDEN=1 rewrites them from the frames
// the tests draw. A frame that differs is written as test-output/golden/NAME.actual.png in
// the build folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ZU2/rkDevice.h"
#include "ZU2/rkEglHost.h"

namespace tavrel::test {

// The process-wide host all GL tests draw through (created on first use).
rkEglHost* SharedHost();

class GlTest : public ::testing::Test {
public:
    static constexpr int kSize = 128;

protected:
    void SetUp() override;
    void TearDown() override;

    // The back surface, top row first, as 0xAARRGGBB words.
    std::vector<uint32_t> ReadColour();
    uint32_t PixelAt(int x, int y);
    // Compares the current back surface with the named golden within a small tolerance.
    void ExpectGolden(const char* name);

    rkDevice device_{};
};

// Compares a frame (0xAARRGGBB, top row first) with the named golden within a small
// tolerance, or rewrites the golden when TAVREL_UPDATE_GOLDEN=1.
void ExpectMatchesGolden(const std::vector<uint32_t>& frame, int width, int height,
                         const char* name);

// Compares two frames; true when at most a few pixels differ by more than a few levels.
bool FramesMatch(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                 std::string* why);

inline int Red(uint32_t c) { return (c >> 16) & 255; }
inline int Green(uint32_t c) { return (c >> 8) & 255; }
inline int Blue(uint32_t c) { return c & 255; }

}  // namespace tavrel::test
