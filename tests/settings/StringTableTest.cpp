#include <gtest/gtest.h>

#include <regex>

#include "settings/Placeholders.h"
#include "settings/StringTable.h"
#include "tests/support/TempFolder.h"

namespace tavrel {
namespace {

TEST(CStringTable, ParsesEscapesAndComments) {
    auto table =
        CStringTable::Parse("# comment\r\n\n1\tTwo\\nlines\r\n2\ttab\\there\n3\tback\\\\\n");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->Size(), 3u);
    EXPECT_EQ(table->Get(1), "Two\nlines");
    EXPECT_EQ(table->Get(2), "tab\there");
    EXPECT_EQ(table->Get(3), "back\\");
    EXPECT_EQ(table->Get(4), "");
}

TEST(CStringTable, RefusesMalformedAndRepeatedEntries) {
    EXPECT_FALSE(CStringTable::Parse("1\ta\n1\tb\n"));
    EXPECT_FALSE(CStringTable::Parse("12 no tab\n"));
    EXPECT_FALSE(CStringTable::Parse("x1\ta\n"));
    EXPECT_FALSE(CStringTable::Load("/nonexistent/strings.tsv"));
}

// Every identifier the program names has a text in the built-in table, which is the file the
// resource bundle carries.
TEST(CStringTable, BuiltInTableHoldsEveryIdentifierTheProgramUses) {
    const std::string header = testing::ReadFile(TAVREL_SOURCE_DIR "/settings/StringIds.h");
    const std::regex id(R"(= (6\d{4});)");
    int count = 0;
    for (std::sregex_iterator it(header.begin(), header.end(), id), end; it != end; ++it) {
        EXPECT_TRUE(CStringTable::BuiltIn().Has(std::stoi((*it)[1]))) << (*it)[1];
        ++count;
    }
    EXPECT_GT(count, 40);
    auto file = CStringTable::Load(TAVREL_SOURCE_DIR "/resources/Vesk/strings.tsv");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), CStringTable::BuiltIn().Size());
    EXPECT_EQ(CStringTable::BuiltIn().Get(61331), "Corvane\\Tavrel");
}

TEST(ReplacePlaceholders, ReplacesEveryOccurrenceOnce) {
    const PlaceholderValues values = {{"%MotionFiles", "a.cha\n%UnusedFiles"},
                                      {"%UnusedFiles", "u"}};
    EXPECT_EQ(ReplacePlaceholders("%MotionFiles|%UnusedFiles|%MotionFiles", values),
              "a.cha\n%UnusedFiles|u|a.cha\n%UnusedFiles");
    EXPECT_EQ(ReplacePlaceholders("100% sure %Motion", values), "100% sure %Motion");
    EXPECT_EQ(JoinLines({"a", "b", "c"}), "a\nb\nc");
}

}  // namespace
}  // namespace tavrel
