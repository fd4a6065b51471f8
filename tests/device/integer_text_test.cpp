#include "device/integer_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "device/failure.h"

namespace {

struct Row {
  const char* name;
  std::string text;
  std::optional<std::int32_t> expected;  // nullopt: not a valid integer
};

// Only the name: the texts hold tabs and newlines that would garble test listings.
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

constexpr std::int32_t kMin = INT32_MIN;
constexpr std::int32_t kMax = INT32_MAX;

const Row kRows[] = {
    // Decimal.
    {"zero", "0", 0},
    {"leading_zero_is_decimal", "08", 8},
    {"leading_zeros", "0000000000002147483647", kMax},
    {"leading_spaces", "   42", 42},
    {"plus", "+7", 7},
    {"minus", "-7", -7},
    {"spaces_then_sign", "  -15", -15},
    {"max", "2147483647", kMax},
    {"min", "-2147483648", kMin},
    {"plus_max", "+2147483647", kMax},
    {"above_max", "2147483648", std::nullopt},
    {"below_min", "-2147483649", std::nullopt},
    {"far_above_max", "99999999999999999999", std::nullopt},
    {"minus_zero", "-0", 0},

    // Hexadecimal, every prefix, either case of digits.
    {"dollar", "$FF", 255},
    {"x_lower", "xff", 255},
    {"x_upper", "XaB", 171},
    {"zero_x", "0x10", 16},
    {"zero_x_upper", "0X7fffffff", kMax},
    {"spaces_then_hex", "  $1F", 31},
    {"hex_zero", "$0", 0},
    {"all_ones_is_minus_one", "$FFFFFFFF", -1},
    {"top_bit_is_min", "$80000000", kMin},
    {"many_leading_zeros", "$000000000000FFFFFFFF", -1},
    {"only_zeros", "0x00000000000", 0},
    {"nine_digits", "$100000000", std::nullopt},
    {"nine_digits_after_zeros", "$00123456789", std::nullopt},

    // Malformed.
    {"empty", "", std::nullopt},
    {"spaces_only", "   ", std::nullopt},
    {"plus_alone", "+", std::nullopt},
    {"minus_alone", "-", std::nullopt},
    {"dollar_alone", "$", std::nullopt},
    {"x_alone", "x", std::nullopt},
    {"zero_x_alone", "0x", std::nullopt},
    {"sign_before_dollar", "-$5", std::nullopt},
    {"sign_before_zero_x", "-0x5", std::nullopt},
    {"plus_before_x", "+x5", std::nullopt},
    {"sign_after_prefix", "$-5", std::nullopt},
    {"space_after_prefix", "$ 5", std::nullopt},
    {"space_after_sign", "- 5", std::nullopt},
    {"double_prefix", "0x0x5", std::nullopt},
    {"zero_then_zero_x", "00x5", std::nullopt},
    {"leading_tab", "\t5", std::nullopt},
    {"trailing_space", "5 ", std::nullopt},
    {"trailing_tab", "5\t", std::nullopt},
    {"trailing_newline", "5\n", std::nullopt},
    {"fraction", "1.5", std::nullopt},
    {"letters_after_digits", "12a", std::nullopt},
    {"bad_hex_digit", "$G", std::nullopt},
    {"bad_hex_digit_later", "0x1g", std::nullopt},
    {"binary_prefix", "0b101", std::nullopt},
    {"digit_group_separator", "1_000", std::nullopt},
    {"non_ascii_digit", "\xD9\xA3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
};

class IntegerText : public ::testing::TestWithParam<Row> {};

TEST_P(IntegerText, FollowsTheRule) {
  const Row& row = GetParam();
  EXPECT_EQ(device::parseIntegerText(row.text), row.expected);
  if (row.expected) {
    EXPECT_EQ(device::integerFromText(row.text), *row.expected);
  } else {
    try {
      device::integerFromText(row.text);
      ADD_FAILURE() << "accepted";
    } catch (const device::Failure& failure) {
      EXPECT_EQ(failure.what(), "'" + row.text + "' is not a valid integer value");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, IntegerText, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The message quotes the whole box, spaces and all, even when it looks like a format.
TEST(IntegerTextMessage, QuotesTheWholeTextVerbatim) {
  for (const std::string text : {"  12a ", "%s", "%d%s", "100%"}) {
    try {
      device::integerFromText(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const device::Failure& failure) {
      EXPECT_EQ(std::string(failure.what()), "'" + text + "' is not a valid integer value");
    }
  }
}

}  // namespace
