#pragma once
// Block 2 as the window uses it: the input byte at offset 0 (read as two
// bytes), the output mask written at offset 4. Bit i is channel i.
#include <array>
#include <cstdint>

#include "automation/variant.h"

namespace io {

inline constexpr int kBlock = 2;
inline constexpr int kInputOffset = 0;
inline constexpr int kInputCount = 2;
inline constexpr int kInputType = automation::kVtUI1;
inline constexpr int kOutputOffset = 4;
inline constexpr int kChannels = 8;

using Marks = std::array<bool, kChannels>;

std::uint8_t outputMask(const Marks& outputs);
// The eight input marks of an input value; bits above 7 do not count.
Marks inputMarks(std::int32_t value);

}  // namespace io
