// Video frames by time: streams and formats, the frame whose presentation interval holds the
// time over whole clips in each container, damaged and odd files, and saving a frame as BMP.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "MediaFixtures.h"
#include "base/DebugOutput.h"
#include "media/RAvi.h"
#include "media/VideoWriter.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using testing::ColourAt;
using testing::Ffmpeg;
using testing::TempFolder;

// Frame k of these videos is grey at level 5 k, so a frame tells its own number.
constexpr int kStep = 5;
std::string GreyRamp(int rate, int seconds) {
    return "-f lavfi -i color=c=black:s=64x48:r=" + std::to_string(rate) +
           ":d=" + std::to_string(seconds) + ",format=rgb24,geq=r='N*5':g='N*5':b='N*5' ";
}

// Memory followed by a page that cannot be read: reading past its end stops the test.
class PageEnd {
public:
    explicit PageEnd(size_t size) : page_(sysconf(_SC_PAGESIZE)), size_(size) {
        mapped_ = (size + page_ - 1) / page_ * page_ + page_;
        void* start =
            mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (start == MAP_FAILED) throw std::bad_alloc();
        base_ = static_cast<uint8_t*>(start);
        mprotect(base_ + mapped_ - page_, page_, PROT_NONE);
    }
    ~PageEnd() { munmap(base_, mapped_); }
    uint8_t* data() { return base_ + mapped_ - page_ - size_; }

private:
    size_t page_, size_, mapped_;
    uint8_t* base_ = nullptr;
};

// A second of a pattern that moves on every frame, 16 rows high.
std::string Moving(int width, int rate) {
    return "-f lavfi -i testsrc=s=" + std::to_string(width) + "x16:r=" + std::to_string(rate) +
           ":d=1 ";
}

// The videos the tests read, each made when a test first asks for it (ctest runs every test
// in a process of its own).
class Videos : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (testing::HaveFfmpeg()) dir_ = new TempFolder;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!dir_) GTEST_SKIP() << "the ffmpeg command is needed to make the videos";
    }
    static std::string Recipe(const std::string& name) {
        if (name == "ramp.avi") return GreyRamp(25, 2) + "-c:v mjpeg -q:v 2 ";
        if (name == "ramp.mp4")
            return GreyRamp(30, 1) + "-c:v libx264 -g 12 -bf 2 -pix_fmt yuv420p -qp 0 ";
        if (name == "ramp.mov" || name == "ramp.mkv") return GreyRamp(30, 1) + "-c:v mjpeg -q:v 2 ";
        if (name == "ramp.webm") return GreyRamp(30, 1) + "-c:v libvpx -b:v 2M -g 10 ";
        // B-frames in AVI, whose packets carry no presentation time.
        if (name == "bframes.avi") return Moving(64, 25) + "-c:v mpeg4 -bf 2 -g 12 ";
        if (name == "h264.avi")
            return Moving(64, 25) + "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p ";
        if (name == "sound.avi") return "-f lavfi -i sine=d=1 -c:a pcm_s16le ";
        if (name == "six.avi") {
            std::string six, maps;
            for (int i = 0; i < 6; ++i) {
                six += "-f lavfi -i color=c=gray:s=32x24:r=10:d=1 ";
                maps += "-map " + std::to_string(i) + " ";
            }
            return six + maps + "-c:v mjpeg ";
        }
        return {};
    }
    // The path of a video, made on first use; a name without a recipe is just a path.
    static std::string Path(const std::string& name) {
        const std::string path = *dir_ / name;
        const std::string recipe = Recipe(name);
        if (!recipe.empty() && !std::filesystem::exists(path)) {
            EXPECT_TRUE(Ffmpeg(recipe + path)) << name;
        }
        return path;
    }

    // The grey level of a frame's middle.
    static int Grey(const CAviFrame& frame) {
        return ColourAt(frame.rgb.data(), frame.stride, frame.width / 2, frame.height / 2) & 0xFF;
    }
    // The frame whose interval holds t. Matroska and WebM keep whole milliseconds, so their
    // frames start at k * 1000 / rate rounded.
    static int64_t FrameOf(int64_t t, int rate, bool milliseconds) {
        if (!milliseconds) return t * rate / 1000;
        int64_t k = 0;
        while ((2 * (k + 1) * 1000 + rate) / (2 * rate) <= t) ++k;
        return k;
    }
    // Every millisecond of the clip, forward, gives the frame whose interval holds it; a few
    // times out of order too (backward and far jumps seek).
    static void ExpectFrameAtEveryTime(CAviFile& file, int rate, int64_t length, int tolerance,
                                       bool milliseconds = false) {
        for (int64_t t = 0; t < length; ++t) {
            const CAviFrame* frame = file.FrameAt(0, t);
            ASSERT_NE(frame, nullptr) << t;
            ASSERT_NEAR(Grey(*frame), kStep * FrameOf(t, rate, milliseconds), tolerance)
                << "at " << t << " ms";
        }
        for (int64_t t :
             {length - 1, int64_t(0), length / 2, int64_t(1), length - 40, int64_t(500)}) {
            const CAviFrame* frame = file.FrameAt(0, t);
            ASSERT_NE(frame, nullptr) << t;
            EXPECT_NEAR(Grey(*frame), kStep * FrameOf(t, rate, milliseconds), tolerance)
                << "at " << t << " ms";
        }
    }

    // The ffmpeg command's own decode of each video, as packed RGB in name.rgb (one run).
    static bool DecodeWithFfmpeg(const std::vector<std::string>& names) {
        std::string inputs, outputs;
        for (size_t i = 0; i < names.size(); ++i) {
            inputs += "-i " + Path(names[i]) + " ";
            outputs += "-map " + std::to_string(i) + ":v -f rawvideo -pix_fmt rgb24 " +
                       Path(names[i] + ".rgb") + " ";
        }
        return Ffmpeg(inputs + outputs);
    }

    // Every frame, asked for at its middle in order and then backwards (each a seek), is the
    // one the ffmpeg command decoded at that place; frames converted stay inside their buffer.
    static void ExpectFramesOfFfmpeg(const std::string& name, int rate) {
        SCOPED_TRACE(name);
        const std::string expected = testing::ReadFile(Path(name + ".rgb"));
        CAviFile file;
        ASSERT_TRUE(file.Open(Path(name)));
        ASSERT_TRUE(file.BeginFrames(0));
        CAviFormat format;
        ASSERT_TRUE(file.Format(0, &format));
        const size_t frameSize = size_t(format.width) * format.height * 3;
        const int count = int(expected.size() / frameSize);
        ASSERT_GT(count, 0);
        std::vector<int> order(count);
        for (int k = 0; k < count; ++k) order[k] = k;
        order.insert(order.end(), order.rbegin(), order.rend());
        for (int k : order) {
            const CAviFrame* frame = file.FrameAt(0, (2 * k + 1) * 1000 / (2 * rate));
            ASSERT_NE(frame, nullptr) << "frame " << k;
            ASSERT_TRUE(frame->rgb.GuardIntact()) << "frame " << k;
            ASSERT_EQ(frame->stride % CCodecBuffer::kAlignment, 0u);
            // The frame's rows, and the picture made of them, against the command's frame k.
            std::vector<uint8_t> rows(frameSize), picture;
            for (int y = 0; y < frame->height; ++y)
                std::memcpy(&rows[size_t(y) * frame->width * 3],
                            &frame->rgb[size_t(y) * frame->stride], size_t(frame->width) * 3);
            CRImage image;
            ASSERT_TRUE(image.CreateFromPixels(frame->width, frame->height, frame->rgb.data(),
                                               frame->stride));
            ASSERT_TRUE(image.GetPixels(&picture));
            for (const std::vector<uint8_t>* ours : {&rows, &picture}) {
                int64_t difference = 0;
                for (size_t i = 0; i < frameSize; ++i)
                    difference += std::abs(int((*ours)[i]) - uint8_t(expected[k * frameSize + i]));
                ASSERT_LE(difference, int64_t(frameSize) / 100) << "frame " << k;
            }
        }
    }

    static TempFolder* dir_;
};

TempFolder* Videos::dir_ = nullptr;

TEST_F(Videos, MjpegAviFramesOverTheWholeClip) {
    CAviFile file;
    ASSERT_TRUE(file.Open(Path("ramp.avi")));
    EXPECT_EQ(file.VideoStreamCount(), 1);
    EXPECT_EQ(file.AudioStreamCount(), 0);
    CAviFormat format;
    ASSERT_TRUE(file.Format(0, &format));
    EXPECT_EQ(format.width, 64);
    EXPECT_EQ(format.height, 48);
    EXPECT_EQ(format.bitsPerPixel, 24);
    EXPECT_EQ(file.Duration(0), 2000);
    EXPECT_EQ(file.Duration(1), -1);
    EXPECT_EQ(file.FrameAt(0, 0), nullptr);  // no reader begun
    ASSERT_TRUE(file.BeginFrames(0));
    EXPECT_FALSE(file.BeginFrames(1));
    ExpectFrameAtEveryTime(file, 25, 2000, 2);
    EXPECT_EQ(file.FrameAt(0, 2000), nullptr);
    EXPECT_EQ(file.FrameAt(0, -1), nullptr);
    EXPECT_EQ(file.FrameAt(1, 0), nullptr);
}

TEST_F(Videos, H264WithReorderedFramesAndOtherContainers) {
    const std::pair<const char*, bool> kinds[] = {
        {"ramp.mp4", false}, {"ramp.mov", false}, {"ramp.mkv", true}, {"ramp.webm", true}};
    for (const auto& [name, milliseconds] : kinds) {
        SCOPED_TRACE(name);
        CAviFile file;
        ASSERT_TRUE(file.Open(Path(name)));
        ASSERT_TRUE(file.BeginFrames(0));
        const int64_t length = file.Duration(0);
        EXPECT_NEAR(length, 1000, 40);
        ExpectFrameAtEveryTime(file, 30, std::min<int64_t>(length, 1000), 2, milliseconds);
        EXPECT_EQ(file.FrameAt(0, 1000 + 40), nullptr);
    }
}

// Widths 8 more than a multiple of 16, where the scaler's vector writer runs past a row, and a
// width of 2, where its reader does: the writer takes the pictures from memory followed by an
// unreadable page, and the reader converts every frame inside its buffer.
TEST_F(Videos, FramesOfEveryWidthStayInsideTheirBuffers) {
    std::vector<std::string> names;
    for (int width : {360, 424, 856, 1000, 1080, 2}) {
        names.push_back("wide" + std::to_string(width) + ".mp4");
        VideoFormat format;
        format.width = width;
        format.height = 16;
        format.fps = 10;
        CVideoWriter writer;
        ASSERT_TRUE(writer.Open(Path(names.back()), format)) << writer.Error();
        PageEnd picture(size_t(width) * 16 * 4);
        for (int i = 0; i < 3; ++i) {
            // Blue, green, red, alpha: an upper half brightening and a blue lower half.
            for (size_t p = 0; p < size_t(width) * 16; ++p) {
                const bool upper = p < size_t(width) * 8;
                const uint8_t pixel[4] = {uint8_t(upper ? 0 : 200), uint8_t(upper ? 60 * i : 0),
                                          uint8_t(upper ? 200 : 0), 255};
                std::memcpy(picture.data() + p * 4, pixel, 4);
            }
            ASSERT_TRUE(writer.WriteFrame(reinterpret_cast<const uint32_t*>(picture.data())));
        }
        ASSERT_TRUE(writer.Finish()) << writer.Error();
    }
    ASSERT_TRUE(DecodeWithFfmpeg(names));
    for (const std::string& name : names) ExpectFramesOfFfmpeg(name, 10);
}

TEST_F(Videos, ReorderedFramesInAviComeInTheirPlace) {
    std::vector<std::string> names = {"bframes.avi"};
    if (Ffmpeg("-f lavfi -i nullsrc=d=0.04 -c:v libx264 -f null -")) names.push_back("h264.avi");
    ASSERT_TRUE(DecodeWithFfmpeg(names));
    for (const std::string& name : names) ExpectFramesOfFfmpeg(name, 25);
}

TEST_F(Videos, LoadChecksTheStreamsAndGivesPictures) {
    CRAvi avi;
    DebugCapture debug;
    EXPECT_FALSE(avi.Load(Path("sound.avi")));
    EXPECT_EQ(debug.Text(), "CRAvi::Load() failed:stream count is zero.\n");
    EXPECT_FALSE(avi.IsLoaded());
    debug.Clear();
    EXPECT_FALSE(avi.Load(Path("missing.avi")));
    EXPECT_EQ(debug.Text(), "CRAvi::Load() failed: cannot open avi file.\n");
    std::ofstream(Path("text.avi")) << "RIFF but not really a video at all";
    EXPECT_FALSE(avi.Load(Path("text.avi")));

    ASSERT_TRUE(avi.Load(Path("six.avi")));
    EXPECT_EQ(avi.GetVideoStreamCount(), 5);
    EXPECT_EQ(avi.File().AudioStreamCount(), 0);
    EXPECT_EQ(avi.GetWidth(), 32);

    ASSERT_TRUE(avi.Load(Path("ramp.avi")));
    EXPECT_EQ(avi.GetPath(), Path("ramp.avi"));
    EXPECT_EQ(avi.GetLength(), 2000);
    const auto picture = avi.GetFrameAt(1000);  // frame 25
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->GetWidth(), 64);
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(picture->GetPixels(&rgb));
    EXPECT_NEAR(int(ColourAt(rgb.data(), 64 * 3, 32, 24) & 0xFF), kStep * 25, 2);
    EXPECT_FALSE(avi.GetFrameAt(2000));
}

TEST_F(Videos, ADamagedStretchInTheMiddleKeepsTheFramesAroundIt) {
    std::string bytes = testing::ReadFile(Path("ramp.avi"));
    const size_t middle = bytes.size() / 2;
    for (size_t i = middle; i < middle + 600 && i < bytes.size(); ++i) bytes[i] = char(i * 13);
    const std::string path = Path("damaged.avi");
    std::ofstream(path, std::ios::binary) << bytes;
    CAviFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.BeginFrames(0));
    DebugCapture quiet;  // the decoder complains about the damaged frames
    int frames = 0;
    for (int64_t t = 0; t < 2000; t += 40) frames += file.FrameAt(0, t) != nullptr;
    EXPECT_GE(frames, 40);
    const CAviFrame* early = file.FrameAt(0, 120);
    ASSERT_NE(early, nullptr);
    EXPECT_NEAR(Grey(*early), kStep * 3, 2);
    const CAviFrame* late = file.FrameAt(0, 1960);
    ASSERT_NE(late, nullptr);
    EXPECT_NEAR(Grey(*late), kStep * 49, 2);
}

TEST_F(Videos, FramesSaveAsBmpFiles) {
    CRAvi avi;
    ASSERT_TRUE(avi.Load(Path("ramp.avi")));
    const CAviFrame* frame = avi.FrameAt(400);  // frame 10
    ASSERT_NE(frame, nullptr);
    const std::string path = Path("frame.bmp");
    ASSERT_TRUE(CAviFile::WriteBmp(path, *frame));
    EXPECT_EQ(std::filesystem::file_size(path), 54u + 64 * 3 * 48);
    CRImage image;
    ASSERT_TRUE(image.Load(path));
    EXPECT_EQ(image.GetWidth(), 64);
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(image.GetPixels(&rgb));
    EXPECT_EQ(ColourAt(rgb.data(), 64 * 3, 3, 2), ColourAt(frame->rgb.data(), frame->stride, 3, 2));
    EXPECT_FALSE(CAviFile::WriteBmp(Path("no/such/folder/frame.bmp"), *frame));
    // A full disk is reported, not taken for a saved picture.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(CAviFile::WriteBmp("/dev/full", *frame));
    }
}

}  // namespace
}  // namespace tavrel
