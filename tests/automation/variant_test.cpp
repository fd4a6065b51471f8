#include "automation/variant.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include "automation/wide_string.h"

namespace {

using automation::Variant;

struct Row {
  const char* name;
  Variant value;
  std::optional<std::int32_t> expected;  // nullopt: refused
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

Variant text(const char* utf8) { return Variant::text(automation::fromUtf8(utf8)); }

const Row kRows[] = {
    {"empty_gives_zero", Variant(), 0},
    {"null_refused", Variant::null(), std::nullopt},

    {"i1_min", Variant::i1(-128), -128},
    {"i2_min", Variant::i2(-32768), -32768},
    {"i4_min", Variant::i4(kMin), kMin},
    {"i4_max", Variant::i4(kMax), kMax},
    {"i8_max_fits", Variant::i8(kMax), kMax},
    {"i8_min_fits", Variant::i8(kMin), kMin},
    {"i8_above_range", Variant::i8(std::int64_t{kMax} + 1), std::nullopt},
    {"i8_below_range", Variant::i8(std::int64_t{kMin} - 1), std::nullopt},
    {"ui1_max", Variant::ui1(255), 255},
    {"ui2_max", Variant::ui2(65535), 65535},
    {"ui4_max_fits", Variant::ui4(0x7FFFFFFFu), kMax},
    {"ui4_above_range", Variant::ui4(0x80000000u), std::nullopt},
    {"ui4_all_ones_not_minus_one", Variant::ui4(0xFFFFFFFFu), std::nullopt},
    {"ui8_above_range", Variant::ui8(0x100000000ull), std::nullopt},

    {"bool_true", Variant::boolean(true), -1},
    {"bool_false", Variant::boolean(false), 0},

    {"r8_half_to_even_down", Variant::r8(2.5), 2},
    {"r8_half_to_even_up", Variant::r8(3.5), 4},
    {"r8_negative_half_to_even", Variant::r8(-2.5), -2},
    {"r8_negative_half_away", Variant::r8(-3.5), -4},
    {"r8_half_of_zero", Variant::r8(0.5), 0},
    {"r8_below_half", Variant::r8(2.4999), 2},
    {"r8_above_half", Variant::r8(2.5001), 3},
    {"r8_small_negative", Variant::r8(-0.4), 0},
    {"r8_rounds_to_max", Variant::r8(2147483647.4), kMax},
    {"r8_half_past_max_rounds_out", Variant::r8(2147483647.5), std::nullopt},
    {"r8_half_below_min_rounds_to_min", Variant::r8(-2147483648.5), kMin},
    {"r8_below_min", Variant::r8(-2147483649.0), std::nullopt},
    {"r8_nan", Variant::r8(std::nan("")), std::nullopt},
    {"r8_infinity", Variant::r8(std::numeric_limits<double>::infinity()), std::nullopt},
    {"r4_half_to_even_down", Variant::r4(2.5f), 2},
    {"r4_half_to_even_up", Variant::r4(3.5f), 4},
    {"r4_negative_half", Variant::r4(-2.5f), -2},
    {"r4_out_of_range", Variant::r4(3e9f), std::nullopt},

    {"text_integer", text("42"), 42},
    {"text_blanks_and_sign", text("  -7 "), -7},
    {"text_fraction_rounds_half_to_even", text("2.5"), 2},
    {"text_exponent", text("1e3"), 1000},
    {"text_tiny_exponent_is_zero", text("1e-400"), 0},
    {"text_huge_exponent", text("1e400"), std::nullopt},
    {"text_out_of_range", text("3000000000"), std::nullopt},
    {"text_empty", text(""), std::nullopt},
    {"text_letters", text("twelve"), std::nullopt},
    {"text_trailing_junk", text("12x"), std::nullopt},
    {"text_sign_only", text("-"), std::nullopt},
    {"text_comma_in_c_locale", text("2,5"), std::nullopt},

    {"byte_array", Variant::byteArray({1, 2}), std::nullopt},
    {"empty_byte_array", Variant::byteArray({}), std::nullopt},
    {"i4_array", Variant::arrayOf(automation::kVtI4, 1), std::nullopt},
};

class ChangeToInt32 : public ::testing::TestWithParam<Row> {};

TEST_P(ChangeToInt32, ConvertsOrRefuses) {
  const Row& row = GetParam();
  std::int32_t out = 12345;
  const automation::Status s = automation::changeToInt32(row.value, &out);
  if (row.expected) {
    ASSERT_TRUE(automation::succeeded(s)) << std::hex << s;
    EXPECT_EQ(out, *row.expected);
  } else {
    EXPECT_TRUE(automation::failed(s)) << "converted to " << out;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ChangeToInt32, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Text is read as the user would type it, with the locale's decimal separator.
class ChangeToInt32InLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_NUMERIC, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
      if (std::setlocale(LC_NUMERIC, name) && std::localeconv()->decimal_point[0] == ',') return;
    }
    std::setlocale(LC_NUMERIC, saved_.c_str());
    GTEST_SKIP() << "no locale with a decimal comma is installed";
  }
  void TearDown() override { std::setlocale(LC_NUMERIC, saved_.c_str()); }

  static std::optional<std::int32_t> convert(const char* utf8) {
    std::int32_t out = 0;
    if (automation::failed(automation::changeToInt32(text(utf8), &out))) return std::nullopt;
    return out;
  }

  std::string saved_;
};

TEST_F(ChangeToInt32InLocale, ReadsTheDecimalComma) {
  EXPECT_EQ(convert("2,5"), 2);
  EXPECT_EQ(convert("3,5"), 4);
  EXPECT_EQ(convert("-1,75"), -2);
  EXPECT_EQ(convert(" 12 "), 12);
  EXPECT_EQ(convert("2.5"), std::nullopt) << "the point is not this locale's separator";
}

TEST(WideString, EmptyTextIsTheNullString) {
  EXPECT_EQ(automation::makeWideString(u""), std::nullopt);
  EXPECT_EQ(automation::makeWideString(u"COM3"), std::u16string(u"COM3"));
}

TEST(WideString, Utf8RoundTripsOutsideTheBasicPlane) {
  const std::string utf8 = "T\xC3\xA9mp \xE2\x82\xAC \xF0\x9F\x94\x8C";  // é, €, a plug (surrogate pair)
  const std::u16string wide = automation::fromUtf8(utf8);
  EXPECT_EQ(wide, u"T\u00E9mp \u20AC \U0001F50C");
  EXPECT_EQ(automation::toUtf8(wide), utf8);
}

}  // namespace
