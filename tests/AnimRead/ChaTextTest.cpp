#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <random>
#include <string>

#include "AnimRead/ChaText.h"

using namespace tavrel;

namespace {

// What from_chars makes of the text, and how much of it it takes.
std::pair<float, size_t> Reference(const std::string& text) {
    float value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(error, std::errc()) << text;
    return {value, static_cast<size_t>(end - text.data())};
}

void ExpectSameAsFromChars(const std::string& text) {
    std::string_view rest = text;
    float value = 0;
    ASSERT_TRUE(chatext::ScanFloat(rest, &value)) << text;
    const auto [expected, taken] = Reference(text);
    EXPECT_EQ(std::bit_cast<uint32_t>(value), std::bit_cast<uint32_t>(expected)) << text;
    EXPECT_EQ(text.size() - rest.size(), taken) << text;
}

}  // namespace

TEST(ChaText, DecimalsReadToTheNearestFloatLikeFromChars) {
    // Short decimals take a quicker path; it must round exactly as the general one.
    for (const char* text :
         {"0.000",     "-0.000",     "900.419",   "-4.791",       "1.5", "9999.999", "1234567.0",
          "0.0000001", "12345678.9", "1.2.3",     "5.",           "-.5", "1e3",      "2.5e-3",
          "007.250",   "16777216.5", "-9.999999", "3.4028235e38", "inf", "-nan"}) {
        ExpectSameAsFromChars(text);
    }
    // Every length of whole part and fraction around the quick path's limit of seven digits.
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        std::string text = (random() & 1) ? "-" : "";
        const int whole = 1 + static_cast<int>(random() % 8),
                  fraction = 1 + static_cast<int>(random() % 8);
        for (int k = 0; k < whole; ++k) text += static_cast<char>('0' + random() % 10);
        text += '.';
        for (int k = 0; k < fraction; ++k) text += static_cast<char>('0' + random() % 10);
        ExpectSameAsFromChars(text);
    }
}
