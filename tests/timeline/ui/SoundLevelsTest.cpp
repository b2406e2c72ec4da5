// The sound track's loudness per frame, and the messages of files that are no sound.
#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"
#include "timeline/ui/SoundLevels.h"

namespace tavrel {
namespace {

using testing::TempFolder;

struct WaveBuilder {
    std::string bytes = "RIFF\0\0\0\0WAVE";
    WaveBuilder() { bytes = std::string("RIFF\0\0\0\0WAVE", 12); }
    void Put32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += char(v >> (8 * i));
    }
    void Put16(uint16_t v) { bytes += char(v), bytes += char(v >> 8); }
    WaveBuilder& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
        bytes += "fmt ";
        Put32(16);
        Put16(tag), Put16(channels), Put32(rate);
        Put32(rate * channels * bits / 8), Put16(uint16_t(channels * bits / 8)), Put16(bits);
        return *this;
    }
    // A data chunk holding `samples` 16-bit samples.
    WaveBuilder& Data(int samples, int16_t value = 16384) {
        bytes += "data";
        Put32(uint32_t(2 * samples));
        for (int i = 0; i < samples; ++i) Put16(uint16_t(i % 2 ? value : -value));
        return *this;
    }
    // A data chunk of raw bytes.
    WaveBuilder& RawData(const std::string& payload) { return Chunk("data", payload); }
    // The file with its RIFF size filled in.
    std::string File() const {
        std::string file = bytes;
        const uint32_t size = uint32_t(file.size() - 8);
        for (int i = 0; i < 4; ++i) file[4 + i] = char(size >> (8 * i));
        return file;
    }
    WaveBuilder& Chunk(const std::string& id, const std::string& payload) {
        bytes += id;
        Put32(uint32_t(payload.size()));
        bytes += payload;
        if (payload.size() % 2) bytes += '\0';
        return *this;
    }
};

TEST(SoundLevels, PcmLengthAndLoudnessPerFrame) {
    TempFolder folder;
    WaveBuilder w;
    w.Chunk("LIST", "odd").Format(1, 1, 8000, 16).Data(8000 * 3 / 2);  // 1.5 s after a padded chunk
    CSoundLevels wave;
    ASSERT_EQ(wave.Load(folder.Write("a.wav", w.File())), 0);
    EXPECT_TRUE(wave.IsLoaded());
    EXPECT_EQ(wave.FrameCount(), 90);
    EXPECT_NEAR(wave.Seconds(), 1.5, 1e-9);
    EXPECT_NEAR(wave.LevelAt(45), 0.5f, 0.01f);
    EXPECT_EQ(wave.LevelAt(90), 0.0f);
    EXPECT_EQ(wave.LevelAt(-1), 0.0f);
}

// Every depth the reader takes is measured, not drawn flat; the louder channel counts.
TEST(SoundLevels, EveryDepthIsMeasured) {
    TempFolder folder;
    CSoundLevels wave;
    WaveBuilder eight;  // unsigned: 192 is half way up
    eight.Format(1, 1, 8000, 8).RawData(std::string(800, char(192)));
    ASSERT_EQ(wave.Load(folder.Write("8.wav", eight.File())), 0);
    EXPECT_NEAR(wave.LevelAt(0), 0.5f, 0.01f);
    WaveBuilder deep;  // 24-bit stereo: left silent, right at -1/4
    std::string samples;
    for (int i = 0; i < 800; ++i) samples += std::string("\0\0\0\0\0\xE0", 6);
    deep.Format(1, 2, 8000, 24).RawData(samples);
    ASSERT_EQ(wave.Load(folder.Write("24.wav", deep.File())), 0);
    EXPECT_NEAR(wave.LevelAt(3), 0.25f, 0.01f);
    WaveBuilder real;  // float, with a sample beyond full scale kept at 1
    std::string floats;
    for (float v : {0.125f, -2.0f}) {
        for (int i = 0; i < 200; ++i) floats.append(reinterpret_cast<const char*>(&v), 4);
    }
    real.Format(3, 1, 12000, 32).RawData(floats);  // 200 samples a frame
    ASSERT_EQ(wave.Load(folder.Write("f.wav", real.File())), 0);
    ASSERT_EQ(wave.FrameCount(), 2);
    EXPECT_NEAR(wave.LevelAt(0), 0.125f, 1e-6);
    EXPECT_EQ(wave.LevelAt(1), 1.0f);
}

TEST(SoundLevels, WhatIsNoSoundIsNamed) {
    TempFolder folder;
    CSoundLevels wave;
    EXPECT_EQ(wave.Load(folder.Write("a.wav", std::string("RIFF\0\0\0\0AVI LIST", 16))), 61348);
    EXPECT_EQ(wave.Load(folder.Write("b.wav", "RIF")), 61348);
    EXPECT_EQ(wave.Load(folder / "missing.wav"), 61348);
    // A WAV file the reader refuses: no format chunk, no channels, a chunk claiming the world.
    WaveBuilder none;
    none.Data(10);
    EXPECT_EQ(wave.Load(folder.Write("c.wav", none.File())), 61247);
    WaveBuilder zero;
    zero.Format(1, 0, 8000, 16).Data(10);
    EXPECT_EQ(wave.Load(folder.Write("z.wav", zero.File())), 61247);
    WaveBuilder huge;
    huge.bytes += "junk";
    huge.Put32(0xFFFFFFFFu);
    huge.Format(1, 1, 8000, 16).Data(10);
    EXPECT_EQ(wave.Load(folder.Write("h.wav", huge.File())), 61247);
    EXPECT_FALSE(wave.IsLoaded());
    EXPECT_EQ(wave.FrameCount(), 0);
}

}  // namespace
}  // namespace tavrel
