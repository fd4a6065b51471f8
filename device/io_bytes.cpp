#include "device/io_bytes.h"

namespace io {

std::uint8_t outputMask(const Marks& outputs) {
  std::uint8_t mask = 0;
  for (int i = 0; i < kChannels; ++i)
    if (outputs[i]) mask |= static_cast<std::uint8_t>(1u << i);
  return mask;
}

Marks inputMarks(std::int32_t value) {
  Marks marks{};
  for (int i = 0; i < kChannels; ++i) marks[i] = (value >> i) & 1;
  return marks;
}

}  // namespace io
