// Reading WAV files: the formats that load, and every broken file refused with its reason.
#include <gtest/gtest.h>

#include <cstring>

#include "base/DebugOutput.h"
#include "media/RWavePlayback.h"
#include "tests/media/WaveFiles.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

using namespace tavrel::testing;

class WaveFileTest : public ::testing::Test {
protected:
    // Loads the bytes as a file; returns whether it loaded, and keeps the debug output.
    bool Load(const std::string& bytes, CRWave& wave) {
        debug_.Clear();
        return wave.LoadWaveFile(folder_.Write("sound.wav", bytes));
    }
    bool Load(const std::string& bytes) {
        CRWave wave;
        return Load(bytes, wave);
    }
    // Loading fails and names the reason.
    void ExpectRefused(const std::string& bytes, const std::string& reason) {
        EXPECT_FALSE(Load(bytes));
        EXPECT_TRUE(debug_.Contains("CRWave::LoadWaveFile failed: " + reason + "\n"))
            << debug_.Text();
    }

    TempFolder folder_;
    DebugCapture debug_;
};

TEST_F(WaveFileTest, SampleFormatsLoadWithTheirRecordAndSamples) {
    struct Case {
        uint16_t tag, bits;
    } cases[] = {{1, 8}, {1, 16}, {1, 24}, {1, 32}, {3, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "tag " << c.tag << " bits " << c.bits);
        const std::string samples = Samples(c.bits / 8 * 2 * 100);
        CRWave wave;
        ASSERT_TRUE(Load(Wav({c.tag, 2, 44100, c.bits}, samples), wave)) << debug_.Text();
        ASSERT_TRUE(wave.HasData());
        EXPECT_EQ(wave.Format()->formatTag, c.tag);
        EXPECT_EQ(wave.Format()->channels, 2);
        EXPECT_EQ(wave.Format()->samplesPerSec, 44100u);
        EXPECT_EQ(wave.Format()->bitsPerSample, c.bits);
        EXPECT_EQ(wave.Format()->blockAlign, c.bits / 8 * 2);
        ASSERT_EQ(wave.DataSize(), samples.size());
        EXPECT_EQ(std::memcmp(wave.Data(), samples.data(), samples.size()), 0);
    }
}

TEST_F(WaveFileTest, ExtensibleFilesLoadAsTheirSubFormat) {
    CRWave wave;
    ASSERT_TRUE(Load(Riff(Chunk("fmt ", ExtensiblePayload({1, 6, 48000, 24}, 1)) +
                          Chunk("data", Samples(18 * 10))),
                     wave))
        << debug_.Text();
    EXPECT_EQ(wave.Format()->formatTag, kWaveFormatPcm);
    EXPECT_EQ(wave.Format()->channels, 6);
    ASSERT_TRUE(Load(
        Riff(Chunk("fmt ", ExtensiblePayload({1, 2, 96000, 32}, 3)) + Chunk("data", Samples(80))),
        wave));
    EXPECT_EQ(wave.Format()->formatTag, kWaveFormatFloat);

    // Compressed sub-formats, foreign GUIDs and a record cut short are not sound we can play.
    const std::string data = Chunk("data", Samples(40));
    ExpectRefused(Riff(Chunk("fmt ", ExtensiblePayload({1, 2, 48000, 16}, 2)) + data),
                  "Unrecognize file format !");
    ExpectRefused(Riff(Chunk("fmt ", ExtensiblePayload({1, 2, 48000, 16}, 1, false)) + data),
                  "Unrecognize file format !");
    ExpectRefused(Riff(Chunk("fmt ", ExtensiblePayload({1, 2, 48000, 16}, 1).substr(0, 24)) + data),
                  "Unrecognize file format !");
}

TEST_F(WaveFileTest, RatesFrom8000To96000Load) {
    const std::string samples = Samples(400);
    EXPECT_TRUE(Load(Wav({1, 2, 8000, 16}, samples)));
    EXPECT_TRUE(Load(Wav({1, 2, 48000, 16}, samples)));
    EXPECT_TRUE(Load(Wav({1, 2, 48001, 16}, samples)));
    EXPECT_TRUE(Load(Wav({1, 2, 96000, 16}, samples)));
    ExpectRefused(Wav({1, 2, 7999, 16}, samples), "Unsupported file format !");
    ExpectRefused(Wav({1, 2, 96001, 16}, samples), "Unsupported file format !");
}

TEST_F(WaveFileTest, FormatsThePlayerCannotStreamAreRefused) {
    const std::string samples = Samples(400);
    ExpectRefused(Wav({2, 2, 44100, 16}, samples), "Unrecognize file format !");
    ExpectRefused(Wav({0x55, 2, 44100, 0}, samples), "Unrecognize file format !");
    // Each of these would divide by zero or misplace every sample while streaming.
    ExpectRefused(Wav({1, 0, 44100, 16}, samples), "Unsupported file format !");
    ExpectRefused(Wav({1, 2, 44100, 16, 0}, samples), "Unsupported file format !");
    ExpectRefused(Wav({1, 2, 44100, 16, 6}, samples), "Unsupported file format !");
    ExpectRefused(Wav({1, 2, 44100, 12}, samples), "Unsupported file format !");
    ExpectRefused(Wav({1, 2, 44100, 0, 4}, samples), "Unsupported file format !");
    ExpectRefused(Wav({3, 2, 44100, 16}, samples), "Unsupported file format !");
    ExpectRefused(Wav({1, 9, 44100, 16}, samples), "Unsupported file format !");
    // An old 14-byte record has no bits per sample.
    ExpectRefused(Riff(Chunk("fmt ", FormatPayload({1, 2, 44100, 16}).substr(0, 14)) +
                       Chunk("data", samples)),
                  "Unsupported file format !");
}

TEST_F(WaveFileTest, MissingChunksAndEmptyDataAreRefused) {
    const std::string fmt = Chunk("fmt ", FormatPayload({}));
    ExpectRefused(Riff(fmt + Chunk("data", "")), "No data avaliable in the reading file !");
    // Less than one sample of every channel is no data either.
    ExpectRefused(Riff(fmt + Chunk("data", "abc")), "No data avaliable in the reading file !");
    ExpectRefused(Riff(fmt), "Failed to descend \"data\" chunk !");
    ExpectRefused(Riff(Chunk("data", Samples(40))), "Failed to descend \"fmt \" chunk !");
    ExpectRefused(Riff(Chunk("data", Samples(40)) + fmt), "Failed to descend \"data\" chunk !");
    ExpectRefused("RIFX" + Riff(fmt).substr(4), "Failed to descend \"WAVE\" chunk !");
    ExpectRefused(std::string("RIFF\4\0\0\0AVI "), "Failed to descend \"WAVE\" chunk !");
    ExpectRefused("", "Failed to descend \"WAVE\" chunk !");

    debug_.Clear();
    CRWave wave;
    EXPECT_FALSE(wave.LoadWaveFile(folder_ / "absent.wav"));
    EXPECT_FALSE(wave.LoadWaveFile(folder_.Path()));
    EXPECT_TRUE(debug_.Contains("Failed to open wave file !"));
}

TEST_F(WaveFileTest, LyingSizesNeverReadPastTheFile) {
    const std::string fmt = Chunk("fmt ", FormatPayload({}));
    const std::string samples = Samples(400);
    ExpectRefused(Riff(fmt + Chunk("data", samples, 401)), "Failed in reading data !");
    ExpectRefused(Riff(fmt + Chunk("data", samples, 0xFFFFFFFF)), "Failed in reading data !");
    ExpectRefused(Riff(fmt + Chunk("data", samples, 0x7FFFFFFF)), "Failed in reading data !");
    // A chunk before "fmt " that claims the rest of the world hides everything after it.
    ExpectRefused(Riff(Chunk("LIST", "abcd", 0xFFFFFFF0) + fmt + Chunk("data", samples)),
                  "Failed to descend \"fmt \" chunk !");
    // A format chunk longer than the file.
    ExpectRefused(Riff(Chunk("fmt ", FormatPayload({}).substr(0, 10), 16)),
                  "Failed to read format chunk !");
    ExpectRefused(Riff(Chunk("fmt ", FormatPayload({}), 0xFFFFFFFF) + Chunk("data", samples)),
                  "Failed to descend \"data\" chunk !");
    // A RIFF size that claims less than the file hides the data; more than the file (as
    // writers that stream leave it) is bounded by the file.
    ExpectRefused(Riff(fmt + Chunk("data", samples), 4 + 24), "Failed to descend \"data\" chunk !");
    EXPECT_TRUE(Load(Riff(fmt + Chunk("data", samples), 0xFFFFFFFF))) << debug_.Text();
}

TEST_F(WaveFileTest, EveryCutOfAFileIsRefusedAndKeepsTheLoadedSound) {
    const std::string whole = Riff(Chunk("LIST", "INFOx") + Chunk("fmt ", FormatPayload({})) +
                                   Chunk("data", Samples(64)));
    CRWave wave;
    ASSERT_TRUE(Load(Wav({1, 1, 22050, 8}, "xyz"), wave));
    for (size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        EXPECT_FALSE(Load(whole.substr(0, size), wave));
        EXPECT_TRUE(debug_.Contains("CRWave::LoadWaveFile failed: "));
        ASSERT_TRUE(wave.HasData());
        EXPECT_EQ(wave.DataSize(), 3u);
        EXPECT_EQ(wave.Format()->samplesPerSec, 22050u);
    }
    EXPECT_TRUE(Load(whole, wave));
    EXPECT_EQ(wave.DataSize(), 64u);
}

TEST_F(WaveFileTest, OddChunksArePaddedToAnEvenLength) {
    const std::string samples = Samples(5);
    CRWave wave;
    // An odd LIST before the format, and odd 8-bit mono data followed by another chunk.
    ASSERT_TRUE(Load(Riff(Chunk("LIST", "INFOabc") + Chunk("fmt ", FormatPayload({1, 1, 8000, 8})) +
                          Chunk("data", samples) + Chunk("cue ", "1234")),
                     wave))
        << debug_.Text();
    ASSERT_EQ(wave.DataSize(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(wave.Data()), 5), samples);
    // A trailing partial sample of a stereo 16-bit file is left out.
    ASSERT_TRUE(Load(Wav({1, 2, 8000, 16}, Samples(10)), wave));
    EXPECT_EQ(wave.DataSize(), 8u);
}

TEST_F(WaveFileTest, PlaybackReadsTheSamePathAgainOnlyWhenRewritten) {
    CRWavePlayback playback;
    const std::string path = folder_.Write("a.wav", Wav({}, Samples(40)));
    ASSERT_TRUE(playback.Load(path));
    EXPECT_EQ(playback.Path(), path);
    // A different file behind the same path is the new project's sound: it is read again.
    folder_.Write("a.wav", Wav({}, Samples(80)));
    ASSERT_TRUE(playback.Load(path));
    EXPECT_EQ(playback.DataSize(), 80u);

    const std::string broken = folder_.Write("b.wav", "RIFF");
    debug_.Clear();
    EXPECT_FALSE(playback.Load(broken));
    EXPECT_TRUE(debug_.Contains("CRWavePlayback::Load() failed: LoadWaveFile() return FALSE\n"));
    EXPECT_EQ(playback.Path(), path);
    EXPECT_EQ(playback.DataSize(), 80u);
}

TEST(WaveFormatTest, MillisecondsBecomeWholeBlocksWithoutOverflow) {
    const WaveFormat stereo16{1, 2, 44100, 176400, 4, 16, 0};
    // 3 ms is 529.2 bytes: the nearest whole block is 528.
    EXPECT_EQ(MillisecondsToBytes(stereo16, 3), 528u);
    const WaveFormat surround24{1, 6, 96000, 1728000, 18, 24, 0};
    EXPECT_EQ(MillisecondsToBytes(surround24, 3600000), 1728000ull * 3600);
    EXPECT_EQ(BytesToMilliseconds(surround24, 1728000ull * 3600), 3600000u);
}

}  // namespace
}  // namespace tavrel
