#include "AnimRead/CHBRead/CHBRead.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "AnimRead/CHARead/CHARead.h"
#include "MotionTestSupport.h"

using namespace tavrel;

using motiontest::MakeMotion;
using motiontest::ReadAll;
using motiontest::WriteAll;

namespace {

// Offsets of the header's values.
constexpr size_t kVersionAt = 21;
constexpr size_t kNumSegmentsAt = 79;
constexpr size_t kBeginAt = 52;
constexpr size_t kEndAt = 64;
constexpr size_t kFrameBytes = 5 + 4 + 20 * 48;

void PutInt(std::string& bytes, size_t at, int32_t value) { std::memcpy(&bytes[at], &value, 4); }

class ChbReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        source_ = MakeMotion(3, 5);  // frames 5 .. 7
        source_->WriteAs(dir_.File("m.chb").c_str(), 1);
        bytes_ = ReadAll(dir_.File("m.chb"));
    }
    std::string Put(const std::string& bytes) {
        WriteAll(dir_.File("x.chb"), bytes);
        return dir_.File("x.chb");
    }
    ERROBJ ReadError(const std::string& bytes, int preload = 1) {
        const std::string path = Put(bytes);
        return motiontest::CatchError([&] {
            CHBREAD motion(path.c_str(), preload);
            motion.GetFrame(0);
        });
    }
    // Offset of the first frame's key.
    size_t FramesAt() const { return bytes_.size() - 3 * kFrameBytes; }

    motiontest::TempDir dir_;
    std::unique_ptr<ANIMFILE> source_;
    std::string bytes_;
};

}  // namespace

TEST_F(ChbReadTest, WrittenMotionReadsBackBitForBit) {
    // Values text could not carry: NaN payloads, infinities, tiny and huge numbers.
    ANIMSEG& hand = *source_->GetSegment(17);
    hand.frames[1].m[0] = std::numeric_limits<float>::quiet_NaN();
    hand.frames[1].m[1] = -std::numeric_limits<float>::infinity();
    hand.frames[1].m[2] = 1.0e-42f;
    hand.frames[1].m[12] = 3.0e38f;
    hand.length = 0.1f;
    source_->WriteAs(dir_.File("m.chb").c_str(), 1);
    for (int preload : {1, 0}) {
        CHBREAD back(dir_.File("m.chb").c_str(), preload);
        back.GetFrame(0);
        motiontest::ExpectSameMotion(*source_, back, 0.0f);
    }
}

TEST_F(ChbReadTest, ChaMotionSavedAsChbKeepsItsValues) {
    source_->WriteAs(dir_.File("m.cha").c_str(), 0);
    CHAREAD text(dir_.File("m.cha").c_str(), 1);
    text.WriteAs(dir_.File("t.chb").c_str(), 1);
    CHBREAD back(dir_.File("t.chb").c_str(), 1);
    motiontest::ExpectSameMotion(text, back, 0.0f);
}

TEST_F(ChbReadTest, TagsAndKeysIgnoreCase) {
    std::string lower = bytes_;
    lower.replace(0, 8, "[header]");
    lower.replace(8, 13, "VERSIONNUMBER");
    CHBREAD motion(Put(lower).c_str(), 1);
    motiontest::ExpectSameMotion(*source_, motion, 0.0f);

    std::string wrong = bytes_;
    wrong.replace(0, 8, "[HEADEX]");
    EXPECT_ERROBJ(CHBREAD(Put(wrong).c_str(), 1), ERR_CORRUPTED, "At Line: 0");
    wrong = bytes_;
    wrong[kNumSegmentsAt - 2] = 'T';  // "NumSegmenTs" still reads
    EXPECT_NO_THROW(CHBREAD(Put(wrong).c_str(), 1));
    wrong[kNumSegmentsAt - 2] = '_';
    EXPECT_ERROBJ(CHBREAD(Put(wrong).c_str(), 1), ERR_CORRUPTED, "At Line: 0");
}

TEST_F(ChbReadTest, HeaderChecks) {
    std::string bytes = bytes_;
    PutInt(bytes, kVersionAt, 722);
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_EXPIRED, "");
    PutInt(bytes, kVersionAt, 720);
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_READER_EXPIRED, "");
    EXPECT_ERROBJ(CHBREAD(Put(bytes.substr(0, kVersionAt + 4)).c_str(), 1), ERR_READER_EXPIRED, "");

    bytes = bytes_;
    PutInt(bytes, kEndAt, 4);
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "end frame < begin frame");
    for (int32_t count : {0, -1, INT32_MIN}) {
        PutInt(bytes, kNumSegmentsAt, count);
        EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "At Line: 0");
    }
    EXPECT_ERROBJ(CHBREAD(dir_.File("absent.chb").c_str(), 1), ERR_FILE_NOT_FOUND, "");
}

TEST_F(ChbReadTest, OneFrameWhenEndEqualsBegin) {
    std::string bytes = bytes_.substr(0, FramesAt() + kFrameBytes);
    PutInt(bytes, kEndAt, 5);
    CHBREAD motion(Put(bytes).c_str(), 1);
    EXPECT_EQ(motion.GetEndFrame(), 5);
    EXPECT_EQ(motion.GetSegment(19)->frames.size(), 1u);
}

TEST_F(ChbReadTest, FrameNumberMustFollowOn) {
    std::string bytes = bytes_;
    PutInt(bytes, FramesAt() + kFrameBytes + 5, 7);  // the second frame says 7, not 6
    EXPECT_STREQ(ReadError(bytes, 1).detail, "At Line: 0");
    EXPECT_EQ(ReadError(bytes, 1).code, ERR_CORRUPTED);
    EXPECT_STREQ(ReadError(bytes, 0).detail, "At Line: 0");
}

TEST_F(ChbReadTest, CutInsideTheFrames) {
    const std::string cut = bytes_.substr(0, bytes_.size() - 100);
    EXPECT_ERROBJ(CHBREAD(Put(cut).c_str(), 1), ERR_CORRUPTED, "");
    // Without preload the header reads and the cut shows at the first pose request.
    CHBREAD lazy(Put(cut).c_str(), 0);
    EXPECT_ERROBJ(lazy.GetFrame(5), ERR_CORRUPTED, "");
    // In stream mode the frames before the cut still read.
    lazy.SetStreamMode(1);
    EXPECT_NO_THROW(lazy.GetFrame(6));
    EXPECT_EQ(lazy.GetSegment(0)->frames.size(), 2u);
}

TEST_F(ChbReadTest, AbsurdCountsFailWithoutAllocatingForThem) {
    std::string bytes = bytes_;
    PutInt(bytes, kNumSegmentsAt, INT32_MAX);
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "");
    bytes = bytes_;
    PutInt(bytes, kBeginAt, INT32_MIN);
    PutInt(bytes, kEndAt, INT32_MAX);
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "");
    CHBREAD lazy(Put(bytes).c_str(), 0);
    EXPECT_ERROBJ(lazy.GetFrame(0), ERR_CORRUPTED, "");
}

TEST_F(ChbReadTest, NamesMustEndInTime) {
    // The first length name runs on: replace its zero byte and the rest with letters.
    std::string bytes = bytes_.substr(0, 91) + std::string(300, 'a');
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "");
    bytes = bytes_.substr(0, 91) + "LowerTorso";  // the file ends inside the name
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "");
    bytes = bytes_.substr(0, 91) + std::string(100, 'b') + '\0' + bytes_.substr(91 + 11);
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "");
}

TEST_F(ChbReadTest, HierarchyChildMustBeASegment) {
    std::string bytes = bytes_;
    const size_t at = bytes.find("[HIERARCHY]") + 11;
    bytes[at] = 'X';  // "XowerTorso"
    EXPECT_ERROBJ(CHBREAD(Put(bytes).c_str(), 1), ERR_CORRUPTED, "At Line: 0");
}

TEST_F(ChbReadTest, AMotionWithoutARootIsRefused) {
    std::string rootless = bytes_;
    rootless.replace(rootless.find(std::string("Global\0", 7)), 6, "Globe!");
    EXPECT_STREQ(ReadError(rootless, 0).detail, "No root: no hierarchy line has the parent Global");
    EXPECT_EQ(ReadError(rootless, 0).code, ERR_CORRUPTED);
}

TEST_F(ChbReadTest, StreamingCopiesTheFrames) {
    CHBREAD lazy(Put(bytes_).c_str(), 0);
    ASSERT_TRUE(lazy.StreamAs(dir_.File("copy.chb").c_str(), 1));
    EXPECT_EQ(ReadAll(dir_.File("copy.chb")), bytes_);
    EXPECT_TRUE(lazy.GetSegment(0)->frames.empty());
    // A frame number out of step stops the stream with the reader's error.
    std::string wrong = bytes_;
    PutInt(wrong, FramesAt() + kFrameBytes + 5, 9);
    CHBREAD broken(Put(wrong).c_str(), 0);
    EXPECT_ERROBJ(broken.StreamAs(dir_.File("broken.chb").c_str(), 1), ERR_CORRUPTED, "At Line: 0");
}
