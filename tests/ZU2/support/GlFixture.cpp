#include "GlFixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "PngFile.h"
#include "ZU2/rkTexture.h"

namespace tavrel::test {

rkEglHost* SharedHost() {
    static rkEglHost* host = [] {
        auto* h = new rkEglHost;
        if (!h->Create(GlTest::kSize, GlTest::kSize)) {
            delete h;
            return static_cast<rkEglHost*>(nullptr);
        }
        return h;
    }();
    return host;
}

void GlTest::SetUp() {
    rkEglHost* host = SharedHost();
    ASSERT_NE(host, nullptr) << "no EGL surfaceless context";
    ASSERT_TRUE(host->MakeCurrent());
    ASSERT_EQ(rkCreateDevice(&device_, host, kSize, kSize), 1);
}

void GlTest::TearDown() {
    rkFreeAllTextures();
    rkDestroyDevice(&device_);
}

std::vector<uint32_t> GlTest::ReadColour() {
    std::vector<uint32_t> pixels(size_t(device_.width) * device_.height);
    EXPECT_EQ(rkReadFrame(RK_READ_COLOR, pixels.data()), 1);
    for (uint32_t& p : pixels) p |= 0xFF000000u;  // goldens compare colour, not coverage
    return pixels;
}

uint32_t GlTest::PixelAt(int x, int y) { return ReadColour()[size_t(y) * device_.width + x]; }

bool FramesMatch(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b,
                 std::string* why) {
    if (a.size() != b.size()) {
        *why = "sizes differ";
        return false;
    }
    constexpr int kLevels = 8;
    size_t off = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::abs(Red(a[i]) - Red(b[i])) > kLevels ||
            std::abs(Green(a[i]) - Green(b[i])) > kLevels ||
            std::abs(Blue(a[i]) - Blue(b[i])) > kLevels) {
            ++off;
        }
    }
    // Rasterisers may round an edge pixel differently; a real fault changes far more.
    if (off * 200 > a.size()) {
        *why = std::to_string(off) + " of " + std::to_string(a.size()) + " pixels differ";
        return false;
    }
    return true;
}

void ExpectMatchesGolden(const std::vector<uint32_t>& frame, int width, int height,
                         const char* name) {
    const std::string path = std::string(TAVREL_GOLDEN_DIR) + "/" + name + ".png";
    const char* update = std::getenv("TAVREL_UPDATE_GOLDEN");
    if (update && std::strcmp(update, "1") == 0) {
        ASSERT_TRUE(WritePng(path, width, height, frame.data())) << path;
        return;
    }
    int goldenWidth = 0, goldenHeight = 0;
    std::vector<uint32_t> golden;
    ASSERT_TRUE(ReadPng(path, &goldenWidth, &goldenHeight, &golden))
        << path << " is missing: run the test with TAVREL_UPDATE_GOLDEN=1 and check the image";
    std::string why;
    const bool same =
        goldenWidth == width && goldenHeight == height && FramesMatch(frame, golden, &why);
    if (same) return;
    // Beside the build's other test output, never in the folder the test was started from.
    const std::filesystem::path folder = std::filesystem::path(TAVREL_TEST_OUTPUT) / "golden";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string actual = (folder / (std::string(name) + ".actual.png")).string();
    WritePng(actual, width, height, frame.data());
    ADD_FAILURE() << name << ": " << why << " (frame written as " << actual << ")";
}

void GlTest::ExpectGolden(const char* name) {
    ExpectMatchesGolden(ReadColour(), device_.width, device_.height, name);
}

}  // namespace tavrel::test
