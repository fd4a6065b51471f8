#pragma once
// The module's configuration block (block 1, 32 bytes): the one table of the
// nineteen fields the window shows, walked by both the read and the write.
#include <array>
#include <cstdint>
#include <vector>

#include "automation/variant.h"

namespace config {

inline constexpr int kBlock = 1;
inline constexpr int kOffset = 0;
inline constexpr int kSize = 32;

// Bytes 4..7 carry "save" when the module is to keep the block in flash.
inline constexpr int kSaveMarkerOffset = 4;
inline constexpr std::array<std::uint8_t, 4> kSaveMarker{0x73, 0x61, 0x76, 0x65};

struct Field {
  const char* box;  // object name of the field's edit box
  int offset;
  int size;  // 1: a byte (VT_UI1), 2: little-endian word (VT_UI2)
  int type() const { return size == 1 ? automation::kVtUI1 : automation::kVtUI2; }
};

// In the order the read asks for the values and the write converts the boxes.
inline constexpr std::array<Field, 19> kFields{{
    {"eAnsDelay", 0, 1},  {"eComSpeed", 1, 1}, {"eComTout", 2, 2},  {"eTime0L", 8, 1},
    {"eTime1L", 9, 1},    {"eTime2L", 10, 1},  {"eTime3L", 11, 1},  {"eTime4L", 12, 1},
    {"eTime5L", 13, 1},   {"eTime6L", 14, 1},  {"eTime7L", 15, 1},  {"eTime0H", 24, 1},
    {"eTime1H", 25, 1},   {"eTime2H", 26, 1},  {"eTime3H", 27, 1},  {"eTime4H", 28, 1},
    {"eTime5H", 29, 1},   {"eTime6H", 30, 1},  {"eTime7H", 31, 1},
}};

using Values = std::array<std::int32_t, kFields.size()>;

// A value read from the module as the window shows it: its low 8 or 16 bits.
std::uint32_t shownValue(const Field& field, std::int32_t value);

// The 32-byte image: each field's low bits (words little-endian), the save
// marker or zeros, everything else zero.
std::vector<std::uint8_t> encode(const Values& values, bool save);

}  // namespace config
