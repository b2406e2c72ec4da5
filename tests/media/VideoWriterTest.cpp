// The video writer reads the caller's picture and nothing beyond it, at widths where the
// scaler's vector loops run past a row, and what it wrote reads back.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "media/AviFile.h"
#include "media/VideoWriter.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

// Memory whose last byte is followed by a page that cannot be read: reading past it stops the
// test with a fault.
class PageEnd {
public:
    explicit PageEnd(size_t size) : page_(sysconf(_SC_PAGESIZE)) {
        mapped_ = (size + page_ - 1) / page_ * page_ + page_;
        void* start =
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = start == MAP_FAILED ? nullptr : static_cast<uint8_t*>(start);
        if (base_) mprotect(base_ + mapped_ - page_, page_, PROT_NONE);
        data_ = base_ ? base_ + mapped_ - page_ - size : nullptr;
    }
    ~PageEnd() {
        if (base_) munmap(base_, mapped_);
    }
    uint8_t* data() { return data_; }

private:
    size_t page_, mapped_;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};

TEST(VideoWriter, ReadsThePictureAndNothingBeyond) {
    testing::TempFolder dir;
    for (int width : {360, 362, 424, 1000, 1080, 1366, 64, 2}) {
        SCOPED_TRACE(width);
        const int height = 16;
        PageEnd picture(size_t(width) * height * 4);
        ASSERT_NE(picture.data(), nullptr);
        // Blue, green, red, alpha: a red upper half and a blue lower half.
        for (int y = 0; y < height; ++y) {
            const uint8_t pixel[4] = {uint8_t(y < height / 2 ? 0 : 200), 0,
                                      uint8_t(y < height / 2 ? 200 : 0), 255};
            for (int x = 0; x < width; ++x)
                std::memcpy(picture.data() + (size_t(y) * width + x) * 4, pixel, 4);
        }
        const std::string path = dir / ("w" + std::to_string(width) + ".mp4");
        VideoFormat format;
        format.width = width;
        format.height = height;
        format.fps = 10;
        CVideoWriter writer;
        ASSERT_TRUE(writer.Open(path, format)) << writer.Error();
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(writer.WriteFrame(reinterpret_cast<const uint32_t*>(picture.data())));
        ASSERT_TRUE(writer.Finish()) << writer.Error();

        CAviFile file;
        ASSERT_TRUE(file.Open(path));
        ASSERT_TRUE(file.BeginFrames(0));
        const CAviFrame* frame = file.FrameAt(0, 150);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(frame->width, width);
        const uint8_t* upper = &frame->rgb[size_t(2) * frame->stride + width / 2 * 3];
        const uint8_t* lower = &frame->rgb[size_t(height - 3) * frame->stride + width / 2 * 3];
        EXPECT_NEAR(upper[0], 200, 12);
        EXPECT_NEAR(upper[2], 0, 12);
        EXPECT_NEAR(lower[0], 0, 12);
        EXPECT_NEAR(lower[2], 200, 12);
    }
}

}  // namespace
}  // namespace tavrel
