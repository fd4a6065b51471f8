#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "device/config_block.h"
#include "device/io_bytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Field order of config::Values: ansdelay, comspeed, comtout, times log 0 (8), times log 1 (8).
config::Values values(std::int32_t ansDelay, std::int32_t comSpeed, std::int32_t comTout,
                      std::int32_t log0First = 0, std::int32_t log1First = 0) {
  config::Values v{};
  v[0] = ansDelay;
  v[1] = comSpeed;
  v[2] = comTout;
  for (int i = 0; i < 8; ++i) {
    v[3 + i] = log0First ? log0First + i : 0;
    v[11 + i] = log1First ? log1First + i : 0;
  }
  return v;
}

struct EncodeRow {
  const char* name;
  config::Values values;
  bool save;
  Bytes expected;
};

void PrintTo(const EncodeRow& row, std::ostream* os) { *os << row.name; }

// clang-format off
const EncodeRow kEncodeRows[] = {
    {"all_zero", values(0, 0, 0), false, Bytes(32, 0)},
    {"save_marker_only", values(0, 0, 0), true,
     {0, 0, 0, 0, 0x73, 0x61, 0x76, 0x65, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"layout_of_every_field", values(5, 6, 1000, 0x10, 0x20), true,
     {5, 6, 0xE8, 0x03, 0x73, 0x61, 0x76, 0x65,
      0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
      0, 0, 0, 0, 0, 0, 0, 0,
      0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27}},
    {"low_bits_only", values(300, -1, 70000, 0x1F0, -2), false,
     {0x2C, 0xFF, 0x70, 0x11, 0, 0, 0, 0,
      0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7,
      0, 0, 0, 0, 0, 0, 0, 0,
      0xFE, 0xFF, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05}},
    {"word_minus_one", values(0, 0, -1), false,
     {0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
};
// clang-format on

class ConfigEncode : public ::testing::TestWithParam<EncodeRow> {};

TEST_P(ConfigEncode, BuildsTheBlockImage) {
  const EncodeRow& row = GetParam();
  EXPECT_EQ(config::encode(row.values, row.save), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigEncode, ::testing::ValuesIn(kEncodeRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigBlock, FieldsCoverTheBlockWithoutOverlap) {
  std::vector<int> owner(config::kSize, -1);
  for (int i = 0; i < config::kSaveMarkerOffset + 4; ++i)
    if (i >= config::kSaveMarkerOffset) owner[i] = 100;
  for (std::size_t f = 0; f < config::kFields.size(); ++f)
    for (int b = 0; b < config::kFields[f].size; ++b) {
      const int at = config::kFields[f].offset + b;
      ASSERT_LT(at, config::kSize);
      EXPECT_EQ(owner[at], -1) << config::kFields[f].box << " overlaps byte " << at;
      owner[at] = static_cast<int>(f);
    }
}

struct ShownRow {
  const char* name;
  int field;
  std::int32_t value;
  std::uint32_t shown;
};

void PrintTo(const ShownRow& row, std::ostream* os) { *os << row.name; }

const ShownRow kShownRows[] = {
    {"byte_as_is", 0, 200, 200},
    {"byte_low_bits", 0, 300, 44},
    {"byte_minus_one_unsigned", 1, -1, 255},
    {"word_as_is", 2, 1000, 1000},
    {"word_low_bits", 2, 70000, 0x1170},
    {"word_minus_one_unsigned", 2, -1, 65535},
    {"times_log_byte", 18, 0x1FF, 0xFF},
};

class ShownValue : public ::testing::TestWithParam<ShownRow> {};

TEST_P(ShownValue, KeepsTheFieldsLowBitsUnsigned) {
  const ShownRow& row = GetParam();
  EXPECT_EQ(config::shownValue(config::kFields[row.field], row.value), row.shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShownValue, ::testing::ValuesIn(kShownRows),
                         [](const auto& info) { return std::string(info.param.name); });

io::Marks marks(std::initializer_list<int> on) {
  io::Marks m{};
  for (int i : on) m[i] = true;
  return m;
}

struct IoRow {
  const char* name;
  io::Marks marks;
  std::int32_t value;
};

void PrintTo(const IoRow& row, std::ostream* os) { *os << row.name; }

const IoRow kIoRows[] = {
    {"none", marks({}), 0x00},
    {"first", marks({0}), 0x01},
    {"last", marks({7}), 0x80},
    {"pattern", marks({0, 2, 5, 7}), 0xA5},
    {"all", marks({0, 1, 2, 3, 4, 5, 6, 7}), 0xFF},
};

class IoBytes : public ::testing::TestWithParam<IoRow> {};

TEST_P(IoBytes, BitIIsChannelI) {
  const IoRow& row = GetParam();
  EXPECT_EQ(io::outputMask(row.marks), row.value);
  EXPECT_EQ(io::inputMarks(row.value), row.marks);
}

INSTANTIATE_TEST_SUITE_P(Cases, IoBytes, ::testing::ValuesIn(kIoRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InputMarks, BitsAboveSevenDoNotCount) {
  EXPECT_EQ(io::inputMarks(0x1FF), marks({0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(io::inputMarks(0x100), marks({}));
  EXPECT_EQ(io::inputMarks(0xA500 | 0xA5), marks({0, 2, 5, 7}));
  EXPECT_EQ(io::inputMarks(-1), marks({0, 1, 2, 3, 4, 5, 6, 7}));
}

}  // namespace
