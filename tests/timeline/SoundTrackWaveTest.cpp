// Reading the sound track's WAV file: what is refused, and that no lie in a file reads past it.
#include <gtest/gtest.h>

#include "tests/support/TempFolder.h"
#include "timeline/SoundTrackWave.h"

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
    // A data chunk claiming `claimed` bytes and holding `samples` 16-bit samples.
    WaveBuilder& Data(int samples, uint32_t claimed = 0, int16_t value = 16384) {
        bytes += "data";
        Put32(claimed ? claimed : uint32_t(2 * samples));
        for (int i = 0; i < samples; ++i) Put16(uint16_t(i % 2 ? value : -value));
        return *this;
    }
    WaveBuilder& Chunk(const std::string& id, const std::string& payload) {
        bytes += id;
        Put32(uint32_t(payload.size()));
        bytes += payload;
        if (payload.size() % 2) bytes += '\0';
        return *this;
    }
};

TEST(SoundTrackWave, ReadsPcmLengthAndLoudness) {
    TempFolder folder;
    WaveBuilder w;
    w.Chunk("LIST", "odd").Format(1, 1, 6000, 16).Data(6000 * 3 / 2);  // 1.5 s after a padded chunk
    CSoundTrackWave wave;
    ASSERT_EQ(wave.Load(folder.Write("a.wav", w.bytes)), 0);
    EXPECT_TRUE(wave.HasSound());
    EXPECT_EQ(wave.FrameCount(), 90);
    EXPECT_NEAR(wave.LevelAt(45), 0.5f, 0.01f);
    EXPECT_EQ(wave.LevelAt(90), 0.0f);
    EXPECT_EQ(wave.LevelAt(-1), 0.0f);
}

TEST(SoundTrackWave, RefusesWhatIsNotAWave) {
    TempFolder folder;
    CSoundTrackWave wave;
    EXPECT_EQ(wave.Load(folder.Write("a.wav", "RIFF\0\0\0\0AVI LIST")), 61348);
    EXPECT_EQ(wave.Load(folder.Write("b.wav", "RIF")), 61348);
    EXPECT_EQ(wave.Load(folder / "missing.wav"), 61247);
    EXPECT_FALSE(wave.IsLoaded());
    // No format chunk at all, or one too short to hold a format.
    WaveBuilder none;
    none.Data(10);
    EXPECT_EQ(wave.Load(folder.Write("c.wav", none.bytes)), 61247);
    WaveBuilder shortFormat;
    shortFormat.Chunk("fmt ", "12345678");
    EXPECT_EQ(wave.Load(folder.Write("d.wav", shortFormat.bytes)), 61247);
}

TEST(SoundTrackWave, OtherFormatsLoadWithoutSound) {
    TempFolder folder;
    WaveBuilder w;
    w.Format(3, 1, 8000, 32).Data(100);
    CSoundTrackWave wave;
    EXPECT_EQ(wave.Load(folder.Write("float.wav", w.bytes)), 0);
    EXPECT_TRUE(wave.IsLoaded());
    EXPECT_FALSE(wave.HasSound());
    EXPECT_EQ(wave.FrameCount(), 0);
}

TEST(SoundTrackWave, LyingSizesAreCutAtTheFilesEnd) {
    TempFolder folder;
    WaveBuilder w;
    w.Format(1, 2, 8000, 16).Data(801, 0xFFFFFFF0u);  // 801 samples = 400 blocks and a half
    CSoundTrackWave wave;
    ASSERT_EQ(wave.Load(folder.Write("a.wav", w.bytes)), 0);
    EXPECT_NEAR(wave.Seconds(), 400.0 / 8000.0, 1e-9);
    // A format with no channels or blocks is refused rather than divided by.
    WaveBuilder zero;
    zero.Format(1, 0, 8000, 16).Data(10);
    EXPECT_EQ(wave.Load(folder.Write("z.wav", zero.bytes)), 61247);
    // A chunk size that would overflow the walk ends it.
    WaveBuilder huge;
    huge.bytes += "junk";
    huge.Put32(0xFFFFFFFFu);
    huge.Format(1, 1, 8000, 16).Data(10);
    EXPECT_EQ(wave.Load(folder.Write("h.wav", huge.bytes)), 61247);
}

}  // namespace
}  // namespace tavrel
