#include "AnimRead/BlockReader.h"

#include <gtest/gtest.h>

#include <string>

#include "MotionTestSupport.h"

using namespace tavrel;

namespace {

class BlockReaderTest : public ::testing::Test {
protected:
    // Opens a reader on a file holding bytes.
    void Open(const std::string& bytes) {
        motiontest::WriteAll(dir_.File("f"), bytes);
        ASSERT_TRUE(reader_.Open(dir_.File("f").c_str()));
    }

    motiontest::TempDir dir_;
    BLOCKREADER reader_;
};

}  // namespace

TEST_F(BlockReaderTest, LinesKeepTheLengthRuleAndCountEveryRead) {
    const std::string exact(255, 'a'), over(256, 'b');
    Open(exact + "\n" + over + "\n\r\nlast");
    std::string_view line;
    bool hadBreak = false;
    ASSERT_TRUE(reader_.ReadLine(&line, &hadBreak));
    EXPECT_EQ(line, exact);  // 255 characters and their break are one line
    EXPECT_TRUE(hadBreak);
    ASSERT_TRUE(reader_.ReadLine(&line, &hadBreak));
    EXPECT_EQ(line, over.substr(0, 255));  // a longer line goes on in the next read
    EXPECT_FALSE(hadBreak);
    ASSERT_TRUE(reader_.ReadLine(&line, &hadBreak));
    EXPECT_EQ(line, "b");
    EXPECT_EQ(reader_.LineCount(), 3);
    // The "\r\n" line is empty and skipped, but still counted.
    ASSERT_TRUE(reader_.ReadContentLine(&line));
    EXPECT_EQ(line, "last");
    EXPECT_EQ(reader_.LineCount(), 5);
    EXPECT_FALSE(reader_.ReadLine(&line));
    EXPECT_EQ(reader_.Remaining(), 0);
}

TEST_F(BlockReaderTest, CrLfAfterAFullLineIsStillItsBreak) {
    const std::string exact(255, 'c');
    Open(exact + "\r\ntwo");
    std::string_view line;
    bool hadBreak = false;
    ASSERT_TRUE(reader_.ReadLine(&line, &hadBreak));
    EXPECT_EQ(line, exact);
    EXPECT_TRUE(hadBreak);
    ASSERT_TRUE(reader_.ReadLine(&line, &hadBreak));
    EXPECT_EQ(line, "two");
    EXPECT_EQ(reader_.LineCount(), 2);
}

TEST_F(BlockReaderTest, BytesAcrossBlockBoundsArriveIntact) {
    std::string bytes;
    for (int i = 0; i < 3 * 1024 * 1024 / 4; ++i) bytes.append(reinterpret_cast<const char*>(&i), 4);
    Open(bytes);
    EXPECT_EQ(reader_.Remaining(), static_cast<int64_t>(bytes.size()));
    ASSERT_NE(reader_.Take(3), nullptr);  // misalign against the block size
    for (size_t at = 3; at + 48 <= bytes.size(); at += 48) {
        const uint8_t* chunk = reader_.Take(48);
        ASSERT_NE(chunk, nullptr) << at;
        ASSERT_EQ(std::memcmp(chunk, bytes.data() + at, 48), 0) << at;
    }
    EXPECT_EQ(reader_.Take(48), nullptr);  // fewer bytes than asked are left
    EXPECT_EQ(reader_.Take(BLOCKREADER::kMaxTake + 1), nullptr);
}
