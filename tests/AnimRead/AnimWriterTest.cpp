#include "AnimRead/AnimWriter.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "AnimRead/CHBRead/CHBRead.h"
#include "MotionTestSupport.h"

using namespace tavrel;

using motiontest::MakeMotion;
using motiontest::ReadAll;

namespace {

std::string Fixed(float value) {
    char text[ANIMWRITER::kFixedMax];
    return std::string(text, ANIMWRITER::FormatFixed(text, value));
}

std::string Printf(float value) {
    char text[128];
    std::snprintf(text, sizeof text, "%10.3f", static_cast<double>(value));
    return text;
}

// The CHA text of a motion built line by line with printf and the formats of the file layout.
std::string ReferenceCha(const ANIMFILE& motion) {
    std::string text;
    char line[2048];
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        text += line;
    };
    add("[HEADER]\n");
    add("%s %d\n", "VersionNumber", 721);
    add("%s %d\n", "DataFrameRate", motion.GetFrameRate());
    add("%s %d\n", "BeginFrame", motion.GetBeginFrame());
    add("%s %d\n", "EndFrame", motion.GetEndFrame());
    add("%s %d\n\n", "NumSegments", motion.GetSegmentCount());
    add("[LENGTH]\n");
    for (int i = 0; i < motion.GetSegmentCount(); ++i) {
        add("%s %10.3f\n", motion.GetSegment(i)->name, double(motion.GetSegment(i)->length));
    }
    add("\n[HIERARCHY]\n");
    for (int i = 0; i < motion.GetSegmentCount(); ++i) {
        add("%s\t\t%s\n", motion.GetSegment(i)->name, motion.GetParentName(i));
    }
    add("\n[MOTION]\n");
    for (int f = motion.GetBeginFrame(); f <= motion.GetEndFrame(); ++f) {
        add("%s %d\n", "Frame", f);
        for (int i = 0; i < motion.GetSegmentCount(); ++i) {
            const float* m = motion.GetSegment(i)->frames[f - motion.GetBeginFrame()].m;
            add("%s %10.3f, %10.3f, %10.3f, %10.3f, %10.3f, %10.3f, %10.3f, %10.3f, %10.3f, "
                "%10.3f, %10.3f, %10.3f\n",
                motion.GetSegment(i)->name, double(m[0]), double(m[1]), double(m[2]),
                double(m[4]), double(m[5]), double(m[6]), double(m[8]), double(m[9]),
                double(m[10]), double(m[12]), double(m[13]), double(m[14]));
        }
        add("\n");
    }
    return text;
}

}  // namespace

TEST(AnimWriterTest, FixedFormatMatchesPrintfOnEdges) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float value : {0.0f, -0.0f, 0.0005f, -0.0005f, -0.0004f, 0.0004999f, 0.0015f, 0.0025f,
                        0.0625f, -0.0625f, 0.1875f, 1.0f, -1.0f, 999999.9f, 1234567.1f,
                        9.0e12f, 9.1e12f, -9.0e12f, 1.0e15f, 3.4e38f, -3.4e38f, 1.0e-40f,
                        -1.0e-45f, 900.419f, -4.791f, 123.4565f, inf, -inf, nan, -nan}) {
        EXPECT_EQ(Fixed(value), Printf(value)) << std::bit_cast<uint32_t>(value);
    }
    EXPECT_EQ(Fixed(-0.0004f), "    -0.000");
    EXPECT_EQ(Fixed(55.734f), "    55.734");
}

TEST(AnimWriterTest, FixedFormatMatchesPrintfOnManyValues) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<float> small(-2.0f, 2.0f);
    std::uniform_real_distribution<float> scene(-5000.0f, 5000.0f);
    std::uniform_int_distribution<uint32_t> bits;
    for (int i = 0; i < 100000; ++i) {
        for (float value : {small(random), scene(random), std::bit_cast<float>(bits(random)),
                            std::round(scene(random) * 2000.0f) / 2000.0f}) {
            ASSERT_EQ(Fixed(value), Printf(value)) << std::bit_cast<uint32_t>(value);
        }
    }
}

TEST(AnimWriterTest, ChaTextIsThePrintfLayout) {
    motiontest::TempDir dir;
    auto motion = MakeMotion(3, -1);
    motion->GetSegment(4)->length = -0.0004f;
    motion->WriteAs(dir.File("m.cha").c_str(), 0);
    EXPECT_EQ(ReadAll(dir.File("m.cha")), ReferenceCha(*motion));
}

TEST(AnimWriterTest, ChbBytesFollowTheLayout) {
    motiontest::TempDir dir;
    auto motion = MakeMotion(3, 4);
    motion->WriteAs(dir.File("m.chb").c_str(), 1);
    const std::string bytes = ReadAll(dir.File("m.chb"));

    size_t names = 0;  // the length and hierarchy sections' names with their zero bytes
    for (int i = 0; i < 20; ++i) {
        names += 2 * (std::strlen(motion->GetSegment(i)->name) + 1);
        names += std::strlen(motion->GetParentName(i)) + 1;
    }
    const size_t header = 8 + 13 + 4 + 13 + 4 + 10 + 4 + 8 + 4 + 11 + 4;
    EXPECT_EQ(bytes.size(), header + 8 + names + 20 * 4 + 11 + 8 + 3 * (5 + 4 + 20 * 48));

    auto int32At = [&](size_t offset) {
        int32_t value;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    };
    EXPECT_EQ(bytes.substr(0, 21), "[HEADER]VersionNumber");
    EXPECT_EQ(int32At(21), 721);
    EXPECT_EQ(bytes.substr(25, 13), "DataFrameRate");
    EXPECT_EQ(int32At(38), 30);
    EXPECT_EQ(bytes.substr(42, 10), "BeginFrame");
    EXPECT_EQ(int32At(52), 4);
    EXPECT_EQ(bytes.substr(56, 8), "EndFrame");
    EXPECT_EQ(int32At(64), 6);
    EXPECT_EQ(bytes.substr(68, 11), "NumSegments");
    EXPECT_EQ(int32At(79), 20);
    EXPECT_EQ(bytes.substr(83, 8), "[LENGTH]");
    EXPECT_EQ(std::string(bytes.c_str() + 91), "LowerTorso");
    float length;
    std::memcpy(&length, bytes.data() + 91 + 11, 4);
    EXPECT_EQ(length, motion->GetSegment(0)->length);
    // The last frame: its key, number and the last segment's translation.
    const size_t last = bytes.size() - (5 + 4 + 20 * 48);
    EXPECT_EQ(bytes.substr(last, 5), "Frame");
    EXPECT_EQ(int32At(last + 5), 6);
    float z;
    std::memcpy(&z, bytes.data() + bytes.size() - 4, 4);
    EXPECT_EQ(z, motion->GetSegment(19)->frames[2].m[14]);
}

TEST(AnimWriterTest, AFailedWriteIsReportedAsAWriteError) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    auto motion = MakeMotion(2);
    ERROBJ text = motiontest::CatchError([&] { motion->WriteAs("/dev/full", 0); });
    EXPECT_EQ(text.code, ERR_WRITE);
    EXPECT_EQ(std::string(text.detail).rfind("[HEADER]\nVersionNumber 721\n", 0), 0u);
    EXPECT_EQ(std::strlen(text.detail), 255u);
    // Small files fail only when they are closed: no text is left then, so the detail names
    // the file.
    CHBREAD standard;
    motiontest::TempDir dir;
    ASSERT_TRUE(standard.WriteAs(dir.File("small.cha").c_str(), 0));
    ASSERT_LT(ReadAll(dir.File("small.cha")).size(), 4096u);  // within one stdio buffer
    EXPECT_ERROBJ(standard.WriteAs("/dev/full", 0), ERR_WRITE, "/dev/full");
    EXPECT_ERROBJ(motion->WriteAs("/dev/full", 1), ERR_WRITE, "/dev/full");
}
