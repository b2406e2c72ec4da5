// Damaged files must fail with ERROBJ or read into a sound motion: never crash, hang or
// allocate without bound.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "AnimRead/CHARead/CHARead.h"
#include "AnimRead/CHBRead/CHBRead.h"
#include "MotionTestSupport.h"

using namespace tavrel;

namespace {

enum class Format { Cha, Chb };

class MotionFileFuzzTest : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override {
        auto motion = motiontest::MakeMotion(2, 3);
        motion->WriteAs(Path().c_str(), GetParam() == Format::Cha ? 0 : 1);
        intact_ = motiontest::ReadAll(Path());
    }

    std::string Path() const { return dir_.File(GetParam() == Format::Cha ? "f.cha" : "f.chb"); }

    std::unique_ptr<ANIMFILE> Open(int preload) const {
        if (GetParam() == Format::Cha) return std::make_unique<CHAREAD>(Path().c_str(), preload);
        return std::make_unique<CHBREAD>(Path().c_str(), preload);
    }

    // Reads the file both ways; returns whether the eager read succeeded.
    bool ReadsOrFailsCleanly(const std::string& bytes) {
        motiontest::WriteAll(Path(), bytes);
        bool read = false;
        try {
            auto motion = Open(1);
            ExpectSound(*motion);
            read = true;
        } catch (const ERROBJ& error) {
            EXPECT_GE(error.code, 0);
            EXPECT_LE(error.code, 6);
        }
        try {
            auto motion = Open(0);
            motion->GetFrame(motion->GetEndFrame());
            ExpectSound(*motion);
            motion->WriteAs(dir_.File("out").c_str(), 1);
        } catch (const ERROBJ&) {
        }
        return read;
    }

    // Every segment holds one matrix per frame of the range, and the root is a segment node.
    static void ExpectSound(const ANIMFILE& motion) {
        const int64_t frames = int64_t{motion.GetEndFrame()} - motion.GetBeginFrame() + 1;
        ASSERT_GT(motion.GetSegmentCount(), 0);
        for (int32_t i = 0; i < motion.GetSegmentCount(); ++i) {
            ASSERT_EQ(static_cast<int64_t>(motion.GetSegment(i)->frames.size()), frames);
        }
        bool rootIsSegment = motion.GetRoot() == nullptr;
        for (int32_t i = 0; i < motion.GetSegmentCount(); ++i) {
            rootIsSegment |= motion.GetSegment(i)->node == motion.GetRoot();
        }
        EXPECT_TRUE(rootIsSegment);
    }

    motiontest::TempDir dir_;
    std::string intact_;
};

}  // namespace

TEST_P(MotionFileFuzzTest, EveryCutLength) {
    ASSERT_TRUE(ReadsOrFailsCleanly(intact_));
    for (size_t length = 0; length < intact_.size(); ++length) {
        const bool read = ReadsOrFailsCleanly(intact_.substr(0, length));
        // Binary files have nothing to spare; text may lose its last empty line and break.
        if (GetParam() == Format::Chb) {
            ASSERT_FALSE(read) << length;
        }
    }
}

TEST_P(MotionFileFuzzTest, RandomlyMutatedBytes) {
    std::mt19937 random(GetParam() == Format::Cha ? 1234 : 5678);
    const std::string alphabet("0123456789-+.,eE \t\n\r\0[]xFrame", 30);
    std::uniform_int_distribution<size_t> position(0, intact_.size() - 1);
    std::uniform_int_distribution<int> edits(1, 6), kind(0, 3), byte(0, 255);
    std::uniform_int_distribution<size_t> letter(0, alphabet.size() - 1);
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = intact_;
        for (int n = edits(random); n > 0; --n) {
            const size_t at = position(random) % bytes.size();
            switch (kind(random)) {
                case 0: bytes[at] = static_cast<char>(byte(random)); break;
                case 1: bytes[at] = alphabet[letter(random)]; break;
                case 2: bytes.insert(at, 1, alphabet[letter(random)]); break;
                default: bytes.erase(at, 1); break;
            }
        }
        ReadsOrFailsCleanly(bytes);
        if (HasFatalFailure()) FAIL() << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, MotionFileFuzzTest, ::testing::Values(Format::Cha, Format::Chb),
                         [](const auto& info) {
                             return std::string(info.param == Format::Cha ? "Cha" : "Chb");
                         });
