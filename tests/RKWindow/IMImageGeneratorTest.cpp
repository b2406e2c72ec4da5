// The picture of a motion file, drawn off screen on any thread, with its failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "../motion/MotionFiles.h"
#include "RKWindow/IMImageGenerator.h"
#include "base/DebugOutput.h"

namespace tavrel::test {
namespace {

const std::string kWalk = TAVREL_SHARE_DIR "/Motion/Locomotion/walk.cha";
const std::string kBow = TAVREL_SHARE_DIR "/Motion/Gestures/bow.chb";

// Pixels that are not the generator's background: the avatar and the ground.
int Drawn(const CRBitmap& bitmap) {
    int count = 0;
    for (int y = 0; y < bitmap.height; ++y) {
        for (int x = 0; x < bitmap.width; ++x) {
            const uint8_t* p = &bitmap.bits[size_t(y) * bitmap.stride + x * 3];
            count += p[0] != CIMImageGenerator::kBackground[0] ||
                     p[1] != CIMImageGenerator::kBackground[1] ||
                     p[2] != CIMImageGenerator::kBackground[2];
        }
    }
    return count;
}

// A generator set up for 50x50 pictures.
class Generator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(generator.SetWindow(&window));
        ASSERT_TRUE(generator.SetImageSize(50, 50));
    }
    CIMImageGenerator generator{TAVREL_SHARE_DIR};
    const int window = 0;
};

TEST(IMImageGenerator, RefusesUntilSetUp) {
    CIMImageGenerator generator(TAVREL_SHARE_DIR);
    DebugCapture debug;
    EXPECT_FALSE(generator.SetWindow(nullptr));
    EXPECT_FALSE(generator.SetImageSize(50, 50));
    EXPECT_FALSE(generator.GetImage(kWalk));
    EXPECT_FALSE(generator.SetImageSize(0, 50));
    EXPECT_EQ(debug.Text(),
              "CIMImageGenerator::SetWindow() failed: CWnd pointer is NULL\n"
              "CIMImageGenerator::SetImageSize() failed: not inited!\n"
              "CIMImageGenerator::GetImage() failed: not inited!\n"
              "CIMImageGenerator::SetImageSize() failed: width or height < 0 \n");
}

TEST_F(Generator, DrawsEachMotionAtTheSizeAskedOnAnyThread) {
    const auto walk = generator.GetImage(kWalk);
    ASSERT_TRUE(walk);
    EXPECT_EQ(walk->width, 50);
    EXPECT_EQ(walk->height, 50);
    EXPECT_EQ(walk->stride, 152);
    EXPECT_GT(Drawn(*walk), 200);
    const auto bow = generator.GetImage(kBow);
    ASSERT_TRUE(bow);
    EXPECT_NE(walk->bits, bow->bits);

    // The gallery's worker thread: the same picture as on this thread.
    std::unique_ptr<CRBitmap> fromWorker;
    std::thread worker([&] { fromWorker = generator.GetImage(kWalk); });
    worker.join();
    ASSERT_TRUE(fromWorker);
    EXPECT_EQ(fromWorker->bits, walk->bits);

    ASSERT_TRUE(generator.SetImageSize(80, 40));
    const auto wide = generator.GetImage(kWalk);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width, 80);
    EXPECT_EQ(wide->height, 40);

    tavrel::testing::TempDir dir;
    tavrel::testing::WriteText(dir / "broken.cha", "[HEADER]\nnonsense\n");
    DebugCapture debug;
    EXPECT_FALSE(generator.GetImage(dir / "broken.cha"));
    EXPECT_FALSE(generator.GetImage(dir / "missing.chb"));
    EXPECT_FALSE(generator.GetImage(dir / "picture.png"));
    EXPECT_TRUE(debug.Contains("CIMImageGenerator::GetImage() failed: cannot read"));
}

// A motion cut short: the picture needs every frame up to the middle one, and no more.
TEST_F(Generator, ReadsAMotionUpToTheMiddleFrameOnly) {
    const auto whole = generator.GetImage(kWalk);
    ASSERT_TRUE(whole);
    tavrel::testing::TempDir dir;
    const auto size = std::filesystem::file_size(kWalk);
    const auto cut = [&](const char* name, double share) {
        std::ifstream in(kWalk, std::ios::binary);
        std::string text(size_t(size * share), '\0');
        in.read(text.data(), std::streamsize(text.size()));
        tavrel::testing::WriteText(dir / name, text);
        return dir / name;
    };
    const auto late = generator.GetImage(cut("late.cha", 0.9));
    ASSERT_TRUE(late);
    EXPECT_EQ(late->bits, whole->bits);
    DebugCapture debug;
    EXPECT_FALSE(generator.GetImage(cut("early.cha", 0.3)));
    EXPECT_TRUE(debug.Contains("CIMImageGenerator::GetImage() failed"));
    EXPECT_TRUE(generator.GetImage(kWalk));  // and it goes on drawing
}

}  // namespace
}  // namespace tavrel::test
